// The command line, the tag file and the --help text that describes both.
#include "cli_options.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>

#include "record_report.h"
#include "tools/common/value_text.h"

namespace vane::host {

namespace {

enum CommandBit : unsigned {
    OnInfo = 1u << 0,
    OnRead = 1u << 1,
    OnWrite = 1u << 2,
    OnPoll = 1u << 3,
    OnBench = 1u << 4,
    OnScan = 1u << 5,
    OnMonitor = 1u << 6, // listens to a line; needs no plug-in
    OnAll = OnInfo | OnRead | OnWrite | OnPoll | OnBench | OnScan,
    OnRequests = OnRead | OnWrite | OnPoll | OnBench,
};

struct OptionRule {
    const char* longName;
    char shortName;
    bool takesValue;
    unsigned commands;
};

const OptionRule optionTable[] = {
    {"plugin", 'p', true, OnAll},
    {"connect", 'c', true, OnAll | OnMonitor},
    {"station", 's', true, OnRequests | OnMonitor},
    {"tags", 'f', true, OnPoll},
    {"interval", 'i', true, OnPoll},
    {"cycles", 0, true, OnPoll},
    {"iterations", 'n', true, OnBench},
    {"write", 0, false, OnBench},
    {"tag", 't', true, OnScan},
    {"hex", 0, false, OnRead | OnWrite | OnPoll | OnScan},
    {"timeout", 0, true, OnMonitor},
    {"seconds", 0, true, OnMonitor},
    {"frames", 0, true, OnMonitor},
    {"function", 0, true, OnMonitor},
    {"debug", 0, false, OnAll},
    {"json", 0, false, OnAll | OnMonitor},
    {"help", 'h', false, OnAll | OnMonitor},
};

struct CommandEntry {
    const char* name;
    Command command;
    unsigned bit;
    const char* usage;
};

const CommandEntry commandTable[] = {
    {"help", Command::Help, OnAll, "help"},
    {"info", Command::Info, OnInfo, "info"},
    {"read", Command::Read, OnRead, "read <address> <type> [count]"},
    {"write", Command::Write, OnWrite, "write <address> <type> <value>..."},
    {"poll", Command::Poll, OnPoll, "poll [address:type[:count]]... [--tags <file>]"},
    {"bench", Command::Bench, OnBench,
     "bench <address> <type> [count]  or  bench --write <address> <type> <value>..."},
    {"scan", Command::Scan, OnScan, "scan [FIRST-LAST] [--tag address:type]"},
    {"monitor", Command::Monitor, OnMonitor, "monitor --connect PORT,BAUD,DATA,STOP,PARITY"},
};

const char commandList[] = "commands: info, read, write, poll, bench, scan, monitor (see --help)";

// Options with a number, in the order they are checked, and the field each one sets.
struct NumberOption {
    const char* name;
    int min;
    int max;
    int Options::*field;
};

const NumberOption numberOptions[] = {
    {"interval", 0, 3600000, &Options::intervalMs},
    {"cycles", 1, 1000000000, &Options::cycles},
    {"iterations", 1, 100000000, &Options::iterations},
    {"timeout", 1, 3600000, &Options::timeoutMs},
    {"seconds", 1, 100000000, &Options::seconds},
    {"frames", 1, 1000000000, &Options::frames},
    {"function", 1, 127, &Options::functionFilter},
};

const int standardBauds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

// A check's refusal: sets *error to the one-line message and returns false.
bool fail(QString* error, const QString& message)
{
    *error = message;
    return false;
}

// A decimal number from min to max, without a sign in front of a positive one.
bool wholeNumber(const QString& text, int min, int max, int* out)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || value < min || value > max || text.startsWith(QLatin1Char('+')))
        return false;
    *out = value;
    return true;
}

bool parseNumber(const QString& option, const QString& text, int min, int max, int* out, QString* error)
{
    if (wholeNumber(text, min, max, out))
        return true;
    return fail(error, QStringLiteral("bad value '%1' for --%2: expected a whole number from %3 to %4")
                           .arg(text, option).arg(min).arg(max));
}

// A tag from its fields: address, type name, and optionally the count (default 1).
bool parseTagFields(const QStringList& fields, TagSpec* tag, QString* error)
{
    if (fields.size() < 2 || fields.size() > 3 || fields.at(0).isEmpty())
        return fail(error, QStringLiteral("a tag needs an address, a data type and optionally a count"));
    TagSpec parsed;
    parsed.address = fields.at(0);
    if (!dataTypeFromName(fields.at(1), &parsed.type))
        return fail(error, unknownDataTypeMessage(fields.at(1)));
    if (fields.size() == 3 && !parseCount(fields.at(2), &parsed.count, error))
        return false;
    *tag = parsed;
    return true;
}

