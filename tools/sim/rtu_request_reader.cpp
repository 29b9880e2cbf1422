#include "tools/sim/rtu_request_reader.h"

#include "tools/sim/rtu_crc.h"

#include <poll.h>
#include <unistd.h>

namespace vanesim {

namespace {

constexpr size_t kMaxFrame = 256;
// Silence that ends a damaged frame: short, so that a request right behind it is not lost.
constexpr int kDamagedQuietMs = 50;

// The request's whole size from what has come so far; 0 while more bytes are needed to tell.
size_t requestSize(const std::vector<uint8_t> &frame)
{
    if (frame.size() < 2)
        return 0;
    switch (frame[1]) {
    case 1: case 2: case 3: case 4: case 5: case 6: case 8:
        return 8; // address, function, two words, CRC
    case 15: case 16:
        return frame.size() < 7 ? 0 : 7 + size_t(frame[6]) + 2;
    case 22:
        return 10;
    case 23:
        return frame.size() < 11 ? 0 : 11 + size_t(frame[10]) + 2;
    default:
        return 4; // address, function, CRC: what libmodbus expects of any other function
    }
}

enum class Wait { Byte, Quiet, Stopped };

// Reads what is waiting, once `fd` has something within `timeoutMs`; at most `room` bytes.
Wait readSome(int fd, int stopFd, int timeoutMs, size_t room, std::vector<uint8_t> *frame)
{
    pollfd fds[2] = {{stopFd, POLLIN, 0}, {fd, POLLIN, 0}};
    if (poll(fds, 2, timeoutMs) <= 0)
        return Wait::Quiet;
    if (fds[0].revents & POLLIN)
        return Wait::Stopped;
    uint8_t bytes[kMaxFrame];
    const ssize_t n = read(fd, bytes, room < sizeof bytes ? room : sizeof bytes);
    if (n <= 0)
        return Wait::Quiet;
    frame->insert(frame->end(), bytes, bytes + n);
    return Wait::Byte;
}

} // namespace

RtuRequest readRtuRequest(int fd, int stopFd, int byteTimeoutMs, std::vector<uint8_t> *frame)
{
    frame->clear();
    for (;;) {
        const size_t size = requestSize(*frame);
        if (size > kMaxFrame)
            break;
        if (size > 0 && frame->size() >= size) {
            const uint16_t crc = rtuCrc(frame->data(), size - 2);
            if (frame->size() == size && (*frame)[size - 2] == (crc & 0xFF) && (*frame)[size - 1] == (crc >> 8))
                return RtuRequest::Whole;
            break;
        }
        // Never past the frame's end: the next request may follow at once.
        const size_t room = size > 0 ? size - frame->size() : (frame->size() < 2 ? 2 - frame->size() : 1);
        const Wait wait = readSome(fd, stopFd, frame->empty() ? 0 : byteTimeoutMs, room, frame);
        if (wait == Wait::Stopped)
            return RtuRequest::Stopped;
        if (wait == Wait::Quiet)
            return RtuRequest::Damaged;
    }
    // Damaged: the rest of it, until the line falls quiet.
    while (frame->size() < 4 * kMaxFrame) {
        const Wait wait = readSome(fd, stopFd, kDamagedQuietMs, kMaxFrame, frame);
        if (wait == Wait::Stopped)
            return RtuRequest::Stopped;
        if (wait == Wait::Quiet)
            break;
    }
    return RtuRequest::Damaged;
}

} // namespace vanesim
