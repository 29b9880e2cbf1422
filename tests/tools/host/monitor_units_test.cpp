// The monitor's frame cutter, decoder, pairing and summary on byte streams made up here.
#include <gtest/gtest.h>

#include "cli_options.h"
#include "modbus/protocol/crc16.h"
#include "monitor/frame_cutter.h"
#include "monitor/line_summary.h"
#include "monitor/line_watch.h"

#include <initializer_list>
#include <vector>

using namespace vane::monitor;

namespace {

// A frame from its bytes before the CRC, with the CRC appended low byte first.
QByteArray frame(std::initializer_list<int> bytes)
{
    QByteArray out;
    for (int b : bytes)
        out.append(static_cast<char>(b));
    const unsigned short crc = vane::modbus::crc16Modbus(out, out.size());
    out.append(static_cast<char>(crc & 0xFF));
    out.append(static_cast<char>(crc >> 8));
    return out;
}

const QByteArray readRequest = frame({1, 3, 0, 0, 0, 2});            // 2 registers from 0
const QByteArray readAnswer = frame({1, 3, 4, 0x42, 0xF6, 0xE9, 0x79});
const QByteArray writeSingle = frame({1, 6, 0, 200, 0x12, 0x34});

CutFrame at(const QByteArray& bytes, qint64 startUs, qint64 endUs = -1)
{
    return CutFrame{bytes, startUs, endUs < 0 ? startUs : endUs, false};
}

std::vector<QByteArray> cutAll(FrameCutter& cutter)
{
    std::vector<QByteArray> out;
    for (const CutFrame& f : cutter.take())
        out.push_back(f.bytes);
    return out;
}

// Collects what the watch reports.
struct Recorder : WatchSink {
    std::vector<FrameRecord> frames;
    std::vector<LineEvent> events;
    LineSummary summary;
    void frameSeen(const FrameRecord& record) override
    {
        frames.push_back(record);
        summary.add(record, true);
    }
    void eventSeen(const LineEvent& event) override
    {
        events.push_back(event);
        summary.add(event);
    }
    std::vector<EventKind> kinds() const
    {
        std::vector<EventKind> out;
        for (const LineEvent& e : events)
            out.push_back(e.kind);
        return out;
    }
};

} // namespace

TEST(MonitorCutter, CutsAtSilenceAndByLengthWhenTheLineShowsNone)
{
    FrameCutter cutter(2000);
    // A request, its echo and the answer in one batch, as a USB adapter delivers them.
    const QByteArray batch = readRequest + readRequest + readAnswer;
    cutter.feed(batch.constData(), batch.size(), 100);
    EXPECT_EQ(cutAll(cutter), (std::vector<QByteArray>{readRequest, readRequest, readAnswer}));

    // Bytes that form no frame end at the next silence, not before; the bytes after it start anew.
    const QByteArray junk("\x01\x03\x07\x55", 4);
    cutter.feed(junk.constData(), 2, 1000);
    cutter.feed(junk.constData() + 2, 2, 2500);
    cutter.idle(4400);
    EXPECT_TRUE(cutter.take().empty());
    cutter.feed(readRequest.constData(), readRequest.size() - 1, 4600); // 2.1 ms after the junk
    const std::vector<CutFrame> frames = cutter.take();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].bytes, junk);
    EXPECT_EQ(frames[0].startUs, 1000);
    EXPECT_EQ(frames[0].endUs, 2500);
    cutter.feed(readRequest.constData() + readRequest.size() - 1, 1, 4700);
    EXPECT_EQ(cutAll(cutter), std::vector<QByteArray>{readRequest});

    // The rest of a broken answer with a request right behind it: cut apart once the request is whole.
    const QByteArray glued = readAnswer.mid(3) + readRequest;
    cutter.feed(glued.constData(), glued.size() - 1, 10000);
    EXPECT_TRUE(cutter.take().empty());
    cutter.feed(glued.constData() + glued.size() - 1, 1, 10100);
    EXPECT_EQ(cutAll(cutter), (std::vector<QByteArray>{readAnswer.mid(3), readRequest}));
}

TEST(MonitorCutter, CutsAnOverlongFrameAtTheLargestFrameSize)
{
    FrameCutter cutter(2000);
    const QByteArray noise(300, '\x55');
    cutter.feed(noise.constData(), noise.size(), 0);
    cutter.flush();
    const std::vector<CutFrame> frames = cutter.take();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].bytes.size(), 256);
    EXPECT_TRUE(frames[0].overlong);
    EXPECT_EQ(frames[1].bytes.size(), 44);
    EXPECT_FALSE(frames[1].overlong);
}

