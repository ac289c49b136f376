#include "libcipnet.h"

#include <QDateTime>
#include <QMessageLogger>

#include "BuildInfo.h"
#include "CipCodec.h"
#include "CipConnectionText.h"
#include "CipIdentity.h"
#include "CipMessage.h"
#include "LocalTimestamp.h"
#include "TagRequest.h"

namespace {

const char kName[] = "CipNet";
const char kVersion[] = "V1.0.0 20261209";
const char kVersionPattern[] = "v1.0.0 %1 %2";

bool handledType(int type)
{
    return type >= Bool && type <= String;
}

} // namespace

LibCipNet::LibCipNet() = default;

LibCipNet::~LibCipNet() = default;

QString LibCipNet::getDriveName()
{
    return QString::fromLatin1(kName);
}

QString LibCipNet::getversion_number()
{
    return QString::fromLatin1(kVersion);
}

QString LibCipNet::DebugCmd(EDebugCmdType command)
{
    switch (command) {
    case StartDebug:
        link.setDebug(true);
        return QStringLiteral("StartDebug");
    case StopDebug:
        link.setDebug(false);
        return QStringLiteral("StopDebug");
    case GetVersion:
        return BuildInfo::versionText(QString::fromLatin1(kVersionPattern));
    case GetDriveName:
        return getDriveName();
    }
    return QString();
}

void LibCipNet::SetConnectPar(QString parameter)
{
    connectPar = parameter; // kept: nothing in EtherNet/IP needs it
}

int LibCipNet::ConnectDrive(QString connection)
{
    const QString why = CipConnectionText::parse(connection, &settings);
    if (!why.isEmpty()) {
        QMessageLogger().warning().noquote()
            << QStringLiteral("lib[CipNet]连接参数错误 %1: %2").arg(connection, why);
        remember(Outcome::make(Outcome::Kind::Refused, QStringLiteral("connect"), why));
        return -1;
    }
    transfer.forget();
    const Outcome o = remember(link.open(settings));
    if (o.ok())
        return 0;
    // Once TCP stands, any failure is one of the session (or its connection).
    return o.step == QLatin1String("connect") ? -3 : -2;
}

int LibCipNet::DisConnectDrive()
{
    return link.close();
}

int LibCipNet::DestroyFree()
{
    return link.destroy();
}

// ---- tags -----------------------------------------------------------------

CLabelVariable LibCipNet::ReadVariable(QString address, DataType type)
{
    CDriveBaseClass *face = this;
    return face->ReadVariable(address, type, 1);
}

CLabelVariable LibCipNet::WriteVariable(QString address, DataType type, CLabelVariable value)
{
    CDriveBaseClass *face = this;
    return face->WriteVariable(address, type, value, 1);
}

int LibCipNet::check(const QString &address, int type, int count, CipPath::Path *path, bool writing)
{
    QString why;
    *path = CipPath::parse(address, &why);
    int code = TagRequest::Success;
    if (!path->isValid())
        code = TagRequest::BadAddress;
    else if (count < 1)
        code = TagRequest::BadCount;
    else if (!handledType(type))
        code = TagRequest::TypeNotHandled;
    else if (count > 1 && qint64(path->lastIndex()) + count - 1 > CipPath::MaxIndex)
        why = QStringLiteral("the range passes element %1").arg(CipPath::MaxIndex), code = TagRequest::BadAddress;
    else if (path->dimensions() > 1 && count > 1 && (type == String || (type == Bool && writing)))
        // These go one element per message, counting along the last index
        // only: a range would run past the end of its row.
        why = QStringLiteral("a range of one element per message across a multi-dimensional array"),
        code = TagRequest::BadAddress;
    else if (type != String && type != Bool) {
        // A range across more than one dimension cannot be split: the
        // controller alone knows where a row ends.
        const QByteArray encoded = CipPath::encode(*path);
        const int chunk = writing ? CipTransfer::writeChunk(encoded, type, link.messageLimit())
                                  : CipTransfer::readChunk(encoded, type, link.messageLimit());
        if (chunk < 1 || (path->dimensions() > 1 && count > chunk))
            why = QStringLiteral("the range does not fit one message"), code = TagRequest::BadAddress;
    }
    if (code != TagRequest::Success) {
        QMessageLogger().warning().noquote()
            << QStringLiteral("lib[CipNet]变量地址错误 Tag=%1 %2").arg(address, why);
        remember(Outcome::refused(code, why));
    }
    return code;
}

CLabelVariable LibCipNet::ReadVariable(QString address, DataType type, int count)
{
    CipPath::Path path;
    const int code = check(address, type, count, &path, false);
    return TagRequest::readFrame(address, type, count, code, [&] { return readStep(path, address, type, count); });
}

