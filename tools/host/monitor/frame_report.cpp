#include "frame_report.h"

#include "record_report.h"
#include "tools/common/json_text.h"

#include <QStringList>

namespace vane::monitor {

namespace {

const char* kindName(FrameKind kind)
{
    switch (kind) {
    case FrameKind::Request: return "request";
    case FrameKind::Answer: return "answer";
    case FrameKind::Exception: return "exception";
    case FrameKind::Noise: return "noise";
    }
    return "noise";
}

const char* eventName(EventKind kind)
{
    switch (kind) {
    case EventKind::NoAnswer: return "no_answer";
    case EventKind::Unsolicited: return "unsolicited";
    case EventKind::Echo: return "echo";
    case EventKind::Broadcast: return "broadcast";
    }
    return "";
}

QString hex(const QByteArray& bytes, char separator = ' ')
{
    return QString::fromLatin1(bytes.toHex(separator).toUpper());
}

// Registers as 16-bit words, a last odd byte on its own.
QStringList words(const QByteArray& data)
{
    QStringList list;
    for (int i = 0; i + 1 < data.size(); i += 2)
        list << QString::number(wordAt(data, i));
    if (data.size() % 2)
        list << QString::number(static_cast<unsigned char>(data.back()));
    return list;
}

QString wordsHex(const QByteArray& data)
{
    QStringList list;
    for (const QString& word : words(data))
        list << QStringLiteral("%1").arg(word.toInt(), 4, 16, QLatin1Char('0')).toUpper();
    return list.join(QLatin1Char(' '));
}

QString ms(double value) { return QString::number(value, 'f', 3); }

} // namespace

QString frameText(const FrameRecord& record, const QString& time)
{
    const QString gap = record.gapMs < 0 ? QStringLiteral("-") : QStringLiteral("+%1 ms").arg(ms(record.gapMs));
    QString line = QStringLiteral("%1 %2 %3").arg(time, gap.rightJustified(13), QString::fromLatin1(kindName(record.kind)).leftJustified(9));
    const FrameFields fields = fieldsOf(record.frame.bytes, record.kind);
    if (record.kind == FrameKind::Noise) {
        line += QStringLiteral(" %1 bytes: %2").arg(record.frame.bytes.size()).arg(hex(record.frame.bytes.left(32)));
        if (record.frame.bytes.size() > 32)
            line += QStringLiteral(" ...");
        if (record.frame.overlong)
            line += QStringLiteral(" (longer than 256 bytes: cut)");
        return line;
    }
    line += QStringLiteral(" st %1 fc %2 %3").arg(record.station).arg(record.function).arg(functionName(record.function));
    if (fields.exceptionCode >= 0)
        line += QStringLiteral(": exception %1").arg(host::exceptionText(fields.exceptionCode));
    if (fields.start >= 0)
        line += QStringLiteral(" start %1").arg(fields.start);
    if (fields.quantity >= 0)
        line += QStringLiteral(" qty %1").arg(fields.quantity);
    if (fields.byteCount >= 0)
        line += QStringLiteral(" %1 bytes").arg(fields.byteCount);
    if (!fields.data.isEmpty())
        line += QStringLiteral(": %1").arg(fields.bits ? hex(fields.data) : wordsHex(fields.data));
    line += record.crcOk ? QStringLiteral("  crc ok") : QStringLiteral("  CRC BAD");
    if (record.responseMs >= 0)
        line += QStringLiteral("  response %1 ms").arg(ms(record.responseMs));
    if (!record.fitsRequest)
        line += QStringLiteral("  (does not fit the request)");
    return line;
}

QString frameJson(const FrameRecord& record, const QString& time)
{
    JsonObject json;
    const bool noise = record.kind == FrameKind::Noise;
    json.addString("time", time)
        .addRaw("gap_ms", record.gapMs < 0 ? QStringLiteral("null") : jsonNumber(record.gapMs))
        .addString("kind", QLatin1String(kindName(record.kind)))
        .addRaw("station", noise ? QStringLiteral("null") : QString::number(record.station))
        .addRaw("function", noise ? QStringLiteral("null") : QString::number(record.function))
        .addBool("crc_ok", record.crcOk);
    const FrameFields fields = fieldsOf(record.frame.bytes, record.kind);
    if (fields.exceptionCode >= 0)
        json.addInt("exception", fields.exceptionCode).addString("exception_name", host::exceptionName(fields.exceptionCode));
    if (fields.start >= 0)
        json.addInt("start", fields.start);
    if (fields.quantity >= 0)
        json.addInt("quantity", fields.quantity);
    if (fields.byteCount >= 0)
        json.addInt("byte_count", fields.byteCount);
    if (!fields.data.isEmpty()) {
        if (fields.bits)
            json.addString("data", QString::fromLatin1(fields.data.toHex().toUpper()));
        else
            json.addRaw("values", jsonArray(words(fields.data)));
    }
    if (record.responseMs >= 0)
        json.addNumber("response_ms", record.responseMs).addBool("fits_request", record.fitsRequest);
    if (record.echo)
        json.addBool("echo", true);
    if (record.broadcast)
        json.addBool("broadcast", true);
    if (record.unsolicited)
        json.addBool("unsolicited", true);
    if (record.frame.overlong)
        json.addBool("overlong", true);
    json.addString("bytes", QString::fromLatin1(record.frame.bytes.toHex().toUpper()));
    return json.toString();
}

QString eventText(const LineEvent& event, const QString& time)
{
    const QString who = QStringLiteral("st %1 fc %2 %3").arg(event.station).arg(event.function).arg(functionName(event.function));
    QString what;
    switch (event.kind) {
    case EventKind::NoAnswer:
        what = QStringLiteral("NO ANSWER     %1: nothing after %2 ms").arg(who, ms(event.waitedMs));
        break;
    case EventKind::Unsolicited: what = QStringLiteral("UNSOLICITED   %1: an answer nobody asked for").arg(who); break;
    case EventKind::Echo: what = QStringLiteral("ECHO          %1: an exact copy of the request right after it").arg(who); break;
    case EventKind::Broadcast: what = QStringLiteral("BROADCAST     fc %1 %2: to every station, none answers").arg(event.function).arg(functionName(event.function)); break;
    }
    return QStringLiteral("%1 %2 %3").arg(time, QString(13, QLatin1Char(' ')), what);
}

QString eventJson(const LineEvent& event, const QString& time)
{
    JsonObject json;
    json.addString("time", time)
        .addString("event", QLatin1String(eventName(event.kind)))
        .addInt("station", event.station)
        .addInt("function", event.function);
    if (event.waitedMs >= 0)
        json.addNumber("waited_ms", event.waitedMs);
    return json.toString();
}

} // namespace vane::monitor