QString parityLetter(const QString& text)
{
    const QString lower = text.toLower();
    if (lower == QLatin1String("n") || lower == QLatin1String("none"))
        return QStringLiteral("N");
    if (lower == QLatin1String("e") || lower == QLatin1String("even"))
        return QStringLiteral("E");
    if (lower == QLatin1String("o") || lower == QLatin1String("odd"))
        return QStringLiteral("O");
    return QString();
}

// The connection parameters as the driver gets them; see parseCommandLine.
bool checkConnection(const QString& text, QString* checked, QString* error)
{
    if (!text.contains(QLatin1Char(','))) {
        *checked = text;
        return true;
    }
    const QStringList fields = text.split(QLatin1Char(','));
    const auto refuse = [&](const QString& what) {
        return fail(error, QStringLiteral("bad serial settings '%1': %2").arg(text, what));
    };
    if (fields.size() < 5 || fields.at(0).isEmpty())
        return refuse(QStringLiteral("expected port,baud,data bits,stop bits,parity[,option...], e.g. /dev/ttyUSB0,9600,8,1,E"));
    bool baudOk = false;
    for (int baud : standardBauds)
        baudOk = baudOk || fields.at(1) == QString::number(baud);
    if (!baudOk)
        return refuse(QStringLiteral("baud rate '%1' is none of 1200 2400 4800 9600 19200 38400 57600 115200").arg(fields.at(1)));
    int dataBits = 0;
    if (!wholeNumber(fields.at(2), 5, 8, &dataBits))
        return refuse(QStringLiteral("data bits '%1' are not 5 to 8").arg(fields.at(2)));
    if (fields.at(3) != QLatin1String("1") && fields.at(3) != QLatin1String("2"))
        return refuse(QStringLiteral("stop bits '%1' are neither 1 nor 2").arg(fields.at(3)));
    const QString parity = parityLetter(fields.at(4));
    if (parity.isEmpty())
        return refuse(QStringLiteral("parity '%1' is none of N, E, O (None, Even, Odd)").arg(fields.at(4)));
    // The driver's options (echo, timeout=MS ...) follow the parity field; the driver judges them.
    *checked = (QStringList{fields.at(0), fields.at(1), fields.at(2), fields.at(3), parity} + fields.mid(5))
                   .join(QLatin1Char(','));
    return true;
}

// "FIRST-LAST" or a single station, 1 to 255.
bool parseStationRange(const QString& text, Options* options, QString* error)
{
    const QStringList ends = text.split(QLatin1Char('-'));
    bool firstOk = false;
    bool lastOk = false;
    const int first = ends.first().toInt(&firstOk);
    const int last = ends.size() == 2 ? ends.last().toInt(&lastOk) : first;
    lastOk = ends.size() == 1 ? firstOk : lastOk;
    if (ends.size() > 2 || !firstOk || !lastOk || first < 1 || last > 255 || first > last)
        return fail(error, QStringLiteral("bad station range '%1': expected FIRST-LAST within 1-255, e.g. 1-247").arg(text));
    options->firstStation = first;
    options->lastStation = last;
    return true;
}

bool looksLikeOption(const QString& argument)
{
    if (argument.size() < 2 || !argument.startsWith(QLatin1Char('-')))
        return false;
    const QChar second = argument.at(1);
    if (second.isDigit() || second == QLatin1Char('.'))
        return false;
    const QString lower = argument.toLower();
    return lower != QLatin1String("-inf") && lower != QLatin1String("-nan") && lower != QLatin1String("-infinity");
}

const OptionRule* findOption(const QString& name, bool isLong)
{
    for (const OptionRule& rule : optionTable) {
        if (isLong ? name == QLatin1String(rule.longName) : (name.size() == 1 && name.at(0) == QLatin1Char(rule.shortName)))
            return &rule;
    }
    return nullptr;
}

