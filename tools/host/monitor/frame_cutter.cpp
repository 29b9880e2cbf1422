#include "frame_cutter.h"

#include "frame_decoder.h"

#include <algorithm>
#include <utility>

namespace vane::monitor {

void FrameCutter::feed(const char* bytes, int size, qint64 atUs)
{
    if (size <= 0)
        return;
    idle(atUs);
    for (int i = 0; i < size; ++i) {
        pending.append(bytes[i]);
        arrivals.append(atUs);
        cutByLength();
    }
    lastByteUs = atUs;
}

void FrameCutter::idle(qint64 nowUs)
{
    if (!pending.isEmpty() && nowUs - lastByteUs >= silenceUs)
        flush();
}

void FrameCutter::flush()
{
    if (!pending.isEmpty())
        cut(pending.size(), false);
}

std::vector<CutFrame> FrameCutter::take()
{
    std::vector<CutFrame> frames;
    frames.swap(ready);
    return frames;
}

namespace {

bool wholeFrame(const char* bytes, int size)
{
    for (const Direction direction : {Direction::Request, Direction::Answer}) {
        if (expectedLength(bytes, size, direction) == size
            && crcGood(QByteArray::fromRawData(bytes, size)))
            return true;
    }
    return false;
}

// The bytes so far may still become a frame of their function's length.
bool mayGrowIntoFrame(const char* bytes, int size)
{
    for (const Direction direction : {Direction::Request, Direction::Answer}) {
        const int length = expectedLength(bytes, size, direction);
        if (length == 0 || length > size)
            return true;
    }
    return false;
}

} // namespace

// Called after each byte: the bytes so far are a whole frame when they have a request's or an
// answer's length for their function and the CRC at that length is good. Bytes in front that can
// no longer become a frame (the rest of a broken one, with no silence after it) are cut off as
// soon as a whole frame stands behind them.
void FrameCutter::cutByLength()
{
    const int size = pending.size();
    if (size > kMaxFrameBytes) {
        cut(kMaxFrameBytes, true);
        return;
    }
    if (size < kMinFrameBytes)
        return;
    const char* bytes = pending.constData();
    if (wholeFrame(bytes, size)) {
        cut(size, false);
        return;
    }
    if (mayGrowIntoFrame(bytes, size))
        return;
    for (int front = 1; front <= size - kMinFrameBytes; ++front) {
        if (wholeFrame(bytes + front, size - front)) {
            cut(front, false);
            cut(size - front, false);
            return;
        }
    }
}

void FrameCutter::cut(int size, bool overlong)
{
    CutFrame frame;
    frame.bytes = pending.left(size);
    frame.startUs = arrivals.at(0);
    frame.endUs = arrivals.at(size - 1);
    frame.overlong = overlong;
    ready.push_back(std::move(frame));
    pending.remove(0, size);
    arrivals.remove(0, size);
}

} // namespace vane::monitor
