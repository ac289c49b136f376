#include "EndCodeText.h"


namespace plcctl {

namespace {

struct CodeText
{
    quint16 code;
    const char *words;
};

const CodeText kFinsEndCodes[] = {
    {0x0000, "normal completion"},
    {0x0001, "service canceled"},
    {0x0101, "local node not in network"},
    {0x0102, "token timeout"},
    {0x0103, "retries failed"},
    {0x0104, "too many send frames"},
    {0x0105, "node address range error"},
    {0x0106, "node address duplication"},
    {0x0201, "destination node not in network"},
    {0x0202, "unit missing"},
    {0x0203, "third node missing"},
    {0x0204, "destination node busy"},
    {0x0205, "response timeout"},
    {0x0301, "communications controller error"},
    {0x0302, "CPU unit error"},
    {0x0303, "controller error"},
    {0x0304, "unit number error"},
    {0x0401, "undefined command"},
    {0x0402, "not supported by model or version"},
    {0x0501, "destination address setting error"},
    {0x0502, "no routing tables"},
    {0x0503, "routing table error"},
    {0x0504, "too many relays"},
    {0x1001, "command too long"},
    {0x1002, "command too short"},
    {0x1003, "elements and data do not match"},
    {0x1004, "command format error"},
    {0x1005, "header error"},
    {0x1101, "area classification missing"},
    {0x1102, "access size error"},
    {0x1103, "address range error"},
    {0x1104, "address range exceeded"},
    {0x1106, "program missing"},
    {0x1109, "relational error"},
    {0x110A, "duplicate data access"},
    {0x110B, "response too long"},
    {0x110C, "parameter error"},
    {0x2002, "protected"},
    {0x2003, "table missing"},
    {0x2004, "data missing"},
    {0x2005, "program missing"},
    {0x2006, "file missing"},
    {0x2007, "data mismatch"},
    {0x2101, "read-only"},
    {0x2102, "protected (data link table)"},
    {0x2103, "cannot register"},
    {0x2105, "program missing"},
    {0x2106, "file missing"},
    {0x2107, "file name already exists"},
    {0x2108, "cannot change"},
    {0x2201, "not possible during execution"},
    {0x2202, "not possible while running"},
    {0x2203, "wrong PLC mode (program)"},
    {0x2204, "wrong PLC mode (debug)"},
    {0x2205, "wrong PLC mode (monitor)"},
    {0x2206, "wrong PLC mode (run)"},
    {0x2207, "node is not the polling node"},
    {0x2208, "step cannot be executed"},
    {0x2301, "file device missing"},
    {0x2302, "memory missing"},
    {0x2303, "clock missing"},
    {0x2401, "table missing"},
    {0x2502, "memory error"},
    {0x2503, "I/O setting error"},
    {0x2504, "too many I/O points"},
    {0x2505, "CPU bus error"},
    {0x2506, "I/O duplication"},
    {0x2507, "I/O bus error"},
    {0x250A, "CPU bus unit error"},
    {0x250F, "memory error"},
    {0x2601, "no protection"},
    {0x2602, "incorrect password"},
    {0x2604, "protected"},
    {0x2605, "service already executing"},
    {0x2606, "service stopped"},
    {0x2607, "no execution right"},
    {0x2608, "settings not complete"},
    {0x2609, "necessary items not set"},
    {0x260A, "number already defined"},
    {0x260B, "error will not clear"},
    {0x3001, "no access right"},
    {0x4001, "service aborted"},
};

const CodeText kHostLinkEndCodes[] = {
    {0x00, "normal completion"},
    {0x0F, "FINS command error"},
    {0x10, "parity error"},
    {0x11, "framing error"},
    {0x12, "overrun"},
    {0x13, "FCS error"},
    {0x14, "format error"},
    {0x15, "entry number data error"},
    {0x16, "command not supported"},
    {0x18, "frame length error"},
    {0x19, "not executable"},
    {0x21, "not executable because of a CPU unit error"},
    {0xA3, "aborted: FCS error in transmitted data"},
    {0xA4, "aborted: format error in transmitted data"},
    {0xA5, "aborted: entry number data error in transmitted data"},
    {0xA8, "aborted: frame length error in transmitted data"},
};

const CodeText kHeaderErrors[] = {
    {0x01, "the header is not 'FINS'"},
    {0x02, "data too long"},
    {0x03, "command not supported"},
    {0x20, "all connections in use"},
    {0x21, "the requested client node is already connected"},
    {0x22, "protected node from an unknown address"},
    {0x23, "client node out of range"},
    {0x24, "client and server node are the same"},
    {0x25, "no node left to assign"},
};

// Causes seen in the field, by masked end code.
struct CodeHint
{
    quint16 code;
    const char *hint;
};

const char kRoutingHint[] = "routing tables or node numbers do not fit the network";
const char kModeHint[] = "the controller's mode or settings forbid the write";
const CodeHint kHints[] = {
    {0x1004, "wrong DNA/DA1/DA2, or a frame the unit cannot route"},
    {0x1005, "wrong DNA/DA1/DA2, or a frame the unit cannot route"},
    {0x0101, kRoutingHint}, {0x0201, kRoutingHint}, {0x0501, kRoutingHint}, {0x0502, kRoutingHint},
    {0x2108, kModeHint}, {0x2201, kModeHint}, {0x2202, kModeHint}, {0x2203, kModeHint},
    {0x2204, kModeHint}, {0x2205, kModeHint}, {0x2206, kModeHint},
};

template <typename Table>
const char *lookup(const Table &table, quint16 code)
{
    for (const auto &entry : table) {
        if (entry.code == code)
            return entry.words;
    }
    return nullptr;
}

QString hex(quint32 value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

QString withCode(quint32 code, int digits, const char *words, const char *unknown)
{
    return hex(code, digits) + QLatin1Char(' ') + QString::fromUtf8(words ? words : unknown);
}

QString finsEndCodeWords(quint16 code)
{
    const QString hint = finsEndCodeHint(code);
    const QString text = QStringLiteral("FINS end code ") + finsEndCodeText(code);
    return hint.isEmpty() ? text : text + QStringLiteral(" (likely: ") + hint + QLatin1Char(')');
}

} // namespace

QString finsEndCodeText(quint16 endCode)
{
    const quint16 masked = endCode & 0x7F3F;
    QString text = withCode(masked, 4, lookup(kFinsEndCodes, masked), "unknown end code");
    if (endCode & 0x8000)
        text += QStringLiteral(", network relay error");
    if (endCode & 0x0080)
        text += QStringLiteral(", fatal CPU unit error");
    if (endCode & 0x0040)
        text += QStringLiteral(", non-fatal CPU unit error");
    return text;
}

QString finsEndCodeHint(quint16 endCode)
{
    for (const CodeHint &entry : kHints) {
        if (entry.code == (endCode & 0x7F3F))
            return QString::fromUtf8(entry.hint);
    }
    return QString();
}

QString hostLinkEndCodeText(const QString &hexCode)
{
    bool ok = false;
    const quint16 code = quint16(hexCode.toUInt(&ok, 16));
    if (!ok || hexCode.size() != 2)
        return hexCode + QStringLiteral(" unknown end code");
    return withCode(code, 2, lookup(kHostLinkEndCodes, code), "unknown end code");
}

QString finsHeaderErrorText(quint32 errorCode)
{
    const char *words = errorCode <= 0xFF ? lookup(kHeaderErrors, quint16(errorCode)) : nullptr;
    return withCode(errorCode, 2, words, "unknown header error");
}

QStringList outcomeWords(const Outcome &outcome, bool hostLink)
{
    if (outcome.ok())
        return {};
    if (outcome.kind == Outcome::Kind::EndCode && hostLink && outcome.step == QLatin1String("frame"))
        return {QStringLiteral("Host Link end code ") + hostLinkEndCodeText(hex(quint32(outcome.endCode), 2))
                + QStringLiteral(" (%1)").arg(outcome.reason)};
    if (outcome.kind == Outcome::Kind::EndCode)
        return {finsEndCodeWords(quint16(outcome.endCode)) + (hostLink ? QStringLiteral(" (%1)").arg(outcome.reason)
                                                                       : QString())};
    if (outcome.step == QLatin1String("handshake") && outcome.endCode >= 0)
        return {QStringLiteral("node refused: header error ") + finsHeaderErrorText(quint32(outcome.endCode))};
    return {outcome.reason};
}

} // namespace plcctl