// address, type, then either an optional count or at least one value.
bool parseTagAndRest(const QStringList& args, bool restAreValues, const char* usage, Options* options, QString* error)
{
    const bool countOk = restAreValues ? args.size() >= 3 : (args.size() == 2 || args.size() == 3);
    if (!countOk)
        return fail(error, QStringLiteral("usage: %1").arg(QLatin1String(usage)));
    const QStringList tagFields = restAreValues ? args.mid(0, 2) : QStringList(args);
    if (!parseTagFields(tagFields, &options->tag, error))
        return false;
    if (restAreValues) {
        const QStringList texts = args.mid(2);
        options->tag.count = texts.size();
        return parseValues(options->tag.type, texts, &options->values, error);
    }
    return true;
}

bool parseCommandArguments(const CommandEntry& entry, const QStringList& args, Options* options, QString* error)
{
    switch (entry.command) {
    case Command::Help: return true;
    case Command::Info:
        if (!args.isEmpty())
            return fail(error, QStringLiteral("info takes no arguments"));
        return true;
    case Command::Scan:
        if (args.size() > 1)
            return fail(error, QStringLiteral("usage: %1").arg(QLatin1String(entry.usage)));
        return args.isEmpty() || parseStationRange(args.first(), options, error);
    case Command::Monitor:
        if (!args.isEmpty() || !options->connect || !options->connection.contains(QLatin1Char(',')))
            return fail(error, QStringLiteral("usage: %1, e.g. monitor --connect /dev/ttyUSB1,19200,8,1,E")
                                   .arg(QLatin1String(entry.usage)));
        return true;
    case Command::Read: return parseTagAndRest(args, false, entry.usage, options, error);
    case Command::Write: return parseTagAndRest(args, true, entry.usage, options, error);
    case Command::Bench: return parseTagAndRest(args, options->benchWrite, entry.usage, options, error);
    case Command::Poll:
        for (const QString& argument : args) {
            TagSpec tag;
            if (!parseTagArgument(argument, &tag, error))
                return false;
            options->tags.append(tag);
        }
        if (options->tags.isEmpty())
            return fail(error, QStringLiteral("poll needs at least one tag: address:type[:count] or --tags <file>"));
        return true;
    }
    return false;
}

// Applies the options' values; the tag file is read before the command's own tags are added.
bool applyOptions(const QHash<QString, QString>& given, Options* options, QString* error)
{
    const auto has = [&](const char* name) { return given.contains(QLatin1String(name)); };
    const auto value = [&](const char* name) { return given.value(QLatin1String(name)); };
    options->debug = has("debug");
    options->json = has("json");
    options->benchWrite = has("write");
    options->hex = has("hex");
    if (has("tag") && !parseTagArgument(value("tag"), &options->tag, error))
        return false;
    options->pluginPath = value("plugin");
    options->connect = has("connect");
    if (options->connect && !checkConnection(value("connect"), &options->connection, error))
        return false;
    int station = 0;
    if (has("station") && !parseNumber(QStringLiteral("station"), value("station"), 0, 255, &station, error))
        return false;
    if (has("station"))
        options->station = QString::number(station);
    if (has("station"))
        options->stationFilter = station;
    for (const NumberOption& number : numberOptions) {
        if (has(number.name)
            && !parseNumber(QLatin1String(number.name), value(number.name), number.min, number.max, &(options->*number.field), error))
            return false;
    }
    return !has("tags") || readTagFile(value("tags"), &options->tags, error);
}

} // namespace

bool parseCount(const QString& text, int* count, QString* error)
{
    if (wholeNumber(text, 1, 65535, count))
        return true;
    return fail(error, QStringLiteral("bad count '%1': expected a whole number from 1 to 65535").arg(text));
}

bool parseTagArgument(const QString& argument, TagSpec* tag, QString* error)
{
    if (!parseTagFields(argument.split(QLatin1Char(':')), tag, error))
        return fail(error, QStringLiteral("tag '%1': %2 (form: address:type[:count])").arg(argument, *error));
    return true;
}

bool parseTagFile(const QString& text, QList<TagSpec>* tags, QString* error)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString content = lines.at(i).section(QLatin1Char('#'), 0, 0).trimmed();
        if (content.isEmpty())
            continue;
        TagSpec tag;
        if (!parseTagFields(content.split(blanks), &tag, error))
            return fail(error, QStringLiteral("line %1: %2").arg(i + 1).arg(*error));
        tags->append(tag);
    }
    return true;
}

bool readTagFile(const QString& path, QList<TagSpec>* tags, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return fail(error, QStringLiteral("cannot read tag file %1: %2").arg(path, file.errorString()));
    if (!parseTagFile(QString::fromUtf8(file.readAll()), tags, error))
        return fail(error, QStringLiteral("%1: %2").arg(path, *error));
    return true;
}

