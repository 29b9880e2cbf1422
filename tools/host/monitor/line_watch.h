#pragma once

// Makes sense of the frames on a line: which is a request and which an answer, which answer
// belongs to which request, and what does not fit a single master's exchanges: requests left
// without an answer, answers nobody asked for, echoes of a request, broadcasts.

#include "frame_cutter.h"
#include "frame_decoder.h"

#include <optional>

namespace vane::monitor {

struct FrameRecord {
    CutFrame frame;
    FrameKind kind = FrameKind::Noise;
    int station = -1;           // -1: noise
    int function = -1;          // the function code, the exception bit cleared
    bool crcOk = false;
    double gapMs = -1;          // silence before it since the previous frame's last byte; -1 for the first
    double responseMs = -1;     // an answer or exception paired with its request: from the request's last byte to its own
    bool fitsRequest = true;    // a paired answer carries what its request asked for
    bool echo = false;          // an exact copy of the request in front of it
    bool broadcast = false;     // a request to station 0
    bool unsolicited = false;   // an answer without a request waiting for it
};

enum class EventKind { NoAnswer, Unsolicited, Echo, Broadcast };

struct LineEvent {
    EventKind kind = EventKind::NoAnswer;
    int station = 0;
    int function = 0;
    qint64 atUs = 0;
    double waitedMs = -1; // no answer: how long the request waited
};

class WatchSink {
public:
    virtual ~WatchSink() = default;
    virtual void frameSeen(const FrameRecord& record) = 0;
    virtual void eventSeen(const LineEvent& event) = 0;
};

class LineWatch {
public:
    // An adapter echoes a request at once; a master repeating its request waits far longer.
    static constexpr qint64 kEchoWindowUs = 50000;

    LineWatch(int timeoutMs, WatchSink& sink) : timeoutUs(qint64(timeoutMs) * 1000), sink(sink) {}

    void frame(const CutFrame& frame);
    // Time has come to `nowUs`: a request waiting longer than the time-out has no answer.
    void idle(qint64 nowUs);
    // When the waiting request times out; -1 when none waits.
    qint64 deadlineUs() const { return waiting() ? last->endUs + timeoutUs : -1; }

private:
    struct Request {
        QByteArray bytes;
        int station = 0;
        int function = 0;
        qint64 endUs = 0;
        bool open = true;        // waiting for its answer
        bool copyAnswered = false; // a single write answered by its exact copy
        bool echoSeen = false;
        int framesSince = 0;
    };

    bool waiting() const { return last && last->open; }
    bool isEcho(const FrameRecord& record) const;
    void classify(FrameRecord& record);
    void takeAsRequest(FrameRecord& record);
    void takeAsAnswer(FrameRecord& record, bool exception);
    void event(EventKind kind, int station, int function, qint64 atUs, double waitedMs = -1);

    const qint64 timeoutUs;
    WatchSink& sink;
    std::optional<Request> last;
    qint64 lastEndUs = -1;
};

} // namespace vane::monitor
