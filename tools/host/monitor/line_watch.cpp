#include "line_watch.h"

namespace vane::monitor {

namespace {

bool isSingleWrite(int function) { return function == 5 || function == 6; }

} // namespace

void LineWatch::frame(const CutFrame& frame)
{
    idle(frame.startUs);
    FrameRecord record;
    record.frame = frame;
    record.gapMs = lastEndUs < 0 ? -1 : double(frame.startUs - lastEndUs) / 1000.0;
    lastEndUs = frame.endUs;
    const int size = frame.bytes.size();
    if (size >= kMinFrameBytes && !frame.overlong) {
        record.station = static_cast<unsigned char>(frame.bytes.at(0));
        record.function = static_cast<unsigned char>(frame.bytes.at(1)) & 0x7F;
        record.crcOk = crcGood(frame.bytes);
        classify(record);
    }
    if (last)
        ++last->framesSince;
    sink.frameSeen(record);
    if (record.echo)
        event(EventKind::Echo, record.station, record.function, frame.endUs);
    if (record.broadcast)
        event(EventKind::Broadcast, record.station, record.function, frame.endUs);
    if (record.unsolicited)
        event(EventKind::Unsolicited, record.station, record.function, frame.endUs);
}

void LineWatch::idle(qint64 nowUs)
{
    if (waiting() && nowUs - last->endUs > timeoutUs) {
        last->open = false;
        event(EventKind::NoAnswer, last->station, last->function, last->endUs + timeoutUs, double(timeoutUs) / 1000.0);
    }
}

// A copy of the last request right behind it. A single write's answer is its copy as well: there
// the first copy is the answer and only a second one an echo.
bool LineWatch::isEcho(const FrameRecord& record) const
{
    if (!last || last->echoSeen || record.frame.bytes != last->bytes
        || record.frame.startUs - last->endUs > kEchoWindowUs)
        return false;
    if (isSingleWrite(last->function))
        return last->copyAnswered && last->framesSince == 1;
    return last->framesSince == 0;
}

void LineWatch::classify(FrameRecord& record)
{
    const QByteArray& bytes = record.frame.bytes;
    const bool exception = static_cast<unsigned char>(bytes.at(1)) & 0x80;
    const bool answersWaiting = waiting() && record.station == last->station && record.function == last->function;
    if (record.crcOk && isEcho(record)) {
        record.kind = FrameKind::Request;
        record.echo = true;
        last->echoSeen = true;
        return;
    }
    const int size = bytes.size();
    const bool fitsRequest = !exception && expectedLength(bytes.constData(), size, Direction::Request) == size;
    const bool fitsAnswer = expectedLength(bytes.constData(), size, Direction::Answer) == size;
    // A damaged frame is taken for the answer a request waits for, or for a request while none
    // waits, when its length fits; anything else (a piece of a frame) is noise.
    const bool damagedNoise = answersWaiting ? !fitsAnswer : (waiting() || !fitsRequest || record.station > 247);
    if (!record.crcOk && damagedNoise) {
        record.kind = FrameKind::Noise;
        return;
    }
    // What the waiting request's station sends with its function answers it, unless it can only
    // be that request again.
    if (answersWaiting && (exception || fitsAnswer || !fitsRequest)) {
        takeAsAnswer(record, exception);
        return;
    }
    // A frame either could be is a request unless a request waits; one neither could be (a
    // function without a known length) likewise.
    const bool request = fitsRequest ? (!fitsAnswer || !waiting()) : (!fitsAnswer && !waiting());
    if (request)
        takeAsRequest(record);
    else
        takeAsAnswer(record, exception);
}

void LineWatch::takeAsRequest(FrameRecord& record)
{
    record.kind = FrameKind::Request;
    // A master that asks again has given up on its last request.
    if (waiting()) {
        last->open = false;
        event(EventKind::NoAnswer, last->station, last->function, record.frame.startUs,
              double(record.frame.startUs - last->endUs) / 1000.0);
    }
    Request request;
    request.bytes = record.frame.bytes;
    request.station = record.station;
    request.function = record.function;
    request.endUs = record.frame.endUs;
    request.framesSince = -1; // counted up to 0 as this frame ends
    record.broadcast = record.crcOk && record.station == 0;
    request.open = !record.broadcast; // stations never answer a broadcast
    last = request;
}

void LineWatch::takeAsAnswer(FrameRecord& record, bool exception)
{
    record.kind = exception ? FrameKind::Exception : FrameKind::Answer;
    if (!waiting() || record.station != last->station || record.function != last->function) {
        record.unsolicited = record.crcOk;
        return;
    }
    last->open = false;
    last->copyAnswered = record.frame.bytes == last->bytes;
    record.responseMs = double(record.frame.endUs - last->endUs) / 1000.0;
    record.fitsRequest = exception || !record.crcOk || answerFitsRequest(last->bytes, record.frame.bytes);
}

void LineWatch::event(EventKind kind, int station, int function, qint64 atUs, double waitedMs)
{
    LineEvent happened;
    happened.kind = kind;
    happened.station = station;
    happened.function = function;
    happened.atUs = atUs;
    happened.waitedMs = waitedMs;
    sink.eventSeen(happened);
}

} // namespace vane::monitor
