// The line monitor on arbitrary bytes arriving in arbitrary chunks and pauses: the cutter, the
// decoder and the pairing never crash or loop, every frame they hand on is a cut of what came,
// in order, and none is longer than the largest RTU frame.
#include "fuzz_input.h"
#include "monitor/frame_cutter.h"
#include "monitor/line_watch.h"

#include <cstdio>
#include <cstdlib>

namespace {

using namespace vane::monitor;

struct Checker : WatchSink {
    QByteArray heard;
    void frameSeen(const FrameRecord& record) override
    {
        const QByteArray& bytes = record.frame.bytes;
        if (bytes.isEmpty() || bytes.size() > kMaxFrameBytes || record.frame.endUs < record.frame.startUs) {
            std::fprintf(stderr, "frame of %d bytes from %lld to %lld us\n", int(bytes.size()),
                         static_cast<long long>(record.frame.startUs), static_cast<long long>(record.frame.endUs));
            std::abort();
        }
        heard += bytes;
        for (const FrameKind kind : {FrameKind::Request, FrameKind::Answer, FrameKind::Exception})
            (void)fieldsOf(bytes, kind);
        (void)functionName(record.function);
        (void)answerFitsRequest(bytes, bytes);
    }
    void eventSeen(const LineEvent&) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const int silenceUs = 500 + in.byte() * 20;
    const int timeoutMs = 1 + in.byte() % 20;
    FrameCutter cutter(silenceUs);
    Checker checker;
    LineWatch watch(timeoutMs, checker);
    QByteArray sent;
    qint64 now = 0;
    while (!in.empty()) {
        // A chunk: its length, the pause in front of it (100 us steps), its bytes.
        const int length = in.byte();
        now += in.byte() * 100;
        QByteArray chunk;
        for (int i = 0; i < length && !in.empty(); ++i)
            chunk.append(static_cast<char>(in.byte()));
        cutter.feed(chunk.constData(), chunk.size(), now);
        cutter.idle(now); // as the monitor's loop does after every wait
        sent += chunk;
        for (const CutFrame& frame : cutter.take())
            watch.frame(frame);
        watch.idle(now);
        if (cutter.deadlineUs() >= 0 && cutter.deadlineUs() < now)
            std::abort(); // a silence that has passed must have ended its frame
    }
    cutter.flush();
    for (const CutFrame& frame : cutter.take())
        watch.frame(frame);
    if (checker.heard != sent) {
        std::fprintf(stderr, "frames hold %d bytes of %d sent\n", int(checker.heard.size()), int(sent.size()));
        std::abort();
    }
    return 0;
}
