#include "connection_string.h"

namespace vane::modbus {
namespace {

// The text before the next comma, removed with its comma; all that is left when there is none.
QString takeField(QString& rest)
{
    const int comma = rest.indexOf(QLatin1Char(','));
    if (comma < 0)
        return rest;
    const QString field = rest.left(comma);
    rest.remove(0, comma + 1);
    return field;
}

} // namespace

SerialParameters parseSerialForm(const QString& text)
{
    QString rest = text;
    SerialParameters p;
    p.portField = takeField(rest);
    p.baudRate = takeField(rest).toInt(nullptr, 10);
    p.dataBits = takeField(rest).toInt(nullptr, 10);
    p.stopBits = takeField(rest).toInt(nullptr, 10);
    p.parity = takeField(rest);
    // What follows the fifth comma-separated field: the options, one per field.
    for (int field = 0, from = 0;; ++field) {
        const int comma = text.indexOf(QLatin1Char(','), from);
        if (field >= 5)
            p.optionFields << text.mid(from, comma < 0 ? -1 : comma - from);
        if (comma < 0)
            break;
        from = comma + 1;
    }
    return p;
}

namespace {

constexpr int kLongestAnswerTimeoutMs = 60000;
constexpr int kLongestRs485DelayMs = 1000;

// "name=number" within [low, high] into *value; false when the number is missing or out of range.
bool numberAfterEquals(const QString& field, int low, int high, int* value)
{
    const int equals = field.indexOf(QLatin1Char('='));
    bool ok = false;
    const int number = equals < 0 ? 0 : field.mid(equals + 1).trimmed().toInt(&ok, 10);
    if (!ok || number < low || number > high)
        return false;
    *value = number;
    return true;
}

} // namespace

SerialOptions parseSerialOptions(const QStringList& fields, SerialOptionsReport* report)
{
    SerialOptions options;
    for (const QString& field : fields) {
        const QString name = field.section(QLatin1Char('='), 0, 0).trimmed().toLower();
        const bool hasValue = field.contains(QLatin1Char('='));
        bool good = true;
        if (name == QLatin1String("echo") && !hasValue) {
            options.echo = true;
        } else if (name == QLatin1String("fc16") && !hasValue) {
            options.singleWritesAsFc16 = true;
        } else if (name == QLatin1String("timeout")) {
            good = numberAfterEquals(field, 1, kLongestAnswerTimeoutMs, &options.answerTimeoutMs);
        } else if (name == QLatin1String("rs485") && !hasValue) {
            options.rs485 = true;
        } else if (name == QLatin1String("rs485-rts-low") && !hasValue) {
            options.rs485 = options.rs485RtsLow = true;
        } else if (name == QLatin1String("rs485-delay-before")) {
            good = numberAfterEquals(field, 0, kLongestRs485DelayMs, &options.rs485DelayBeforeMs);
            options.rs485 = true;
        } else if (name == QLatin1String("rs485-delay-after")) {
            good = numberAfterEquals(field, 0, kLongestRs485DelayMs, &options.rs485DelayAfterMs);
            options.rs485 = true;
        } else if (name == QLatin1String("echo") || name == QLatin1String("fc16") || name == QLatin1String("rs485")
                   || name == QLatin1String("rs485-rts-low")) {
            good = false; // a switch takes no value
        } else if (!field.trimmed().isEmpty()) {
            report->unknown << field;
        }
        if (!good && report->badField.isEmpty())
            report->badField = field;
    }
    return options;
}

SocketParameters splitSocketForm(const QString& text)
{
    if (text.startsWith(QLatin1Char('['))) {
        const int close = text.indexOf(QLatin1String("]:"));
        if (close > 0)
            return {text.mid(1, close - 1), text.mid(close + 2)};
    }
    const int colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return {text, QString()};
    return {text.left(colon), text.mid(colon + 1)};
}

} // namespace vane::modbus
