#include "exchange.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

namespace vane::modbus {

namespace {

constexpr int kReadChunk = 512;

constexpr int kLeastRoom = 64;

// The free room at the end of `array`, made part of it: where the next bytes go. An array with
// less room than that gets a chunk more. Kept out of line, where the compiler cannot mistake the
// array's storage for the shared empty one.
[[gnu::noinline]] char* openRoom(QByteArray& array, int* room)
{
    const int before = array.size();
    if (array.capacity() - before < kLeastRoom)
        array.reserve(before + kReadChunk); // reserved: emptying the array keeps it
    *room = array.capacity() - before;
    array.resize(before + *room);
    return array.data() + before;
}

} // namespace

qint64 readWaiting(int fd, QByteArray* into, DescriptorState& state)
{
    qint64 total = 0;
    char discard[kReadChunk];
    for (;;) {
        // Straight into the answer's own buffer. A read that fills the room may have left more.
        const int before = into ? into->size() : 0;
        int room = kReadChunk;
        char* const target = into ? openRoom(*into, &room) : discard; // sets the room first
        const ssize_t got = ::read(fd, target, static_cast<size_t>(room));
        const int readError = errno;
        if (into)
            into->resize(before + static_cast<int>(std::max<ssize_t>(got, 0)));
        if (got > 0) {
            total += got;
            if (got < room)
                return total;
            continue;
        }
        if (got < 0 && readError == EINTR)
            continue;
        if (got == 0 ? state.socket : readError != EAGAIN && readError != EWOULDBLOCK)
            state.endOfStream = true;
        return total;
    }
}

bool waitReadable(int fd, qint64 timeoutUs)
{
    pollfd entry{fd, POLLIN, 0};
    const qint64 us = std::max<qint64>(timeoutUs, 0);
    const timespec limit{static_cast<time_t>(us / 1000000), static_cast<long>(us % 1000000) * 1000};
    int ready;
    do
        ready = ::ppoll(&entry, 1, &limit, nullptr);
    while (ready < 0 && errno == EINTR);
    return ready > 0;
}

bool writeAll(int fd, const QByteArray& bytes, int timeoutMs, DescriptorState& state)
{
    QElapsedTimer clock;
    int done = 0;
    while (done < bytes.size()) {
        const char* from = bytes.constData() + done;
        const auto count = static_cast<size_t>(bytes.size() - done);
        // A peer that has gone raises SIGPIPE on a plain write, which would end the host.
        const ssize_t put = state.socket ? ::send(fd, from, count, MSG_NOSIGNAL) : ::write(fd, from, count);
        if (put > 0) {
            done += static_cast<int>(put);
            continue;
        }
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            state.endOfStream = true;
            return false;
        }
        // No room: wait for some, within the write limit.
        if (!clock.isValid())
            clock.start();
        const qint64 left = timeoutMs - clock.elapsed();
        pollfd entry{fd, POLLOUT, 0};
        if (left <= 0 || ::poll(&entry, 1, static_cast<int>(left)) <= 0)
            return false;
    }
    return true;
}

void collectAnswer(int fd, QByteArray& answer, const AnswerShape& shape, const AnswerTiming& timing,
                   const QElapsedTimer& clock, DescriptorState& state)
{
    const auto capped = [&](qint64 deadlineMs) {
        return timing.answerLimitMs > 0 ? std::min<qint64>(deadlineMs, timing.answerLimitMs) : deadlineMs;
    };
    const qint64 firstByteDeadlineMs = capped(timing.firstByteMs);
    bool begun = !answer.isEmpty();
    qint64 deadlineMs = begun ? capped(clock.elapsed() + timing.collectMs) : firstByteDeadlineMs;
    bool collectingFromNow = false; // the collection limit counts from the first bytes
    QByteArray foreign; // the last frame that answered another request
    for (;;) {
        while (shape.foreign && !answer.isEmpty()) {
            const int stale = shape.foreign(answer, *shape.request);
            if (stale <= 0)
                break;
            foreign = answer.left(stale);
            answer.remove(0, stale);
        }
        if (begun && answer.isEmpty()) {
            begun = false; // waiting for our own answer again
            collectingFromNow = false;
            deadlineMs = std::max<qint64>(firstByteDeadlineMs, clock.elapsed());
        }
        const int size = begun ? shape.of(answer) : 0;
        if (size > 0 && answer.size() >= size)
            break;
        if (state.endOfStream)
            break;
        const qint64 nowUs = clock.nsecsElapsed() / 1000;
        if (collectingFromNow) {
            deadlineMs = capped(nowUs / 1000 + timing.collectMs);
            collectingFromNow = false;
        }
        const qint64 remainingUs = deadlineMs * 1000 - nowUs;
        if (remainingUs <= 0)
            break;
        // An answer of known size keeps being collected across pauses (split segments, USB
        // adapters); only one whose size cannot be told ends at a quiet spell.
        const bool quietEnds = begun && size == 0 && timing.quietEndUs > 0;
        const qint64 waitUs = quietEnds ? std::min<qint64>(remainingUs, timing.quietEndUs) : remainingUs;
        if (!waitReadable(fd, waitUs)) {
            if (quietEnds)
                break; // the line stayed quiet: the answer is over
            continue;
        }
        if (readWaiting(fd, &answer, state) > 0 && !begun) {
            begun = true;
            collectingFromNow = true;
        }
    }
    if (answer.isEmpty() && !foreign.isEmpty())
        answer = foreign;
}

int collectTrailing(int fd, QByteArray& answer, int silenceUs, int limit, DescriptorState& state)
{
    const int before = answer.size();
    while (answer.size() - before < limit && !state.endOfStream && waitReadable(fd, silenceUs)) {
        if (readWaiting(fd, &answer, state) == 0 && !state.endOfStream)
            break;
    }
    return answer.size() - before;
}

void appendReceived(QByteArray& received, const QByteArray& bytes)
{
    constexpr int kReceiveLimit = 4096;
    received.append(bytes);
    if (received.size() > kReceiveLimit)
        received.remove(0, received.size() - kReceiveLimit);
}

} // namespace vane::modbus
