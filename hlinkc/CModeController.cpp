#include "CModeController.h"

namespace CModeController {
namespace {

bool hexNumber(const QByteArray &text, int *out)
{
    bool ok = false;
    const int v = text.toInt(&ok, 16);
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    }
    if (ok)
        *out = v;
    return ok;
}

QString modelName(int code)
{
    switch (code) {
    case 0x01: return QStringLiteral("C250");
    case 0x02: return QStringLiteral("C500");
    case 0x03: return QStringLiteral("C120");
    case 0x0E: return QStringLiteral("C2000");
    case 0x10: return QStringLiteral("C1000H");
    case 0x11: return QStringLiteral("C2000H/CQM1/CPM1/CPM2/SRM1");
    case 0x12: return QStringLiteral("C200H family");
    case 0x20: return QStringLiteral("CV500");
    case 0x21: return QStringLiteral("CV1000");
    case 0x22: return QStringLiteral("CV2000");
    case 0x30: return QStringLiteral("CS/CJ");
    default: break;
    }
    return QStringLiteral("unknown model");
}

} // namespace

bool status(const QByteArray &text, ControllerStatus *out)
{
    int word = 0;
    if (text.size() < 4 || !hexNumber(text.left(4), &word))
        return false;
    switch ((word >> 8) & 0x3) {
    case 0: out->mode = QStringLiteral("PROGRAM"); break;
    case 2: out->mode = QStringLiteral("RUN"); break;
    case 3: out->mode = QStringLiteral("MONITOR"); break;
    default: out->mode = QStringLiteral("unknown mode"); break;
    }
    out->running = out->mode != QLatin1String("PROGRAM") && ((word >> 8) & 0x2);
    out->errorMessage = QString::fromLatin1(text.mid(4)).trimmed();
    out->errors.clear();
    if (!out->errorMessage.isEmpty())
        out->errors << QStringLiteral("FAL/FALS message: %1").arg(out->errorMessage);
    return true;
}

bool identity(const QByteArray &text, ControllerIdentity *out)
{
    int code = 0;
    if (text.size() != 2 || !hexNumber(text, &code))
        return false;
    out->model = modelName(code);
    out->version.clear();
    out->details.insert(QStringLiteral("modelCode"), QString::fromLatin1(text));
    return true;
}

} // namespace CModeController
