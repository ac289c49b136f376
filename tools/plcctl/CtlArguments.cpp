#include "CtlArguments.h"

#include "ControllerReport.h"
#include "ValueText.h"

#include <limits>

namespace plcctl {

namespace {

// Unsigned decimal in [min, max]; false for anything else.
bool parseBounded(const QString &text, int min, int max, int *out)
{
    if (text.isEmpty() || text.size() > 10)
        return false;
    for (const QChar c : text) {
        if (!c.isDigit() || c.unicode() >= 128)
            return false;
    }
    const qint64 value = text.toLongLong();
    if (value < min || value > max)
        return false;
    *out = int(value);
    return true;
}

// A count as the driver takes it: any int, so that 0 or -1 reach the driver
// and come back with its own result code; but it must be a number.
bool parseCount(const QString &text, int *out)
{
    QString digits = text;
    if (digits.startsWith(QLatin1Char('-')) || digits.startsWith(QLatin1Char('+')))
        digits.remove(0, 1);
    if (digits.isEmpty())
        return false;
    for (const QChar c : digits) {
        if (!c.isDigit() || c.unicode() >= 128)
            return false;
    }
    bool ok = false;
    *out = text.toInt(&ok, 10);
    return ok;
}

QString typeError(const QString &text)
{
    return QStringLiteral("unknown type '%1' (types: %2)").arg(text, typeNames().join(QLatin1String(", ")));
}

// "-5", "-1.5", "-inf" are values; "-x", "--json" are options.
bool looksLikeOption(const QString &arg)
{
    if (arg.startsWith(QLatin1String("--")))
        return true;
    if (arg.size() < 2 || !arg.startsWith(QLatin1Char('-')) || !arg.at(1).isLetter())
        return false;
    const QString word = arg.mid(1).toLower();
    return word != QLatin1String("inf") && word != QLatin1String("infinity") && word != QLatin1String("nan");
}

class Parser
{
public:
    explicit Parser(const QStringList &arguments) : m_arguments(arguments) {}

    ParseResult run()
    {
        QStringList positional;
        bool optionsEnded = false;
        for (m_index = 0; m_index < m_arguments.size() && m_error.isEmpty(); ++m_index) {
            const QString arg = m_arguments.at(m_index);
            if (!optionsEnded && arg == QLatin1String("--"))
                optionsEnded = true;
            else if (!optionsEnded && looksLikeOption(arg))
                option(arg);
            else
                positional.append(arg);
        }
        if (m_error.isEmpty() && !m_args.help)
            positionals(positional);
        if (m_error.isEmpty() && !m_args.help)
            checkOptionsFitCommand();
        return {m_args, m_error};
    }

private:
    // The value of an option: "--name=value" or the next argument.
    bool optionValue(const QString &arg, const QString &name, QString *value)
    {
        if (arg.startsWith(name + QLatin1Char('='))) {
            *value = arg.mid(name.size() + 1);
            return true;
        }
        if (m_index + 1 >= m_arguments.size()) {
            m_error = QStringLiteral("option %1 needs a value").arg(name);
            return false;
        }
        *value = m_arguments.at(++m_index);
        return true;
    }

    static bool isOption(const QString &arg, const char *name)
    {
        const QString n = QLatin1String(name);
        return arg == n || arg.startsWith(n + QLatin1Char('='));
    }

    void option(const QString &arg)
    {
        QString value;
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            m_args.help = true;
        } else if (arg == QLatin1String("--trace")) {
            m_args.trace = true;
        } else if (arg == QLatin1String("--json")) {
            m_args.json = true;
        } else if (isOption(arg, "--connect")) {
            if (optionValue(arg, QStringLiteral("--connect"), &value)) {
                if (value.trimmed().isEmpty())
                    m_error = QStringLiteral("option --connect needs a connection text");
                m_args.connect = value;
            }
        } else if (isOption(arg, "--unit")) {
            if (optionValue(arg, QStringLiteral("--unit"), &value)) {
                int unit = 0;
                if (!parseBounded(value, 0, 31, &unit))
                    m_error = QStringLiteral("bad --unit '%1' (a Host Link unit number, 0..31)").arg(value);
                m_args.unit = QString::number(unit);
                m_args.unitGiven = true;
            }
        } else if (isOption(arg, "--interval")) {
            if (optionValue(arg, QStringLiteral("--interval"), &value)
                && !parseBounded(value, 0, 3600000, &m_args.intervalMs))
                m_error = QStringLiteral("bad --interval '%1' (milliseconds, 0..3600000)").arg(value);
            m_intervalGiven = true;
        } else if (isOption(arg, "--probe")) {
            if (optionValue(arg, QStringLiteral("--probe"), &value) && value.trimmed().isEmpty())
                m_error = QStringLiteral("option --probe needs a variable name");
            m_args.probe = value.trimmed();
        } else if (isOption(arg, "--count")) {
            if (optionValue(arg, QStringLiteral("--count"), &value)
                && !parseBounded(value, 1, std::numeric_limits<int>::max(), &m_args.rounds))
                m_error = QStringLiteral("bad --count '%1' (number of watch rounds, 1 or more)").arg(value);
            m_roundsGiven = true;
        } else if (arg == QLatin1String("--yes")) {
            m_args.yes = true;
        } else if (isOption(arg, "--set")) {
            if (optionValue(arg, QStringLiteral("--set"), &value))
                clockSet(value);
        } else {
            m_error = QStringLiteral("unknown option '%1'").arg(arg);
        }
    }

