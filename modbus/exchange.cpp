#include "exchange.h"

#include <algorithm>

namespace vane::modbus {

QByteArray exchangeFrame(QIODevice& device, const QByteArray& request, QByteArray& received,
                         const AnswerSizer& sizer, const ExchangeTiming& timing)
{
    // Whatever is pending now answered an earlier request that gave up on it.
    device.readAll();
    received.clear();

    device.write(request);
    device.waitForBytesWritten(timing.writeTimeoutMs);

    QElapsedTimer clock;
    clock.start();
    qint64 deadline = timing.firstByteTimeoutMs;
    bool begun = false;
    for (;;) {
        // A device keeps what arrived while the request was being written: look before waiting.
        received += device.readAll();
        if (!begun && !received.isEmpty()) {
            begun = true;
            deadline = clock.elapsed() + timing.collectLimitMs;
        }
        if (begun) {
            const int size = sizer(received);
            if (size > 0 && received.size() >= size)
                break;
        }
        const qint64 remaining = deadline - clock.elapsed();
        if (remaining <= 0)
            break;
        const bool gapEnds = begun && timing.frameGapMs > 0;
        const int wait = static_cast<int>(gapEnds ? std::min<qint64>(remaining, timing.frameGapMs) : remaining);

        const int before = received.size();
        QElapsedTimer waited;
        waited.start();
        const bool ready = device.waitForReadyRead(wait);
        received += device.readAll();
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