ParsedCommandLine parseCommandLine(const QStringList& arguments)
{
    ParsedCommandLine result;
    const auto refused = [&](const QString& message) {
        result.error = message;
        return result;
    };
    QHash<QString, QString> given; // long name -> value
    QStringList positionals;
    bool optionsEnded = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (optionsEnded || !looksLikeOption(argument)) {
            positionals.append(argument);
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        const bool isLong = argument.startsWith(QLatin1String("--"));
        QString name = isLong ? argument.mid(2).section(QLatin1Char('='), 0, 0) : argument.mid(1, 1);
        const bool hasInline = isLong ? argument.contains(QLatin1Char('=')) : argument.size() > 2;
        QString value = isLong ? argument.section(QLatin1Char('='), 1) : argument.mid(2);
        const OptionRule* rule = findOption(name, isLong);
        if (!rule)
            return refused(QStringLiteral("unknown option '%1' (see --help)").arg(argument));
        name = QLatin1String(rule->longName);
        if (rule->takesValue && !hasInline) {
            if (i + 1 >= arguments.size())
                return refused(QStringLiteral("option --%1 needs a value").arg(name));
            value = arguments.at(++i);
        } else if (!rule->takesValue && hasInline) {
            return refused(QStringLiteral("option --%1 takes no value").arg(name));
        }
        given.insert(name, value);
    }

    if (given.contains(QStringLiteral("help"))) {
        result.ok = true;
        return result;
    }
    if (positionals.isEmpty())
        return refused(QStringLiteral("no command given; %1").arg(QLatin1String(commandList)));
    const CommandEntry* entry = nullptr;
    for (const CommandEntry& candidate : commandTable) {
        if (positionals.first() == QLatin1String(candidate.name))
            entry = &candidate;
    }
    if (!entry)
        return refused(QStringLiteral("unknown command '%1'; %2").arg(positionals.first(), QLatin1String(commandList)));
    result.options.command = entry->command;
    if (entry->command == Command::Scan)
        result.options.tag = TagSpec{QStringLiteral("4x0"), UInt16, 1}; // unless --tag says otherwise
    if (entry->command == Command::Help) {
        result.ok = true;
        return result;
    }
    for (auto it = given.cbegin(); it != given.cend(); ++it) {
        const OptionRule* rule = findOption(it.key(), true);
        if (!(rule->commands & entry->bit))
            return refused(QStringLiteral("option --%1 does not apply to %2").arg(it.key(), QLatin1String(entry->name)));
    }
    if (!applyOptions(given, &result.options, &result.error)
        || !parseCommandArguments(*entry, positionals.mid(1), &result.options, &result.error))
        return result;
    if (result.options.pluginPath.isEmpty() && entry->command != Command::Monitor)
        return refused(QStringLiteral("no plug-in given: use --plugin <file>, e.g. --plugin lib/libNetvane.so.1"));
    result.ok = true;
    return result;
}

