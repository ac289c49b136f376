#include "FinsE2E.h"

#include <QObject>
#include <QStringList>

namespace fins_e2e {
namespace {

template <typename T>
bool describeAs(const QVariant &value, const char *name, QString *out)
{
    if (value.userType() != qMetaTypeId<QList<T>>())
        return false;
    QStringList parts;
    for (const T &element : value.value<QList<T>>()) {
        if constexpr (std::is_floating_point_v<T>)
            parts << QString::number(double(element), 'g', 17);
        else if constexpr (std::is_same_v<T, char> || std::is_same_v<T, unsigned char>)
            parts << QString::number(quint8(element));
        else
            parts << QString::number(element);
    }
    *out = QStringLiteral("%1[%2]").arg(QLatin1String(name), parts.join(QLatin1Char(',')));
    return true;
}

} // namespace

QString describe(const QVariant &value)
{
    QString out;
    if (describeAs<bool>(value, "bool", &out) || describeAs<char>(value, "char", &out)
        || describeAs<unsigned char>(value, "uchar", &out) || describeAs<short>(value, "short", &out)
        || describeAs<unsigned short>(value, "ushort", &out) || describeAs<int>(value, "int", &out)
        || describeAs<unsigned int>(value, "uint", &out) || describeAs<float>(value, "float", &out)
        || describeAs<long long>(value, "int64", &out) || describeAs<unsigned long long>(value, "uint64", &out)
        || describeAs<double>(value, "double", &out))
        return out;
    return value.isValid() ? QStringLiteral("<%1>").arg(QLatin1String(value.typeName())) : QStringLiteral("<null>");
}

unsigned seedForNode(int lowByte)
{
    for (unsigned seed = 1;; ++seed) {
        std::srand(seed);
        if ((std::rand() & 0xFF) == lowByte) {
            std::srand(seed);
            return seed;
        }
    }
}

void release(CDriveBaseClass *driver)
{
    delete dynamic_cast<QObject *>(driver);
}

QString endpoint(quint16 port)
{
    return QStringLiteral("127.0.0.1:%1").arg(port);
}

} // namespace fins_e2e
