#include "HLinkFinsLink.h"

#include "HLinkFrame.h"

namespace {

Outcome failed(Outcome::Kind kind, const QString &reason, const QByteArray &request, const QByteArray &answer)
{
    Outcome o = Outcome::make(kind, QStringLiteral("answer"), reason);
    o.request = request;
    o.answer = answer;
    return o;
}

// The FINS answer an FA answer carries, or a reason in `*why`.
QByteArray finsAnswer(const QByteArray &fa, const QByteArray &request, const QByteArray &command, QString *why)
{
    const int body = fa.size() - 4; // FCS, "*", CR
    if (body < HLinkFrame::AnswerDataPos || !fa.endsWith("*\r")
        || fa.mid(body, 2) != HLinkFrame::hexField(HLinkFrame::fcs(fa, body), 2)) {
        *why = QStringLiteral("malformed answer or wrong FCS");
        return QByteArray();
    }
    if (fa.mid(5, 2) != "00") {
        *why = QStringLiteral("Host Link end code %1").arg(QString::fromLatin1(fa.mid(5, 2)));
        return QByteArray();
    }
    if (fa.mid(HLinkFrame::AnswerSidPos, 2) != request.mid(HLinkFrame::RequestSidPos, 2)
        || fa.mid(HLinkFrame::AnswerCommandPos, 4) != request.mid(HLinkFrame::RequestCommandPos, 4)) {
        *why = QStringLiteral("the answer is for another command");
        return QByteArray();
    }
    const QByteArray tail = QByteArray::fromHex(fa.mid(HLinkFrame::AnswerCommandPos, body - HLinkFrame::AnswerCommandPos));
    // ICF response, the command's node numbers exchanged, its SID.
    QByteArray header = command.left(FinsCommand::HeaderSize);
    header[FinsCommand::OffIcf] = char(0xC0);
    header[FinsCommand::OffDa1] = command.at(FinsCommand::OffSa1);
    header[FinsCommand::OffSa1] = command.at(FinsCommand::OffDa1);
    return header + tail;
}

} // namespace

QByteArray HLinkFinsLink::wireFrame(const QByteArray &command) const
{
    // ICF, DA2, SA2, SID of the FINS header, then the command code and parameters.
    QByteArray fields;
    fields.append(command.at(0)).append(command.at(5)).append(command.at(8)).append(command.mid(9));
    return HLinkFrame::finish("@" + HLinkFrame::hexField(unsigned(m_unit()), 2) + "FA0" + fields.toHex().toUpper());
}

Outcome HLinkFinsLink::exchange(const QByteArray &command, const FinsExchangeContext &, QByteArray *answer)
{
    const QByteArray request = wireFrame(command);
    QByteArray fa;
    const int result = m_cmd.SendData(request, fa, 2000);
    if (result == -3)
        return failed(Outcome::Kind::NotConnected, QStringLiteral("the link is not open"), request, fa);
    if (result == -2)
        return failed(Outcome::Kind::NoAnswer, QStringLiteral("no answer from unit %1").arg(m_unit()), request, fa);
    QString why;
    const QByteArray fins = result == 0 ? finsAnswer(fa, request, command, &why) : QByteArray();
    if (fins.isEmpty())
        return failed(Outcome::Kind::BadAnswer, why.isEmpty() ? QStringLiteral("incomplete answer") : why, request, fa);
    *answer = fins;
    Outcome done = Outcome::done();
    done.request = request;
    done.answer = fa;
    return done;
}