    void positionals(const QStringList &p)
    {
        if (p.isEmpty()) {
            m_error = QStringLiteral("missing DRIVER (fins, finsudp, hostlink, hostlinkc or a plug-in path)");
            return;
        }
        m_args.driver = p.at(0);
        if (p.size() < 2) {
            m_error = QStringLiteral("missing COMMAND (info, read, write, watch, clock or doctor)");
            return;
        }
        const QString command = p.at(1);
        const QStringList rest = p.mid(2);
        if (command == QLatin1String("info"))
            info(rest);
        else if (command == QLatin1String("read"))
            read(rest);
        else if (command == QLatin1String("write"))
            write(rest);
        else if (command == QLatin1String("watch"))
            watch(rest);
        else if (command == QLatin1String("doctor"))
            doctor(rest);
        else if (command == QLatin1String("clock"))
            clock(rest);
        else
            m_error = QStringLiteral("unknown command '%1' (info, read, write, watch, clock or doctor)").arg(command);
    }

    void info(const QStringList &rest)
    {
        m_args.command = Command::Info;
        if (!rest.isEmpty())
            m_error = QStringLiteral("unexpected argument '%1' after info").arg(rest.at(0));
    }

    void clock(const QStringList &rest)
    {
        m_args.command = Command::Clock;
        if (!rest.isEmpty())
            m_error = QStringLiteral("unexpected argument '%1' after clock (set it with --set now|TIME)").arg(rest.at(0));
    }

    void clockSet(const QString &value)
    {
        QDateTime time;
        if (value != QLatin1String("now") && !parseClockTime(value, &time, &m_error))
            return;
        m_args.clockSet = value;
        m_setGiven = true;
    }

    // CONNECTION as an argument or as --connect, not both.
    void doctor(const QStringList &rest)
    {
        m_args.command = Command::Doctor;
        if (rest.size() > 1)
            m_error = QStringLiteral("unexpected argument '%1' after the connection text").arg(rest.at(1));
        else if (!rest.isEmpty() && !m_args.connect.isEmpty())
            m_error = QStringLiteral("doctor takes the connection text once: as CONNECTION or --connect");
        else if (!rest.isEmpty() && rest.at(0).trimmed().isEmpty())
            m_error = QStringLiteral("doctor's CONNECTION is empty");
        else if (!rest.isEmpty())
            m_args.connect = rest.at(0);
    }

    bool addressAndType(const QStringList &rest, const QString &what)
    {
        if (rest.isEmpty()) {
            m_error = QStringLiteral("%1 needs an ADDRESS").arg(what);
            return false;
        }
        m_args.address = rest.at(0);
        if (rest.size() < 2) {
            m_error = QStringLiteral("%1 needs a TYPE after the address (types: %2)")
                          .arg(what, typeNames().join(QLatin1String(", ")));
            return false;
        }
        m_args.type = typeFromName(rest.at(1));
        if (m_args.type == 0) {
            m_error = typeError(rest.at(1));
            return false;
        }
        return true;
    }

    void read(const QStringList &rest)
    {
        m_args.command = Command::Read;
        if (!addressAndType(rest, QStringLiteral("read")))
            return;
        if (rest.size() >= 3 && !parseCount(rest.at(2), &m_args.count))
            m_error = QStringLiteral("bad COUNT '%1' (a whole number)").arg(rest.at(2));
        else if (rest.size() > 3)
            m_error = QStringLiteral("unexpected argument '%1' after COUNT").arg(rest.at(3));
    }

    void write(const QStringList &rest)
    {
        m_args.command = Command::Write;
        if (!addressAndType(rest, QStringLiteral("write")))
            return;
        m_args.values = rest.mid(2);
        m_args.count = m_args.values.size();
        if (m_args.values.isEmpty()) {
            m_error = QStringLiteral("write needs at least one VALUE");
            return;
        }
        QString error;
        if (!parseValues(m_args.type, m_args.values, &error).isValid())
            m_error = QStringLiteral("bad VALUE: ") + error;
    }

