#ifndef PLCCTL_JSONLINE_H
#define PLCCTL_JSONLINE_H

// One JSON object on one line, built field by field. Written by hand rather
// than through QJsonDocument because QJsonValue keeps numbers as double and
// would round 64-bit integers; here a number is written as the exact text
// it is given.

#include <QString>
#include <QStringList>

namespace plcctl {

class JsonLine
{
public:
    JsonLine &text(const QString &key, const QString &value);
    JsonLine &number(const QString &key, qint64 value);
    JsonLine &real(const QString &key, double value);
    JsonLine &boolean(const QString &key, bool value);
    // `literals` are ready JSON values (numbers, true/false, quoted strings).
    JsonLine &array(const QString &key, const QStringList &literals);
    JsonLine &null(const QString &key);

    QString toString() const;

    static QString quote(const QString &text);

private:
    JsonLine &raw(const QString &key, const QString &literal);
    QStringList m_fields;
};

} // namespace plcctl

#endif // PLCCTL_JSONLINE_H