QString helpText()
{
    QString text = QStringLiteral(R"(Usage: vane-host --plugin <file> [options] <command> [arguments]

Loads a Modbus driver plug-in the way the panel runtime does (dlopen, getSharedLibrary), sets the
station number, connects, and reads or writes tags through the driver.

Commands:
  info                               driver name, driver version, driver build information and
                                     the version of these tools; with -c it also connects
  read  <address> <type> [count]     read count elements (default 1): status, values, timestamp
  write <address> <type> <value>...  write the values (the count is the number of values)
  poll  [address:type[:count]]...    read the tags every --interval ms, as a table redrawn in
                                     place on a terminal, as plain lines otherwise; until Ctrl-C
                                     or --cycles
  bench <address> <type> [count]     --iterations back-to-back reads; prints transactions/s,
                                     latency p50, p99 and max, and the statuses seen
  bench --write <address> <type> <value>...   the same with writes
  scan  [FIRST-LAST]                 asks stations FIRST to LAST (default 1-247) for one tag
                                     (--tag, default 4x0:UInt16) and lists those that answered,
                                     with the value or the Modbus exception; a silent RTU station
                                     costs about 0.55 s (or timeout=MS), a whole bus about 2.3
                                     minutes
  monitor --connect PORT,BAUD,DATA,STOP,PARITY
                                     listens to an RTU line without a plug-in and without ever
                                     writing: a line per frame (request, answer, exception,
                                     noise) and per detection (no answer, unsolicited answer,
                                     echo, broadcast), a summary per station at the end (Ctrl-C,
                                     --seconds, --frames)

Options:
  -p, --plugin <file>      the plug-in, e.g. build/lib/libNetvane.so.1 or build/lib/libSerivane.so.1;
                           a bare file name is also looked up in the library search path
  -c, --connect <params>   connection parameters, e.g. 127.0.0.1:502 or /dev/ttyUSB0,9600,8,1,N;
                           serial settings are checked first: baud 1200 2400 4800 9600 19200
                           38400 57600 115200, data bits 5-8, stop bits 1 or 2, parity N, E, O
                           or None, Even, Odd (passed on as the letter); fields after the parity
                           are the driver's line options, passed on unchanged:
                             echo                  the adapter hands every request back (2-wire RS-485)
                             timeout=MS            longest wait for an answer to begin, 1-60000
                             fc16                  single-register writes as function 16, not 06
                             rs485                 the kernel's RS-485 mode (TIOCSRS485) on open
                             rs485-rts-low         inverse RTS polarity: RTS low while sending
                             rs485-delay-before=MS RTS delay before sending, in ms
                             rs485-delay-after=MS  RTS delay after sending, in ms
                           e.g. /dev/ttyUSB0,19200,8,1,N,echo,timeout=2000
                           (the RTU plug-in also takes /dev/ttyUSB0:x,9600,8,1,N: port opened per
                           exchange and locked around it, so that vane-host takes turns with a
                           runtime that does the same); without it the driver stays unconnected
                           and every request that passes its checks ends with status 8 or 9
  -s, --station <n>        station number (Modbus unit identifier or slave address), 0-255; default 1
  -f, --tags <file>        poll: tag file, one tag per line "address type [count]", # comments
  -i, --interval <ms>      poll: period in milliseconds, default 1000
      --cycles <n>         poll: stop after n cycles
  -n, --iterations <n>     bench: number of transactions, default 100
      --write              bench: write instead of read
  -t, --tag <address:type> scan: the tag each station is asked for, default 4x0:UInt16
      --timeout <ms>       monitor: a request unanswered this long has no answer, default 1000
      --seconds <n>        monitor: stop after n seconds
      --frames <n>         monitor: stop after n frames shown
      --function <f>       monitor: show and count only function f (exceptions included);
                           --station <n> likewise only station n
      --hex                read, write, poll, scan: integer and float values as hex bit patterns
      --debug              switch the driver's debug output on (request and answer dumps)
      --json               machine-readable output: one JSON object per result (poll: per cycle)
  -h, --help               this text

The driver's log lines go to stderr prefixed "[driver] " (warnings "[driver warning] ", followed
by an English meaning after " -- "); its debug lines appear only with --debug. A transaction that
ended with a Modbus exception answer shows the exception's code and name with status 7. poll
disconnects and connects again after status 8 or 9 (with --connect), pausing 1, 2, 4 ... 30 s.

Tag addresses: an area prefix and a decimal offset counted from 0: 0x coils (read/write),
1x discrete inputs (read only), 3x input registers (read only), 4x holding registers (read/write);
e.g. 4x100 is holding register 100.

Values: Bool takes 0, 1, true or false; integers take decimal within the type's range or 0x..
hex of the type's width (0xFFFF as Int16 is -1); Float and Double take decimal or exponent
notation, nan and inf. Negative values need no "--": write 4x0 Int16 -5 works.

Data types (any case):
)");
    const QStringList names = dataTypeNames();
    QString line = QStringLiteral(" ");
    for (const QString& name : names) {
        if (line.size() + name.size() + 2 > 98) {
            text += line + QLatin1Char('\n');
            line = QStringLiteral(" ");
        }
        line += QLatin1Char(' ') + name;
    }
    text += line + QLatin1Char('\n');
    text += QStringLiteral("\nStatus codes of a read or write:\n");
    for (int status = 0; status <= 9; ++status)
        text += QStringLiteral("  %1  %2\n").arg(status).arg(statusMeaning(status));
    text += QStringLiteral(R"(
Exit codes:
  0  every request done (status 0)
  1  a read or write ended with a status other than 0
  2  usage error: bad option, command, address/type/count, value or tag file
  3  the plug-in could not be loaded: missing file, not a shared library, no getSharedLibrary
  4  ConnectDrive refused the parameters or did not connect
)");
    return text;
}

} // namespace vane::host
