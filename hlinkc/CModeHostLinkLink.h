#ifndef CMODEHOSTLINKLINK_H
#define CMODEHOSTLINKLINK_H

// The C-mode exchange's line on the shared Host Link links: the serial or
// TCP link the connection text names, its pieces handed on as they come.

#include <QString>

#include <memory>

#include "CModeLink.h"
#include "HostLinkConnectionText.h"
#include "HostLinkLink.h"

class CModeHostLinkLink : public CModeLink
{
public:
    CModeHostLinkLink();
    ~CModeHostLinkLink() override;

    // Opens the line the settings name, replacing the one in use: 0, or
    // ConnectDrive's number (-1 the port could not be opened, -3 no TCP
    // connection) with lastError() saying why.
    int open(const HostLinkConnectionText::Settings &settings);
    // 0 closed, 1 nothing open.
    int close();
    // Closes and deletes the line: 0, or 1 when there was none.
    int release();
    QString lastError() const { return line ? line->lastError() : QString(); }

    bool isUp() const override { return line && line->isOpen(); }
    bool reopen(int timeoutMs) override;
    bool send(const QByteArray &bytes) override { return line && line->send(bytes); }
    Received receive(QByteArray *piece, const QDeadlineTimer &deadline, bool continuation) override;
    void dropInput() override;
    int lineTimeMs(int chars) const override { return line ? line->lineTimeMs(chars) : 0; }
    QString peerText() const override { return line ? line->peerText() : QString(); }

private:
    std::unique_ptr<HostLinkLink> line;
    class HostLinkTcpLink *tcp = nullptr; // `line` when it is a TCP link
};

#endif // CMODEHOSTLINKLINK_H