TEST(MonitorDecoder, LengthsAndFieldsFollowTheFunction)
{
    const QByteArray write16 = frame({1, 16, 0, 10, 0, 2, 4, 0, 1, 0, 2});
    EXPECT_EQ(expectedLength(write16.constData(), 6, Direction::Request), 0) << "the byte count has not come yet";
    EXPECT_EQ(expectedLength(write16.constData(), 7, Direction::Request), 13);
    EXPECT_EQ(expectedLength(write16.constData(), 2, Direction::Answer), 8);
    EXPECT_EQ(expectedLength(readAnswer.constData(), 3, Direction::Answer), 9);
    EXPECT_EQ(expectedLength("\x01\x83", 2, Direction::Answer), 5);
    EXPECT_EQ(expectedLength("\x01\x2B", 2, Direction::Request), -1);

    const FrameFields written = fieldsOf(write16, FrameKind::Request);
    EXPECT_EQ(written.start, 10);
    EXPECT_EQ(written.quantity, 2);
    EXPECT_EQ(written.byteCount, 4);
    EXPECT_EQ(written.data, QByteArray("\x00\x01\x00\x02", 4));
    EXPECT_EQ(fieldsOf(readAnswer, FrameKind::Answer).data, QByteArray("\x42\xF6\xE9\x79", 4));

    EXPECT_TRUE(answerFitsRequest(readRequest, readAnswer));
    EXPECT_FALSE(answerFitsRequest(readRequest, frame({1, 3, 6, 0, 0, 0, 0, 0, 0}))) << "a register too many";
    EXPECT_FALSE(answerFitsRequest(write16, frame({1, 16, 0, 11, 0, 2}))) << "another start confirmed";
}

TEST(MonitorWatch, PairsAnswersAndTimesThemFromTheRequestsEnd)
{
    Recorder seen;
    LineWatch watch(1000, seen);
    watch.frame(at(readRequest, 0, 4000));
    watch.frame(at(readAnswer, 9000, 13500));
    watch.frame(at(frame({1, 3, 3, 0xE8, 0, 1}), 20000, 24000)); // a read of 3x1000...
    watch.frame(at(frame({1, 0x83, 2}), 30000, 32000));            // ... refused
    ASSERT_EQ(seen.frames.size(), 4u);
    EXPECT_EQ(seen.frames[1].kind, FrameKind::Answer);
    EXPECT_DOUBLE_EQ(seen.frames[1].responseMs, 9.5);
    EXPECT_DOUBLE_EQ(seen.frames[1].gapMs, 5.0);
    EXPECT_TRUE(seen.frames[1].fitsRequest);
    EXPECT_EQ(seen.frames[2].kind, FrameKind::Request);
    EXPECT_EQ(seen.frames[3].kind, FrameKind::Exception);
    EXPECT_DOUBLE_EQ(seen.frames[3].responseMs, 8.0);
    EXPECT_TRUE(seen.events.empty());

    const StationTally& station = seen.summary.stations().value(1);
    EXPECT_EQ(station.requests, 2);
    EXPECT_EQ(station.answers, 1);
    EXPECT_EQ(station.exceptions.value(2), 1);
    EXPECT_TRUE(seen.summary.json().contains(QStringLiteral("\"exceptions\":{\"illegal data address\":1}")))
        << seen.summary.json().toStdString();
}

TEST(MonitorWatch, NamesMissingLateAndForeignAnswers)
{
    Recorder seen;
    LineWatch watch(1000, seen);
    watch.frame(at(readRequest, 0, 4000));
    watch.idle(1005000);
    EXPECT_EQ(watch.deadlineUs(), -1);
    watch.frame(at(readAnswer, 1200000));                              // too late: nobody waits
    watch.frame(at(readRequest, 2000000));
    watch.frame(at(frame({2, 3, 4, 0, 0, 0, 0}), 2010000));             // another station answers
    watch.frame(at(readRequest, 2600000));                              // the master gave up and asks again
    EXPECT_EQ(seen.kinds(), (std::vector<EventKind>{EventKind::NoAnswer, EventKind::Unsolicited,
                                                    EventKind::Unsolicited, EventKind::NoAnswer}));
    EXPECT_DOUBLE_EQ(seen.events[0].waitedMs, 1000.0);
    EXPECT_DOUBLE_EQ(seen.events[3].waitedMs, 600.0);
    EXPECT_EQ(seen.frames[4].kind, FrameKind::Request) << "a repeat long after is no echo";
    EXPECT_EQ(seen.summary.stations().value(1).noAnswer, 2);
    EXPECT_EQ(seen.summary.stations().value(2).unsolicited, 1);
}

