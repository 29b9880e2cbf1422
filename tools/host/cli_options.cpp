#include "cli_options.h"

#include <QHash>

#include "serial_settings.h"
#include "value_text.h"

namespace vane::host {

namespace {

enum CommandBit : unsigned {
    OnInfo = 1u << 0,
    OnRead = 1u << 1,
    OnWrite = 1u << 2,
    OnPoll = 1u << 3,
    OnBench = 1u << 4,
    OnScan = 1u << 5,
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
    {"connect", 'c', true, OnAll},
    {"station", 's', true, OnRequests},
    {"tags", 'f', true, OnPoll},
    {"interval", 'i', true, OnPoll},
    {"cycles", 0, true, OnPoll},
    {"iterations", 'n', true, OnBench},
    {"write", 0, false, OnBench},
    {"tag", 't', true, OnScan},
    {"hex", 0, false, OnRead | OnWrite | OnPoll | OnScan},
    {"debug", 0, false, OnAll},
    {"json", 0, false, OnAll},
    {"help", 'h', false, OnAll},
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
};

const char commandList[] = "commands: info, read, write, poll, bench, scan (see --help)";

// "FIRST-LAST" or a single station, 1 to 255.
bool parseStationRange(const QString& text, Options* options, QString* error)
{
    const QStringList ends = text.split(QLatin1Char('-'));
    bool firstOk = false;
    bool lastOk = false;
    const int first = ends.first().toInt(&firstOk);
    const int last = ends.size() == 2 ? ends.last().toInt(&lastOk) : first;
    lastOk = ends.size() == 1 ? firstOk : lastOk;
    if (ends.size() > 2 || !firstOk || !lastOk || first < 1 || last > 255 || first > last) {
        *error = QStringLiteral("bad station range '%1': expected FIRST-LAST within 1-255, e.g. 1-247").arg(text);
        return false;
    }
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

bool parseNumber(const QString& option, const QString& text, int min, int max, int* out, QString* error)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || value < min || value > max || text.startsWith(QLatin1Char('+'))) {
        *error = QStringLiteral("bad value '%1' for --%2: expected a whole number from %3 to %4")
                     .arg(text, option).arg(min).arg(max);
        return false;
    }
    *out = value;
    return true;
}

// address, type, then either an optional count or at least one value.
bool parseTagAndRest(const QStringList& args, bool restAreValues, const char* usage, Options* options, QString* error)
{
    const bool countOk = restAreValues ? args.size() >= 3 : (args.size() == 2 || args.size() == 3);
    if (!countOk) {
        *error = QStringLiteral("usage: %1").arg(QLatin1String(usage));
        return false;
    }
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
        if (!args.isEmpty()) {
            *error = QStringLiteral("info takes no arguments");
            return false;
        }
        return true;
    case Command::Scan:
        if (args.size() > 1) {
            *error = QStringLiteral("usage: %1").arg(QLatin1String(entry.usage));
            return false;
        }
        return args.isEmpty() || parseStationRange(args.first(), options, error);
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
        if (options->tags.isEmpty()) {
            *error = QStringLiteral("poll needs at least one tag: address:type[:count] or --tags <file>");
            return false;
        }
        return true;
    }
    return false;
}

// Applies the options' values; the tag file is read before the command's own tags are added.
bool applyOptions(const QHash<QString, QString>& given, Options* options, QString* error)
{
    options->debug = given.contains(QStringLiteral("debug"));
    options->json = given.contains(QStringLiteral("json"));
    options->benchWrite = given.contains(QStringLiteral("write"));
    options->hex = given.contains(QStringLiteral("hex"));
    if (given.contains(QStringLiteral("tag")) && !parseTagArgument(given.value(QStringLiteral("tag")), &options->tag, error))
        return false;
    options->pluginPath = given.value(QStringLiteral("plugin"));
    options->connect = given.contains(QStringLiteral("connect"));
    if (options->connect && !checkConnection(given.value(QStringLiteral("connect")), &options->connection, error))
        return false;
    if (given.contains(QStringLiteral("station"))) {
        int station = 0;
        if (!parseNumber(QStringLiteral("station"), given.value(QStringLiteral("station")), 0, 255, &station, error))
            return false;
        options->station = QString::number(station);
    }
    if (given.contains(QStringLiteral("interval"))
        && !parseNumber(QStringLiteral("interval"), given.value(QStringLiteral("interval")), 0, 3600000, &options->intervalMs, error))
        return false;
    if (given.contains(QStringLiteral("cycles"))
        && !parseNumber(QStringLiteral("cycles"), given.value(QStringLiteral("cycles")), 1, 1000000000, &options->cycles, error))
        return false;
    if (given.contains(QStringLiteral("iterations"))
        && !parseNumber(QStringLiteral("iterations"), given.value(QStringLiteral("iterations")), 1, 100000000, &options->iterations, error))
        return false;
    if (given.contains(QStringLiteral("tags")))
        return readTagFile(given.value(QStringLiteral("tags")), &options->tags, error);
    return true;
}

} // namespace

ParsedCommandLine parseCommandLine(const QStringList& arguments)
{
    ParsedCommandLine result;
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
        if (!rule) {
            result.error = QStringLiteral("unknown option '%1' (see --help)").arg(argument);
            return result;
        }
        name = QLatin1String(rule->longName);
        if (rule->takesValue && !hasInline) {
            if (i + 1 >= arguments.size()) {
                result.error = QStringLiteral("option --%1 needs a value").arg(name);
                return result;
            }
            value = arguments.at(++i);
        } else if (!rule->takesValue && hasInline) {
            result.error = QStringLiteral("option --%1 takes no value").arg(name);
            return result;
        }
        given.insert(name, value);
    }

    if (given.contains(QStringLiteral("help"))) {
        result.ok = true;
        return result;
    }
    if (positionals.isEmpty()) {
        result.error = QStringLiteral("no command given; %1").arg(QLatin1String(commandList));
        return result;
    }
    const CommandEntry* entry = nullptr;
    for (const CommandEntry& candidate : commandTable) {
        if (positionals.first() == QLatin1String(candidate.name))
            entry = &candidate;
    }
    if (!entry) {
        result.error = QStringLiteral("unknown command '%1'; %2").arg(positionals.first(), QLatin1String(commandList));
        return result;
    }
    result.options.command = entry->command;
    if (entry->command == Command::Scan)
        result.options.tag = TagSpec{QStringLiteral("4x0"), UInt16, 1}; // unless --tag says otherwise
    if (entry->command == Command::Help) {
        result.ok = true;
        return result;
    }
    for (auto it = given.cbegin(); it != given.cend(); ++it) {
        const OptionRule* rule = findOption(it.key(), true);
        if (!(rule->commands & entry->bit)) {
            result.error = QStringLiteral("option --%1 does not apply to %2").arg(it.key(), QLatin1String(entry->name));
            return result;
        }
    }
    if (!applyOptions(given, &result.options, &result.error)
        || !parseCommandArguments(*entry, positionals.mid(1), &result.options, &result.error))
        return result;
    if (result.options.pluginPath.isEmpty()) {
        result.error = QStringLiteral("no plug-in given: use --plugin <file>, e.g. --plugin lib/libNetvane.so.1");
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace vane::host
