#include "serial_transport.h"

#include <QDebug>
#include <QThread>

namespace vane::modbus {

namespace {

// The longest frame on a line (RTU: 256 bytes; Modbus TCP frames over a serial line: 260); a line
// is given its wire time to fall quiet, and an answer of unknown size its wire time to arrive.
constexpr int kLongestFrameBytes = 260;
// Room for scheduling and for USB adapters, which hand a long answer over in pieces with pauses.
constexpr int kQuietLineSlackMs = 50;

int ceilMs(qint64 us) { return static_cast<int>((us + 999) / 1000); }

// An echo is the request's own bytes: it can tell its size from the request alone.
int echoSize(const QByteArray&, int, int requestSize) { return requestSize; }

} // namespace

SerialTransport::SerialTransport(QObject* owner) : serial(new QSerialPort(owner)), timer(new QTimer(owner))
{
    timer->setSingleShot(false);
    // The line's times follow the port's settings.
    const auto settingsChanged = [this] { times.reset(); };
    QObject::connect(serial, &QSerialPort::baudRateChanged, serial, settingsChanged);
    QObject::connect(serial, &QSerialPort::dataBitsChanged, serial, settingsChanged);
    QObject::connect(serial, &QSerialPort::parityChanged, serial, settingsChanged);
    QObject::connect(serial, &QSerialPort::stopBitsChanged, serial, settingsChanged);
}

const LineTimes& SerialTransport::lineTimes()
{
    if (!times)
        times.emplace(*serial);
    return *times;
}

SerialTransport::~SerialTransport()
{
    QObject::disconnect(serial, nullptr, nullptr, nullptr);
    QObject::disconnect(timer, nullptr, nullptr, nullptr);
    leaveLine();
    delete timer;
    delete serial;
}

bool SerialTransport::attach(const QString& portName, Opening how, bool openNow, bool echo, const Rs485Mode& rs485,
                             bool settingsRequired, QString* warning)
{
    leaveLine();
    SharedLine::Setup setup;
    setup.settings = LineSettings::of(*serial);
    setup.echo = echo;
    setup.rs485 = rs485;
    setup.settingsRequired = settingsRequired;
    // A bare name is a device of the system's, as the port objects take it.
    const QString path = portName.contains(QLatin1Char('/')) ? portName : QStringLiteral("/dev/") + portName;
    SharedLine* joined = SharedLine::join(path, setup);
    if (!joined) {
        *warning = QStringLiteral("in use by another driver with other settings; the first driver's stay");
        return false;
    }
    line = joined;
    opening = how;
    lastWarning.clear();
    if (!openNow)
        return true;
    kept = line->keepOpen(warning);
    if (!kept)
        leaveLine();
    return kept;
}

void SerialTransport::leaveKeptOpen()
{
    if (kept)
        line->releaseKept();
    kept = false;
}

void SerialTransport::leaveLine()
{
    timer->stop();
    leaveKeptOpen();
    SharedLine::leave(line);
    line = nullptr;
}

void SerialTransport::close()
{
    timer->stop();
    leaveKeptOpen();
    if (opening == Opening::Kept) {
        SharedLine::leave(line);
        line = nullptr;
    }
}

void SerialTransport::warnOnce(const QString& reason)
{
    if (reason.isEmpty() || reason == lastWarning)
        return;
    lastWarning = reason;
    qWarning().noquote() << (line ? line->path : serial->portName()) + QStringLiteral(": ") + reason;
}

bool SerialTransport::writeOnQuietLine(int fd, const QByteArray& request, int writeTimeoutMs, const LineTimes& times)
{
    const int longestFrameMs = ceilMs(times.wireUs(kLongestFrameBytes));
    line->discipline.awaitQuietLine(fd, times.silenceUs, longestFrameMs + kQuietLineSlackMs);
    DescriptorState state;
    state.socket = false;
    return writeAll(fd, request, writeTimeoutMs, state);
}

SerialTransport::Echo SerialTransport::takeEcho(int fd, const QByteArray& request, const AnswerTiming& timing,
                                                QByteArray& answer)
{
    QElapsedTimer clock;
    clock.start();
    AnswerShape shape;
    shape.size = echoSize;
    shape.expectedSize = request.size();
    DescriptorState state;
    state.socket = false;
    collectAnswer(fd, answer, shape, timing, clock, state);
    if (answer.isEmpty())
        return Echo::None;
    if (answer.startsWith(request)) {
        answer.remove(0, request.size()); // what follows it is the answer's beginning
        return Echo::Heard;
    }
    warnOnce(QStringLiteral("the echo differs from the request: another sender on the line"));
    return Echo::Collided;
}

bool SerialTransport::exchange(const QByteArray& request, const AnswerShape& shape, const AnswerTiming& timing,
                               QByteArray& answer)
{
    emptyKeepingRoom(answer);
    incoming.clear();
    collision = false;
    if (!onLine())
        return false;
    const LineTimes& times = lineTimes();
    const int requestMs = ceilMs(times.wireUs(request.size()));
    const int expectedBytes = shape.expectedSize > 0 ? shape.expectedSize : kLongestFrameBytes;
    const int answerMs = ceilMs(times.wireUs(expectedBytes));
    // The line is waited for as long as this exchange could last on it.
    QString warning;
    const LineTurn turn(*line, timing.writeTimeoutMs + requestMs + timing.firstByteMs + timing.collectMs + answerMs,
                        &warning);
    if (!turn) {
        warnOnce(warning);
        return false;
    }
    const int fd = line->descriptor();
    if (kept && opening == Opening::PerExchange)
        leaveKeptOpen(); // opened by a connect; per exchange from now on, so closed after this one
    const FineTimerSlack fineSlack;
    writeOnQuietLine(fd, request, timing.writeTimeoutMs, times);
    QElapsedTimer clock;
    clock.start();

    // The answer cannot begin before the request has reached the device, and takes its own wire time.
    AnswerTiming onLine = timing;
    onLine.firstByteMs += requestMs;
    onLine.collectMs += answerMs;
    onLine.quietEndUs = times.frameGapUs;
    DescriptorState state;
    state.socket = false;
    if (line->setup.echo) {
        AnswerTiming echoTiming = onLine;
        echoTiming.collectMs = requestMs + kQuietLineSlackMs;
        echoTiming.quietEndUs = 0;
        const Echo echo = takeEcho(fd, request, echoTiming, answer);
        if (echo != Echo::Heard) {
            // Without its echo the request never reached the line's other end intact.
            collision = echo == Echo::Collided;
            line->discipline.byteSeen();
            return true;
        }
        clock.restart(); // the answer follows the echo
        onLine.firstByteMs = timing.firstByteMs;
    }
    collectAnswer(fd, answer, shape, onLine, clock, state);
    if (answer.isEmpty()) {
        // The request occupied the line for its wire time after the system took it.
        line->discipline.lineBusyUntil(times.wireUs(request.size()) - clock.nsecsElapsed() / 1000);
    } else {
        lastWarning.clear();
        line->discipline.byteSeen();
        // The frame is over once the line has been quiet for t3.5. Bytes right behind it (a late
        // answer to an earlier request and this one's, back to back) make it no answer of its own:
        // they stay with it, so that its checks fail, instead of lying on the line for the next.
        if (collectTrailing(fd, answer, times.silenceUs, kLongestFrameBytes, state) > 0)
            line->discipline.byteSeen();
        else
            line->discipline.quietSeen(times.silenceUs);
    }
    return true;
}

bool SerialTransport::send(const QByteArray& request, int writeTimeoutMs)
{
    if (!onLine())
        return false;
    const LineTimes& times = lineTimes();
    QString warning;
    const LineTurn turn(*line, writeTimeoutMs + ceilMs(times.wireUs(kLongestFrameBytes)) + kQuietLineSlackMs,
                        &warning);
    if (!turn) {
        warnOnce(warning);
        return false;
    }
    const int fd = line->descriptor();
    const FineTimerSlack fineSlack;
    const bool written = writeOnQuietLine(fd, request, writeTimeoutMs, times);
    // The port takes the bytes at once; the frame is on the wire after its wire time.
    QThread::usleep(static_cast<unsigned long>(times.wireUs(request.size())));
    if (line->setup.echo) {
        // Nobody answers a broadcast; its echo goes with it.
        QByteArray echo;
        DescriptorState state;
        state.socket = false;
        collectTrailing(fd, echo, std::max(times.silenceUs, times.frameGapUs), kLongestFrameBytes, state);
    }
    line->discipline.byteSeen();
    line->discipline.holdNextRequest(static_cast<qint64>(kBroadcastTurnaroundMs) * 1000);
    return written;
}

void SerialTransport::restartFrameTimer()
{
    timer->stop();
    timer->start(ceilMs(lineTimes().frameGapUs));
}

// Nothing reads the line between exchanges: the next exchange drops what lies on it.
void SerialTransport::takeIncoming() { timer->stop(); }

} // namespace vane::modbus