TEST(MonitorWatch, TellsEchoesFromSingleWriteAnswersAndBroadcasts)
{
    Recorder seen;
    LineWatch watch(1000, seen);
    watch.frame(at(readRequest, 0, 4000));
    watch.frame(at(readRequest, 4100, 8000)); // the adapter's copy
    watch.frame(at(readAnswer, 12000));
    watch.frame(at(writeSingle, 20000));
    watch.frame(at(writeSingle, 25000));     // a single write's answer is its copy
    const QByteArray broadcast = frame({0, 6, 0, 200, 0, 1});
    watch.frame(at(broadcast, 30000));
    watch.idle(2000000);
    EXPECT_EQ(seen.kinds(), (std::vector<EventKind>{EventKind::Echo, EventKind::Broadcast}));
    EXPECT_TRUE(seen.frames[1].echo);
    EXPECT_DOUBLE_EQ(seen.frames[2].responseMs, 8.0) << "timed from the request, not its echo";
    EXPECT_EQ(seen.frames[4].kind, FrameKind::Answer);
    EXPECT_FALSE(seen.frames[4].echo);
    EXPECT_EQ(seen.summary.stations().value(1).requests, 2) << "an echo is no request of its own";
}

TEST(MonitorWatch, DamagedFramesCountAsCrcErrorsAndNoiseSuggestsTheBaudRate)
{
    Recorder seen;
    LineWatch watch(1000, seen);
    QByteArray damaged = readAnswer;
    damaged[damaged.size() - 1] = static_cast<char>(damaged.back() ^ 0x10);
    watch.frame(at(readRequest, 0));
    watch.frame(at(damaged, 5000));
    EXPECT_EQ(seen.frames[1].kind, FrameKind::Answer);
    EXPECT_FALSE(seen.frames[1].crcOk);
    EXPECT_EQ(seen.summary.stations().value(1).crcErrors, 1);
    EXPECT_TRUE(seen.summary.hint().isEmpty());
    for (int i = 0; i < 3; ++i)
        watch.frame(at(QByteArray("\xF0\x0F\xFF\x81\x7E", 5), 100000 + i * 10000));
    EXPECT_EQ(seen.frames.back().kind, FrameKind::Noise);
    EXPECT_EQ(seen.summary.noise(), 3);
    EXPECT_TRUE(seen.summary.hint().contains(QStringLiteral("baud rate"))) << seen.summary.text().toStdString();
}

TEST(MonitorWatch, APieceOfAnAnswerIsNoiseAndLeavesTheRequestWaiting)
{
    Recorder seen;
    LineWatch watch(1000, seen);
    watch.frame(at(readRequest, 0));
    watch.frame(at(readAnswer.left(5), 5000)); // the rest came after a silence
    watch.frame(at(readAnswer.mid(5), 30000));
    watch.frame(at(readAnswer.left(8), 40000)); // a request's length, but a request waits
    EXPECT_EQ(seen.frames[1].kind, FrameKind::Noise);
    EXPECT_EQ(seen.frames[2].kind, FrameKind::Noise);
    EXPECT_EQ(seen.frames[3].kind, FrameKind::Noise);
    EXPECT_EQ(watch.deadlineUs(), 1000000);
    EXPECT_EQ(seen.summary.stations().value(1).answers, 0);
}

TEST(MonitorCommandLine, NeedsASerialLineButNoPlugIn)
{
    const vane::host::ParsedCommandLine parsed = vane::host::parseCommandLine(
        {"monitor", "-c", "/dev/ttyUSB1,19200,8,1,even", "--station", "0", "--function", "3", "--timeout", "200"});
    ASSERT_TRUE(parsed.ok) << parsed.error.toStdString();
    EXPECT_EQ(parsed.options.command, vane::host::Command::Monitor);
    EXPECT_EQ(parsed.options.connection, QStringLiteral("/dev/ttyUSB1,19200,8,1,E"));
    EXPECT_EQ(parsed.options.stationFilter, 0);
    EXPECT_EQ(parsed.options.functionFilter, 3);
    EXPECT_EQ(parsed.options.timeoutMs, 200);

    for (const QStringList& refused : {QStringList{"monitor"}, QStringList{"monitor", "-c", "127.0.0.1:502"},
                                       QStringList{"monitor", "-c", "/dev/ttyS0,9600,8,1,N", "-p", "libSerivane.so.1"},
                                       QStringList{"-p", "libSerivane.so.1", "read", "4x0", "UInt16", "--seconds", "3"}})
        EXPECT_FALSE(vane::host::parseCommandLine(refused).ok) << refused.join(QLatin1Char(' ')).toStdString();
}
