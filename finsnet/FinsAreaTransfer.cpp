#include "FinsAreaTransfer.h"

#include <QMessageLogger>

#include "FinsCommand.h"

FinsAreaTransfer::FinsAreaTransfer(int server, int client)
    : serverNode(server)
    , clientNode(client)
{
}

int FinsAreaTransfer::resultCode(Exchange outcome)
{
    switch (outcome) {
    case Exchange::Done: return 0;
    case Exchange::BadAnswer:
    case Exchange::BadRequest: return -1;
    case Exchange::NoAnswer: return -2;
    case Exchange::NotConnected: break;
    }
    return -3;
}

int FinsAreaTransfer::Read_area(int wordAddress, int byteLen, QByteArray *out, int areaCode, QString addressText)
{
    if (!linkReady())
        return resultCode(Exchange::NotConnected);
    if (byteLen < 0)
        return resultCode(Exchange::BadRequest);
    // The caller gets all of the data or none of it.
    const int maxBytes = 2 * FinsCommand::MaxReadWords;
    QByteArray collected;
    int done = 0;
    do {
        const int partBytes = qMin(byteLen - done, maxBytes);
        const QByteArray command = FinsCommand::readCommand(serverNode, clientNode, nextSid(), areaCode,
                                                            wordAddress + done / 2, partBytes / 2);
        const Exchange outcome = readPart(command, partBytes, addressText, &collected);
        if (outcome != Exchange::Done)
            return resultCode(outcome);
        done += partBytes;
    } while (done < byteLen);
    out->append(collected);
    return resultCode(Exchange::Done);
}

int FinsAreaTransfer::Write_area(int wordAddress, int byteLen, QByteArray data, int areaCode, QString addressText)
{
    if (!linkReady())
        return resultCode(Exchange::NotConnected);
    if (byteLen < 0)
        return resultCode(Exchange::BadRequest);
    // Whole words only, and never more than the caller gave.
    const int words = qMin(byteLen, data.size()) / 2;
    int done = 0;
    do {
        const int partWords = qMin(words - done, FinsCommand::MaxWriteWords);
        const QByteArray command = FinsCommand::writeWordsCommand(
            serverNode, clientNode, nextSid(), areaCode, wordAddress + done, data.mid(2 * done, 2 * partWords));
        const Exchange outcome = writePart(command, 2 * partWords, WriteKind::Words, addressText);
        if (outcome != Exchange::Done)
            return resultCode(outcome);
        done += partWords;
    } while (done < words);
    return resultCode(Exchange::Done);
}

int FinsAreaTransfer::Write_bool(int wordAddress, int itemCount, QByteArray data, int bitNumber, int areaCode,
                                 QString addressText)
{
    if (!linkReady())
        return resultCode(Exchange::NotConnected);
    if (itemCount < 0 || bitNumber < 0)
        return resultCode(Exchange::BadRequest);
    const int items = qMin(itemCount, data.size());
    int done = 0;
    do {
        // Parts hold a multiple of 16 bits: each starts at the same bit number.
        const int partItems = qMin(items - done, FinsCommand::MaxWriteBits);
        const int firstBit = bitNumber + done;
        const QByteArray command =
            FinsCommand::writeBitsCommand(serverNode, clientNode, nextSid(), areaCode, wordAddress + firstBit / 16,
                                          firstBit % 16, data.mid(done, partItems));
        const Exchange outcome = writePart(command, partItems, WriteKind::Bits, addressText);
        if (outcome != Exchange::Done)
            return resultCode(outcome);
        done += partItems;
    } while (done < items);
    return resultCode(Exchange::Done);
}

QString FinsAreaTransfer::logLine(const char *format, const QString &addressText, int count,
                                  const QByteArray &bytes) const
{
    // One pass, so a tag text holding "%4" is not substituted again.
    return QString::fromUtf8(format).arg(hostAddress.toString(), QString::number(hostPort), addressText,
                                         QString::number(count), QString::fromLatin1(bytes.toHex()));
}

void FinsAreaTransfer::trace(const char *format, const QString &addressText, int count,
                             const QByteArray &bytes) const
{
    if (debugOn)
        QMessageLogger().debug().noquote() << logLine(format, addressText, count, bytes);
}

void FinsAreaTransfer::warn(const char *format, const QString &addressText, int count,
                            const QByteArray &bytes) const
{
    QMessageLogger().warning().noquote() << logLine(format, addressText, count, bytes);
}

void FinsAreaTransfer::warnEndCode(const char *format, quint16 endCode, const QString &addressText, int count,
                                   const QByteArray &answer) const
{
    // The end code goes in first: the other fields may hold "%6".
    const QString code = QStringLiteral("%1").arg(endCode, 4, 16, QLatin1Char('0')).toUpper();
    const QString withCode = QString::fromUtf8(format).replace(QLatin1String("%6"), code);
    warn(withCode.toUtf8().constData(), addressText, count, answer);
}
