#include "tests/support/request_framer.h"

#include <algorithm>
#include <cstdint>

namespace vanetest {

namespace {

constexpr int kMbapHeaderSize = 6; // bytes up to and including the length field

int byteAt(const QByteArray &bytes, int i)
{
    return uint8_t(bytes.at(i));
}

} // namespace

void RequestFramer::append(const char *data, int size, int64_t nowMs)
{
    buffer_.append(data, size);
    lastByteMs_ = nowMs;
}

int RequestFramer::expectedSize() const
{
    if (framing_ == Framing::Mbap) {
        if (buffer_.size() < kMbapHeaderSize)
            return 0;
        return kMbapHeaderSize + (byteAt(buffer_, 4) << 8) + byteAt(buffer_, 5);
    }
    if (buffer_.size() < 2)
        return 0;
    switch (byteAt(buffer_, 1)) {
    case 1: case 2: case 3: case 4: case 5: case 6:
        return 8;
    case 15: case 16:
        return buffer_.size() < 7 ? 0 : 9 + byteAt(buffer_, 6);
    default:
        return -1;
    }
}

int RequestFramer::silenceNeededMs(int idleGapMs) const
{
    return expectedSize() < 0 ? idleGapMs : std::max(idleGapMs, kIncompleteTimeoutMs);
}

bool RequestFramer::takeFrame(QByteArray *frame, int64_t nowMs, int idleGapMs)
{
    if (buffer_.isEmpty())
        return false;
    const int size = expectedSize();
    if (size > 0 && buffer_.size() >= size) {
        *frame = buffer_.left(size);
        buffer_.remove(0, size);
        return true;
    }
    if (nowMs - lastByteMs_ >= silenceNeededMs(idleGapMs)) {
        *frame = buffer_;
        buffer_.clear();
        return true;
    }
    return false;
}

int64_t RequestFramer::deadlineMs(int idleGapMs) const
{
    return buffer_.isEmpty() ? INT64_MAX : lastByteMs_ + silenceNeededMs(idleGapMs);
}

} // namespace vanetest
