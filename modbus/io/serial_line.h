#pragma once

#include <QElapsedTimer>
#include <QString>

class QSerialPort;

namespace vane::modbus {

// Line settings of a serial connect: baud rates 1200 to 115200, data bits 5 to 8, stop bits
// 1 (one), 2 (two), 3 (one and a half); parity by the letters N, E, O found in the text, tested in
// that order without regard to case. Values outside these leave the port's setting as it was.
// Returns true when the baud rate was one of the known rates.
bool applyLineSettings(QSerialPort& port, int baudRate, int dataBits, int stopBits, const QString& parity);

// Wire time of one character (start bit, data bits, parity bit, stop bits) at the port's settings, in microseconds.
int characterTimeUs(const QSerialPort& port);

// Wire time of `bytes` characters, in microseconds.
qint64 wireTimeUs(const QSerialPort& port, int bytes);

// The Modbus inter-frame silence t3.5: 3.5 character times, fixed at 1.75 ms above 19200 baud.
int silenceUs(const QSerialPort& port);

// The quiet spell that ends a frame whose size cannot be told: t3.5, and never under 2 ms, as
// the system's timers and USB adapters cannot tell shorter pauses apart reliably.
int frameGapUs(const QSerialPort& port);

// The times above at the port's present settings, read off the port once.
struct LineTimes {
    int characterUs = 0;
    int silenceUs = 0;
    int frameGapUs = 0;

    explicit LineTimes(const QSerialPort& port);
    qint64 wireUs(int bytes) const { return static_cast<qint64>(characterUs) * bytes; }
};

// The system may end a wait up to its timer slack (50 us by default) late, a sizeable share of a
// 1.75 ms silence. While a serial exchange waits on its line, the calling thread's slack is kept
// small; its own setting comes back afterwards.
class FineTimerSlack {
public:
    FineTimerSlack();
    ~FineTimerSlack();
    FineTimerSlack(const FineTimerSlack&) = delete;
    FineTimerSlack& operator=(const FineTimerSlack&) = delete;

private:
    static constexpr long kFineSlackNs = 1000;
    const long saved;
};

// Keeps a serial line's requests apart from everything else on it: a request is written only
// after the line has been quiet for t3.5 (and after any turnaround delay a broadcast asked for).
class LineDiscipline {
public:
    // The line carried its last byte now (an answer's, or the request's as it leaves).
    void lineBusyUntil(qint64 usFromNow);
    void byteSeen() { lineBusyUntil(0); }
    // The next request waits this long after the line's last byte (turnaround after a broadcast).
    void holdNextRequest(qint64 usAfterLastByte) { holdUs = usAfterLastByte; }
    // The line has been seen quiet for `silenceUs` since its last byte.
    void quietSeen(int silenceUs) { seenQuietUs = silenceUs; }

    // Drops what arrives until the line has been quiet long enough, then returns; a line that
    // never falls quiet is given up on after `boundMs`. `fd` is the port's descriptor.
    void awaitQuietLine(int fd, int silenceUs, int boundMs);

private:
    QElapsedTimer clock;
    qint64 lastByteUs = -(qint64(1) << 40); // long ago: a first request does not wait
    qint64 holdUs = 0;
    int seenQuietUs = 0; // silence seen since the last byte, 0 when none was

    qint64 nowUs() const { return clock.nsecsElapsed() / 1000; }
};

} // namespace vane::modbus
