#include "exchange.h"

#include <QAbstractSocket>
#include <QElapsedTimer>
#include <QSerialPort>

#include <poll.h>

#include <algorithm>

namespace vane::modbus {

namespace {

// The system descriptor below a socket or serial port; -1 for other devices.
int descriptorOf(QIODevice& device)
{
    if (auto* socket = qobject_cast<QAbstractSocket*>(&device))
        return static_cast<int>(socket->socketDescriptor());
    if (auto* port = qobject_cast<QSerialPort*>(&device))
        return port->isOpen() ? port->handle() : -1;
    return -1;
}

// True when the system holds input (or an end of stream) for the descriptor right now.
bool inputWaiting(int descriptor)
{
    if (descriptor < 0)
        return false;
    pollfd entry{descriptor, POLLIN, 0};
    return ::poll(&entry, 1, 0) > 0 && (entry.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

// What the device holds; nothing once it is closed (a socket whose peer has gone).
QByteArray takeAll(QIODevice& device) { return device.isOpen() ? device.readAll() : QByteArray(); }

// A late answer still trickling in cannot hold the next request up for long.
constexpr int kMaxStaleReads = 64;

} // namespace

qint64 discardStaleInput(QIODevice& device, QByteArray& received)
{
    qint64 dropped = received.size();
    for (int reads = 0; reads < kMaxStaleReads && inputWaiting(descriptorOf(device)); ++reads) {
        dropped += takeAll(device).size();
        // Returns at once: the descriptor is readable. Lets the device take in what is waiting,
        // or notice that its peer has gone.
        if (!device.waitForReadyRead(0))
            break;
    }
    dropped += takeAll(device).size();
    received.clear();
    return dropped;
}

void appendReceived(QByteArray& received, const QByteArray& bytes)
{
    constexpr int kReceiveLimit = 4096;
    received.append(bytes);
    if (received.size() > kReceiveLimit)
        received.remove(0, received.size() - kReceiveLimit);
}

QByteArray exchangeFrame(QIODevice& device, const QByteArray& request, QByteArray& received,
                         const AnswerSizer& sizer, const ExchangeTiming& timing)
{
    // Whatever is pending now answered an earlier request that gave up on it.
    discardStaleInput(device, received);

    device.write(request);
    device.waitForBytesWritten(timing.writeTimeoutMs);

    QElapsedTimer clock;
    clock.start();
    const auto capped = [&](qint64 deadline) {
        return timing.answerLimitMs > 0 ? std::min<qint64>(deadline, timing.answerLimitMs) : deadline;
    };
    qint64 deadline = capped(timing.firstByteTimeoutMs);
    bool begun = false;
    for (;;) {
        // A device keeps what arrived while the request was being written: look before waiting.
        received += takeAll(device);
        if (!begun && !received.isEmpty()) {
            begun = true;
            deadline = capped(clock.elapsed() + timing.collectLimitMs);
        }
        const int size = begun ? sizer(received) : 0;
        if (size > 0 && received.size() >= size)
            break;
        const qint64 remaining = deadline - clock.elapsed();
        if (remaining <= 0)
            break;
        // An answer of known size keeps being collected across pauses (split segments, USB
        // adapters); only one whose size cannot be told ends at a frame gap.
        const bool gapEnds = begun && size == 0 && timing.frameGapMs > 0;
        const int wait = static_cast<int>(gapEnds ? std::min<qint64>(remaining, timing.frameGapMs) : remaining);

        const int before = received.size();
        QElapsedTimer waited;
        waited.start();
        const bool ready = device.waitForReadyRead(wait);
        received += takeAll(device);
        if (received.size() > before)
            continue;
        if (gapEnds)
            break; // the line stayed quiet for a frame gap: the answer is over
        // A wait that fails early without data means the device failed (peer gone, port closed).
        if (!ready && waited.elapsed() + 1 < wait)
            break;
    }
    const QByteArray answer = received;
    received.clear();
    return answer;
}

} // namespace vane::modbus
