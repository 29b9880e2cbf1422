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

// Called after each byte: the bytes so far are a whole frame when they have a request's or an
// answer's length for their function and the CRC at that length is good.
void FrameCutter::cutByLength()
{
    const int size = pending.size();
    if (size > kMaxFrameBytes) {
        cut(kMaxFrameBytes, true);
        return;
    }
    if (size < kMinFrameBytes)
        return;
    for (const Direction direction : {Direction::Request, Direction::Answer}) {
        if (expectedLength(pending.constData(), size, direction) == size && crcGood(pending)) {
            cut(size, false);
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