CLabelVariable LibCipNet::WriteVariable(QString address, DataType type, CLabelVariable value, int count)
{
    CipPath::Path path;
    const int code = check(address, type, count, &path, true);
    return TagRequest::writeFrame(value, address, type, count, code,
                                  [&] { return writeStep(path, address, type, count, value); });
}

CLabelVariable LibCipNet::readStep(const CipPath::Path &path, const QString &tag, int type, int count)
{
    CLabelVariable result;
    QVariant values;
    const Outcome o = remember(transfer.read(path, tag, type, count, &values));
    result.errorCode = o.resultCode();
    if (o.ok()) {
        result.value = values;
        result.timestamp = LocalTimestamp::now();
    }
    return result;
}

CLabelVariable LibCipNet::writeStep(const CipPath::Path &path, const QString &tag, int type, int count,
                                    CLabelVariable value)
{
    // Only what the caller gave goes out.
    if (CipCodec::listSize(type, value.value) < count) {
        remember(Outcome::refused(TagRequest::TypeNotHandled,
                                  QStringLiteral("the value holds no %1 elements of the type").arg(count)));
        value.errorCode = TagRequest::TypeNotHandled;
        return value;
    }
    const Outcome o = remember(transfer.write(path, tag, type, count, value.value));
    value.errorCode = o.resultCode();
    if (o.ok())
        value.timestamp = LocalTimestamp::now();
    return value;
}

Outcome LibCipNet::remember(const Outcome &outcome)
{
    last = outcome;
    return outcome;
}

// ---- diagnostics ------------------------------------------------------------

QString LibCipNet::checkConnectionText(const QString &text) const
{
    CipLink::Settings ignored;
    return CipConnectionText::parse(text, &ignored);
}

QVariantMap LibCipNet::addressing() const
{
    QVariantMap map;
    map.insert(QStringLiteral("address"), settings.address.toString());
    map.insert(QStringLiteral("port"), settings.port);
    map.insert(QStringLiteral("timeout"), settings.timeoutMs);
    map.insert(QStringLiteral("connected"), settings.connected);
    map.insert(QStringLiteral("session"), link.sessionHandle());
    map.insert(QStringLiteral("messageLimit"), link.messageLimit());
    return map;
}

Outcome LibCipNet::lastOutcome() const
{
    return last;
}

quint64 LibCipNet::droppedAnswers() const
{
    return link.droppedAnswers();
}

// ---- controller -------------------------------------------------------------

Outcome LibCipNet::readAttribute(quint8 attribute, QByteArray *data)
{
    const QString what = QStringLiteral("controller attribute 0x%1").arg(attribute, 2, 16, QLatin1Char('0'));
    QByteArray reply;
    Outcome o = link.exchange(CipMessage::getAttribute(CipIdentity::ControllerClass, 0, attribute), what, &reply);
    CipMessage::Reply fields;
    if (o.ok())
        o = CipMessage::check(reply, CipMessage::GetAttributeSingle, &fields);
    if (o.ok())
        *data = fields.data;
    return o;
}

Outcome LibCipNet::readIdentity(ControllerIdentity *out)
{
    QByteArray data;
    Outcome o = link.listIdentity(&data);
    if (o.ok() && !CipIdentity::parseListIdentity(data, out))
        o = Outcome::make(Outcome::Kind::BadAnswer, QStringLiteral("answer"),
                          QStringLiteral("the ListIdentity reply holds no identity item"));
    QString model;
    if (o.ok() && readAttribute(CipIdentity::ModelAttribute, &data).ok() && CipIdentity::parseModel(data, &model))
        out->details.insert(QStringLiteral("controllerModel"), model);
    return remember(o);
}

Outcome LibCipNet::readStatus(ControllerStatus *out)
{
    QByteArray data;
    Outcome o = readAttribute(CipIdentity::ModeAttribute, &data);
    if (o.ok() && !CipIdentity::parseMode(data, out))
        o = Outcome::make(Outcome::Kind::BadAnswer, QStringLiteral("answer"),
                          QStringLiteral("the mode attribute is %1 bytes, not 2").arg(data.size()));
    return remember(o);
}

Outcome LibCipNet::readClock(QDateTime *)
{
    return Outcome::make(Outcome::Kind::Unsupported, QStringLiteral("request"),
                         QStringLiteral("this driver does not read the controller's clock"));
}

Outcome LibCipNet::writeClock(const QDateTime &)
{
    return Outcome::make(Outcome::Kind::Unsupported, QStringLiteral("request"),
                         QStringLiteral("this driver does not set the controller's clock"));
}
