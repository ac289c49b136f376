#include "FinsAnswer.h"

#include "FinsCommand.h"

namespace FinsAnswer {
namespace {

QString hex4(quint16 code)
{
    return QStringLiteral("%1").arg(code, 4, 16, QLatin1Char('0')).toUpper();
}

Outcome bad(const QString &reason)
{
    return Outcome::make(Outcome::Kind::BadAnswer, QStringLiteral("answer"), reason);
}

} // namespace

Match match(const QByteArray &command, const QByteArray &answer)
{
    switch (FinsCommand::checkAnswer(command, answer)) {
    case FinsCommand::Verdict::Ours: return Match::Ours;
    case FinsCommand::Verdict::WrongNodes: return Match::WrongNodes;
    case FinsCommand::Verdict::Foreign: return Match::Foreign;
    case FinsCommand::Verdict::Malformed: break;
    }
    return Match::Malformed;
}

Outcome check(const QByteArray &command, const QByteArray &answer, int dataBytes, Fault *fault)
{
    Fault found = Fault::None;
    Outcome outcome = Outcome::done();
    if (answer.size() < FinsCommand::ResponseHeadSize) {
        found = Fault::Malformed;
        outcome = bad(QStringLiteral("the answer is too short to be a FINS response"));
    } else if (command.size() < FinsCommand::OffEndCode
               || answer.at(FinsCommand::OffCommand) != command.at(FinsCommand::OffCommand)
               || answer.at(FinsCommand::OffCommand + 1) != command.at(FinsCommand::OffCommand + 1)) {
        found = Fault::Command;
        outcome = bad(QStringLiteral("the answer echoes command %1")
                          .arg(hex4(quint16(quint8(answer.at(FinsCommand::OffCommand)) << 8
                                            | quint8(answer.at(FinsCommand::OffCommand + 1))))));
    } else if (!FinsCommand::nodesMatch(command, answer)) {
        found = Fault::Nodes;
        outcome = bad(QStringLiteral("the answer is addressed to other node numbers (DA1 %1, SA1 %2)")
                          .arg(quint8(answer.at(FinsCommand::OffDa1)))
                          .arg(quint8(answer.at(FinsCommand::OffSa1))));
        outcome.step = QStringLiteral("nodes");
    } else if (!FinsCommand::isNormalCompletion(FinsCommand::endCode(answer))) {
        const quint16 code = FinsCommand::endCode(answer);
        found = Fault::EndCode;
        outcome = Outcome::make(Outcome::Kind::EndCode, QStringLiteral("answer"),
                                QStringLiteral("the controller answered with end code %1").arg(hex4(code)), code);
    } else if (dataBytes >= 0 && answer.size() != FinsCommand::ResponseHeadSize + dataBytes) {
        found = Fault::Length;
        outcome = bad(QStringLiteral("the answer carries %1 data bytes, not %2")
                          .arg(answer.size() - FinsCommand::ResponseHeadSize)
                          .arg(dataBytes));
    }
    if (answer.size() >= FinsCommand::ResponseHeadSize && found != Fault::EndCode)
        outcome.endCode = FinsCommand::endCode(answer);
    if (fault)
        *fault = found;
    return outcome;
}

QByteArray data(const QByteArray &answer)
{
    return answer.mid(FinsCommand::OffData);
}

} // namespace FinsAnswer
