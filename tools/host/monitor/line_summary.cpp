#include "line_summary.h"

#include "record_report.h"
#include "tools/common/json_text.h"

#include <QStringList>

namespace vane::monitor {

void LineSummary::add(const FrameRecord& record, bool counted)
{
    ++frameCount;
    if (record.kind == FrameKind::Noise)
        ++noiseCount;
    if (!record.crcOk)
        ++crcErrorCount;
    if (!counted || record.kind == FrameKind::Noise)
        return;
    StationTally& tally = tallies[record.station];
    if (!record.crcOk)
        ++tally.crcErrors;
    switch (record.kind) {
    case FrameKind::Request:
        if (!record.echo)
            ++tally.requests;
        break;
    case FrameKind::Answer:
        ++tally.answers;
        break;
    case FrameKind::Exception:
        ++tally.exceptions[fieldsOf(record.frame.bytes, FrameKind::Exception).exceptionCode];
        break;
    case FrameKind::Noise:
        break;
    }
    if (!record.fitsRequest)
        ++tally.misfits;
    if (record.responseMs >= 0 && record.crcOk)
        tally.responseMs.append(record.responseMs);
}

void LineSummary::add(const LineEvent& event)
{
    StationTally& tally = tallies[event.station];
    switch (event.kind) {
    case EventKind::NoAnswer: ++tally.noAnswer; break;
    case EventKind::Unsolicited: ++tally.unsolicited; break;
    case EventKind::Echo: ++tally.echoes; break;
    case EventKind::Broadcast: ++tally.broadcasts; break;
    }
}

QString LineSummary::hint() const
{
    if (frameCount < 4 || 2 * crcErrorCount <= frameCount)
        return QString();
    return QStringLiteral("most frames fail their CRC check: check the baud rate (usual rates: 9600, 19200, "
                          "38400, 57600, 115200), the parity and the wiring");
}

QString LineSummary::text() const
{
    QStringList lines;
    lines << QStringLiteral("summary: %1 frames, %2 noise, %3 with a bad CRC").arg(frameCount).arg(noiseCount).arg(crcErrorCount);
    for (auto it = tallies.cbegin(); it != tallies.cend(); ++it) {
        const StationTally& t = it.value();
        const host::LatencySummary latency = host::summarizeLatencies(t.responseMs);
        QString line = QStringLiteral("  station %1: %2 requests, %3 answers, %4 no answer, %5 CRC errors")
                           .arg(it.key()).arg(t.requests).arg(t.answers).arg(t.noAnswer).arg(t.crcErrors);
        for (auto e = t.exceptions.cbegin(); e != t.exceptions.cend(); ++e)
            line += QStringLiteral(", %1 x exception %2").arg(e.value()).arg(host::exceptionText(e.key()));
        const QList<QPair<int, const char*>> extras = {{t.unsolicited, "unsolicited"}, {t.echoes, "echoes"},
                                                       {t.broadcasts, "broadcasts"}, {t.misfits, "not fitting the request"}};
        for (const auto& extra : extras) {
            if (extra.first > 0)
                line += QStringLiteral(", %1 %2").arg(extra.first).arg(QLatin1String(extra.second));
        }
        if (latency.samples > 0)
            line += QStringLiteral("; response p50 %1 ms, p99 %2 ms, max %3 ms")
                        .arg(latency.p50Ms, 0, 'f', 2).arg(latency.p99Ms, 0, 'f', 2).arg(latency.maxMs, 0, 'f', 2);
        lines << line;
    }
    if (!hint().isEmpty())
        lines << QStringLiteral("  ") + hint();
    return lines.join(QLatin1Char('\n'));
}

QString LineSummary::json() const
{
    JsonObject stations;
    for (auto it = tallies.cbegin(); it != tallies.cend(); ++it) {
        const StationTally& t = it.value();
        const host::LatencySummary latency = host::summarizeLatencies(t.responseMs);
        JsonObject exceptions;
        for (auto e = t.exceptions.cbegin(); e != t.exceptions.cend(); ++e)
            exceptions.addInt(host::exceptionName(e.key()).toUtf8().constData(), e.value());
        JsonObject station;
        station.addInt("requests", t.requests)
            .addInt("answers", t.answers)
            .addInt("no_answer", t.noAnswer)
            .addInt("crc_errors", t.crcErrors)
            .addRaw("exceptions", exceptions.toString())
            .addInt("unsolicited", t.unsolicited)
            .addInt("echoes", t.echoes)
            .addInt("broadcasts", t.broadcasts)
            .addInt("not_fitting", t.misfits)
            .addRaw("p50_ms", latency.samples ? jsonNumber(latency.p50Ms) : QStringLiteral("null"))
            .addRaw("p99_ms", latency.samples ? jsonNumber(latency.p99Ms) : QStringLiteral("null"))
            .addRaw("max_ms", latency.samples ? jsonNumber(latency.maxMs) : QStringLiteral("null"));
        stations.addRaw(QByteArray::number(it.key()).constData(), station.toString());
    }
    JsonObject line;
    line.addInt("frames", frameCount).addInt("noise", noiseCount).addInt("crc_errors", crcErrorCount);
    if (!hint().isEmpty())
        line.addString("hint", hint());
    JsonObject summary;
    summary.addRaw("summary", stations.toString()).addRaw("line", line.toString());
    return summary.toString();
}

} // namespace vane::monitor
