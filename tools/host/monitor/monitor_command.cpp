#include "monitor_command.h"

#include "console.h"
#include "frame_report.h"
#include "line_summary.h"
#include "listen_port.h"

#include <QDateTime>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <poll.h>
#include <unistd.h>

namespace vane::monitor {

namespace {

qint64 monotonicUs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

// Prints what passes the filters, counts it for the summary, and tells when --frames are done.
class Printer : public WatchSink {
public:
    Printer(const host::Options& options, qint64 originUs)
        : options(options), originUs(originUs), origin(QDateTime::currentDateTime()) {}

    void frameSeen(const FrameRecord& record) override
    {
        const bool shown = passes(record.station, record.function, record.kind == FrameKind::Noise);
        if (enough())
            return;
        summary.add(record, shown);
        if (!shown)
            return;
        ++framesShown;
        const QString time = timeOf(record.frame.startUs);
        host::printLine(options.json ? frameJson(record, time) : frameText(record, time));
    }

    void eventSeen(const LineEvent& event) override
    {
        if (enough() || !passes(event.station, event.function, false))
            return;
        summary.add(event);
        const QString time = timeOf(event.atUs);
        host::printLine(options.json ? eventJson(event, time) : eventText(event, time));
    }

    bool enough() const { return options.frames > 0 && framesShown >= options.frames; }
    void printSummary() const { host::printLine(options.json ? summary.json() : summary.text()); }

private:
    bool passes(int station, int function, bool noise) const
    {
        const bool filtered = options.stationFilter >= 0 || options.functionFilter > 0;
        if (noise)
            return !filtered;
        return (options.stationFilter < 0 || station == options.stationFilter)
            && (options.functionFilter <= 0 || function == options.functionFilter);
    }

    QString timeOf(qint64 us) const
    {
        return origin.addMSecs((us - originUs) / 1000).toString(QStringLiteral("hh:mm:ss.zzz"));
    }

    const host::Options& options;
    const qint64 originUs;
    const QDateTime origin;
    LineSummary summary;
    int framesShown = 0;
};

} // namespace

int runMonitor(const host::Options& options)
{
    // Checked by the command line: port, a standard baud rate, 5-8, 1 or 2, and N, E or O.
    const modbus::SerialParameters settings = modbus::parseSerialForm(options.connection);
    ListenPort port;
    QString error;
    if (!port.open(settings, &error)) {
        host::printError(error);
        return host::ExitUsage;
    }
    host::catchInterrupt();
    host::printError(QStringLiteral("listening to %1 at %2 baud (frames end after %3 ms of silence); Ctrl-C stops")
                         .arg(settings.portField).arg(settings.baudRate).arg(silenceUs(settings) / 1000.0, 0, 'f', 3));
    const qint64 startedUs = monotonicUs();
    const qint64 endUs = options.seconds > 0 ? startedUs + qint64(options.seconds) * 1000000 : -1;
    Printer printer(options, startedUs);
    FrameCutter cutter(silenceUs(settings));
    LineWatch watch(options.timeoutMs, printer);
    const auto pass = [&](qint64 nowUs) {
        cutter.idle(nowUs);
        for (const CutFrame& frame : cutter.take())
            watch.frame(frame);
        watch.idle(nowUs);
    };
    bool lineClosed = false;
    char buffer[512];
    while (!host::interrupted() && !host::outputClosed() && !printer.enough() && !lineClosed) {
        qint64 now = monotonicUs();
        if (endUs >= 0 && now >= endUs)
            break;
        // Awake for the next silence that ends a frame, the next time-out, the end, or Ctrl-C.
        qint64 wake = now + 50000;
        for (const qint64 deadline : {cutter.deadlineUs(), watch.deadlineUs(), endUs}) {
            if (deadline >= 0)
                wake = std::min(wake, deadline);
        }
        const qint64 waitUs = std::max<qint64>(0, wake - now);
        const timespec wait{time_t(waitUs / 1000000), long(waitUs % 1000000) * 1000};
        pollfd readable{port.descriptor(), POLLIN, 0};
        const int ready = ppoll(&readable, 1, &wait, nullptr);
        now = monotonicUs();
        if (ready > 0) {
            const ssize_t n = ::read(port.descriptor(), buffer, sizeof buffer);
            if (n > 0)
                cutter.feed(buffer, int(n), now);
            else if (n == 0 || (errno != EAGAIN && errno != EINTR))
                lineClosed = true;
        }
        pass(now);
    }
    cutter.flush();
    pass(monotonicUs());
    if (lineClosed)
        host::printError(QStringLiteral("%1 closed").arg(settings.portField));
    printer.printSummary();
    return host::ExitOk;
}

} // namespace vane::monitor
