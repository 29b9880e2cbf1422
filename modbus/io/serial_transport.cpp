#include "serial_transport.h"

#include <QThread>

namespace vane::modbus {

namespace {

// The longest frame on a line (RTU: 256 bytes; Modbus TCP frames over a serial line: 260); a line
// is given its wire time to fall quiet, and an answer of unknown size its wire time to arrive.
constexpr int kLongestFrameBytes = 260;
// Room for scheduling and for USB adapters, which hand a long answer over in pieces with pauses.
constexpr int kQuietLineSlackMs = 50;

int ceilMs(qint64 us) { return static_cast<int>((us + 999) / 1000); }

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
    close();
    delete timer;
    delete serial;
}

void SerialTransport::close()
{
    timer->stop();
    if (!serial->isOpen())
        return;
    serial->clear(QSerialPort::AllDirections);
    serial->close();
}

void SerialTransport::dropBuffered()
{
    incoming.clear();
    // What the port took in between exchanges answered nobody now asking.
    if (serial->isOpen() && serial->bytesAvailable() > 0) {
        serial->readAll();
        line.byteSeen();
    }
}

bool SerialTransport::readyForRequest()
{
    if (opening == Opening::PerExchange && !serial->isOpen())
        serial->open(QIODevice::ReadWrite);
    if (!serial->isOpen())
        return false;
    timer->stop();
    return true;
}

bool SerialTransport::writeOnQuietLine(const QByteArray& request, int writeTimeoutMs, const LineTimes& times)
{
    dropBuffered();
    const int longestFrameMs = ceilMs(times.wireUs(kLongestFrameBytes));
    line.awaitQuietLine(serial->handle(), times.silenceUs, longestFrameMs + kQuietLineSlackMs);
    DescriptorState state;
    state.socket = false;
    return writeAll(serial->handle(), request, writeTimeoutMs, state);
}

bool SerialTransport::exchange(const QByteArray& request, const AnswerShape& shape, const AnswerTiming& timing,
                               QByteArray& answer)
{
    emptyKeepingRoom(answer);
    if (!readyForRequest())
        return false;
    const FineTimerSlack fineSlack;
    const LineTimes& times = lineTimes();
    QElapsedTimer clock;
    writeOnQuietLine(request, timing.writeTimeoutMs, times);
    clock.start();

    // The answer cannot begin before the request has reached the device, and takes its own wire time.
    const int expectedBytes = shape.expectedSize > 0 ? shape.expectedSize : kLongestFrameBytes;
    AnswerTiming onLine = timing;
    onLine.firstByteMs += ceilMs(times.wireUs(request.size()));
    onLine.collectMs += ceilMs(times.wireUs(expectedBytes));
    onLine.quietEndUs = times.frameGapUs;
    DescriptorState state;
    state.socket = false;
    collectAnswer(serial->handle(), answer, shape, onLine, clock, state);
    if (answer.isEmpty()) {
        // The request occupied the line for its wire time after the system took it.
        line.lineBusyUntil(times.wireUs(request.size()) - clock.nsecsElapsed() / 1000);
    } else {
        line.byteSeen();
        // The frame is over once the line has been quiet for t3.5. Bytes right behind it (a late
        // answer to an earlier request and this one's, back to back) make it no answer of its own:
        // they stay with it, so that its checks fail, instead of lying on the line for the next.
        if (collectTrailing(serial->handle(), answer, times.silenceUs, kLongestFrameBytes, state) > 0)
            line.byteSeen();
        else
            line.quietSeen(times.silenceUs);
    }
    // The frame timer may have been started by bytes of this answer: nothing is left for it.
    timer->stop();
    return true;
}

bool SerialTransport::send(const QByteArray& request, int writeTimeoutMs)
{
    if (!readyForRequest())
        return false;
    const FineTimerSlack fineSlack;
    const LineTimes& times = lineTimes();
    const bool written = writeOnQuietLine(request, writeTimeoutMs, times);
    // The port takes the bytes at once; the frame is on the wire after its wire time.
    QThread::usleep(static_cast<unsigned long>(times.wireUs(request.size())));
    line.byteSeen();
    line.holdNextRequest(static_cast<qint64>(kBroadcastTurnaroundMs) * 1000);
    return written;
}

void SerialTransport::restartFrameTimer()
{
    timer->stop();
    timer->start(ceilMs(lineTimes().frameGapUs));
}

void SerialTransport::takeIncoming()
{
    timer->stop();
    if (serial->isOpen()) {
        appendReceived(incoming, serial->readAll());
        line.byteSeen();
    }
}

} // namespace vane::modbus
