#ifndef PLCSIM_CMODERESPONDER_H
#define PLCSIM_CMODERESPONDER_H

// The controller's side of Host Link C-mode on one link: commands (RR RH RD
// RJ RE, WR WH WD WJ WE, MS, MM, SC, XZ), long blocks both ways with the
// lone-CR handshake, end codes, and the C-mode faults. One object per
// session: it remembers the long block in progress.

#include <QByteArray>
#include <QList>

#include "CModeSettings.h"

namespace plcsim {

struct SimState;

class CModeResponder
{
public:
    explicit CModeResponder(SimState *state);

    // True while a long block is under way: the next CR-ended piece of
    // input belongs to it (a lone CR, or a later write frame).
    bool midBlock() const { return !m_pendingAnswer.isEmpty() || m_writing; }
    // A piece from "@" (or, mid-block, anything) through CR. Returns what
    // goes back: empty for no answer.
    QByteArray handle(const QByteArray &piece);
    // Another command set's frame came: no block goes on.
    void reset() { m_pendingAnswer.clear(); m_writing = false; }

private:
    QByteArray command(const QByteArray &frame);
    QByteArray continuation(const QByteArray &piece);
    QByteArray read(const QByteArray &header, const QByteArray &text, const CModeSettings &s);
    QByteArray write(const QByteArray &header, const QByteArray &text, bool last);
    QByteArray finishWrite();
    QByteArray status(const QByteArray &header, const QByteArray &text);
    QByteArray answer(const QByteArray &header, quint8 endCode, const QByteArray &text = QByteArray()) const;

    SimState *m_state;
    int m_unit = 0;
    int m_answerUnit = 0;
    QList<QByteArray> m_pendingAnswer; // later frames of a long read answer
    bool m_silentRest = false;         // the host's CR after frame 1 goes unanswered
    bool m_writing = false;            // a long write is under way
    QByteArray m_writeHeader;
    QByteArray m_writeAddress;         // bank + begin as sent
    QByteArray m_writeData;            // hex text so far
};

} // namespace plcsim

#endif