    void watch(const QStringList &rest)
    {
        m_args.command = Command::Watch;
        if (rest.isEmpty())
            m_error = QStringLiteral("watch needs at least one TAG (ADDRESS:TYPE[:COUNT])");
        for (const QString &text : rest) {
            m_args.tags.append(parseTag(text, &m_error));
            if (!m_error.isEmpty())
                return;
        }
    }

    void checkOptionsFitCommand()
    {
        if (m_args.command != Command::Clock && (m_setGiven || m_args.yes)) {
            m_error = QStringLiteral("options --set and --yes are only for clock");
            return;
        }
        if (m_args.command == Command::Watch)
            return;
        if (m_intervalGiven)
            m_error = QStringLiteral("option --interval is only for watch");
        else if (m_roundsGiven)
            m_error = QStringLiteral("option --count is only for watch (read takes COUNT after the type)");
    }

    const QStringList m_arguments;
    int m_index = 0;
    CtlArguments m_args;
    QString m_error;
    bool m_intervalGiven = false;
    bool m_roundsGiven = false;
    bool m_setGiven = false;
};

} // namespace

TagSpec parseTag(const QString &text, QString *error)
{
    TagSpec tag;
    tag.text = text;
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() < 2 || parts.size() > 3 || parts.at(0).isEmpty()) {
        *error = QStringLiteral("bad TAG '%1' (expected ADDRESS:TYPE[:COUNT], e.g. D100:Int16:4)").arg(text);
        return tag;
    }
    tag.address = parts.at(0);
    tag.type = typeFromName(parts.at(1));
    if (tag.type == 0) {
        *error = QStringLiteral("bad TAG '%1': %2").arg(text, typeError(parts.at(1)));
        return tag;
    }
    if (parts.size() == 3 && !parseCount(parts.at(2), &tag.count))
        *error = QStringLiteral("bad TAG '%1': COUNT '%2' is not a whole number").arg(text, parts.at(2));
    return tag;
}

QString usageText()
{
    return QStringLiteral(
        "Usage: plcctl [OPTIONS] DRIVER COMMAND [ARGUMENTS]\n"
        "\n"
        "DRIVER   fins | finsudp | hostlink | hostlinkc | cip | path to a driver plug-in (.so)\n"
        "COMMAND\n"
        "  info                         driver name and version; the controller's model,\n"
        "                               mode, errors and clock\n"
        "  clock [--set now|TIME]       read the controller's clock, or set it (TIME is\n"
        "                               YYYY-MM-DD HH:MM[:SS]; asks first, or --yes)\n"
        "  read ADDRESS TYPE [COUNT]    read COUNT elements (default 1)\n"
        "  write ADDRESS TYPE VALUE...  write the values, then read them back\n"
        "  watch TAG...                 poll tags, TAG = ADDRESS:TYPE[:COUNT]\n"
        "  doctor [CONNECTION]          check a connection step by step and say what to\n"
        "                               check on a failure (default: the built-in simulator)\n"
        "\n"
        "ADDRESS  D100, W5, H20.3, CIO10.3, A448, EM1100 ...\n"
        "         cip: variable paths Speed, Recipe.Speed, Temps[3], Grid[1,2]\n"
        "TYPE     Bool Int8 UInt8 Int16 UInt16 Int32 UInt32 Float Int64 UInt64 Double\n"
        "         String (cip)\n"
        "\n"
        "OPTIONS\n"
        "  --connect TEXT   connection text of the plug-in: fins \"ip:port\";\n"
        "                   finsudp \"ip:port[,plc=N][,node=N][,local=PORT]\";\n"
        "                   hostlink, hostlinkc \"port,baud,databits,stopbits,parity\" or \"ip:port\";\n"
        "                   cip \"ip[:port][,timeout=MS][,connected=on][,reconnect=on]\".\n"
        "                   Without it plcctl starts its built-in PLC simulator.\n"
        "  --unit N         Host Link unit number (SetConnectPar), 0..31\n"
        "  --trace          log every frame (DebugCmd StartDebug) on stderr\n"
        "  --json           one JSON object per result on stdout\n"
        "  --interval MS    watch: time between rounds (default 1000)\n"
        "  --count N        watch: stop after N rounds (default: until Ctrl-C)\n"
        "  --probe NAME[:TYPE]  doctor of cip: the variable of the test read (TYPE: any)\n"
        "  --yes            clock --set: set it without asking (needed when stdin is\n"
        "                   not a terminal)\n"
        "  -h, --help       this text\n"
        "\n"
        "Exit status: 0 success, 1 a read or write failed, 2 bad arguments,\n"
        "3 plug-in or simulator could not be started, 4 connection failed\n"
        "(doctor: 0 only when its test read worked).\n");
}

ParseResult parseArguments(const QStringList &arguments)
{
    return Parser(arguments).run();
}

} // namespace plcctl
