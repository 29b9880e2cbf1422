#pragma once

// Cuts the bytes heard on an RTU line into frames: at every silence of t3.5 or more, and, where
// the line shows no silence (a pty, a USB adapter that delivers in batches), as soon as the bytes
// so far form a whole request or answer of their function with a good CRC. A frame never grows
// past the largest RTU frame: what does is cut there and marked overlong.

#include <QByteArray>
#include <QVector>

#include <vector>

namespace vane::monitor {

struct CutFrame {
    QByteArray bytes;
    qint64 startUs = 0; // arrival of its first byte
    qint64 endUs = 0;   // arrival of its last byte
    bool overlong = false;
};

class FrameCutter {
public:
    explicit FrameCutter(int silenceUs) : silenceUs(silenceUs) {}

    // Bytes that arrived at `atUs` (microseconds on a monotonic clock).
    void feed(const char* bytes, int size, qint64 atUs);
    // Time has come to `nowUs` without bytes: a silence long enough ends the frame in progress.
    void idle(qint64 nowUs);
    // Ends the frame in progress whatever the silence (the line is closed).
    void flush();
    // When the frame in progress ends unless more bytes come; -1 when there is none.
    qint64 deadlineUs() const { return pending.isEmpty() ? -1 : lastByteUs + silenceUs; }

    // The frames cut so far, oldest first; they are handed over once.
    std::vector<CutFrame> take();

private:
    void cutByLength();
    void cut(int size, bool overlong);

    const int silenceUs;
    QByteArray pending;
    QVector<qint64> arrivals; // per byte of `pending`
    qint64 lastByteUs = 0;
    std::vector<CutFrame> ready;
};

} // namespace vane::monitor
