#ifndef CIPCHANNEL_H
#define CIPCHANNEL_H

// The seam between the variable transfers and the link that carries them:
// one Message Router request out, its reply (or an Outcome) back.

#include <QByteArray>
#include <QString>

#include "Outcome.h"

class CipChannel
{
public:
    // Largest Message Router request or reply the channel carries.
    virtual int messageLimit() const = 0;
    virtual Outcome exchange(const QByteArray &request, const QString &tag, QByteArray *reply) = 0;
    // The warning line of a failed transfer of `tag`.
    virtual void warn(const Outcome &outcome, const QString &tag) const = 0;

protected:
    ~CipChannel() = default;
};

#endif // CIPCHANNEL_H
