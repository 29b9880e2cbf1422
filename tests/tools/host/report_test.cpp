// The pieces the commands print with: record reports, latency summaries, poll tables.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "poll_table.h"
#include "record_report.h"

using namespace vane::host;

namespace {

QJsonObject parsedObject(const QString& json)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << json.toStdString();
    EXPECT_TRUE(document.isObject()) << json.toStdString();
    return document.object();
}

} // namespace

TEST(RecordReport, JsonOfARefusedReadHasEveryFieldAndNoValues)
{
    TimedRecord result;
    result.record.status = 3;
    result.record.address = QStringLiteral("9x1");
    result.record.type = UInt16;
    result.record.count = 1;
    result.record.timestamp = QDateTime(QDate(2024, 5, 1), QTime(12, 30, 5, 7));
    result.roundTripMs = 0.12345;
    const QJsonObject json = parsedObject(recordJson(result, QStringLiteral("read")));
    EXPECT_EQ(json.value("command").toString(), QStringLiteral("read"));
    EXPECT_EQ(json.value("address").toString(), QStringLiteral("9x1"));
    EXPECT_EQ(json.value("type").toString(), QStringLiteral("UInt16"));
    EXPECT_EQ(json.value("count").toInt(), 1);
    EXPECT_EQ(json.value("status").toInt(), 3);
    EXPECT_EQ(json.value("meaning").toString(), statusMeaning(3));
    EXPECT_TRUE(json.value("values").isArray());
    EXPECT_TRUE(json.value("values").toArray().isEmpty());
    EXPECT_EQ(json.value("timestamp").toString(), QStringLiteral("2024-05-01T12:30:05.007"));
    EXPECT_DOUBLE_EQ(json.value("round_trip_ms").toDouble(), 0.123);

    EXPECT_FALSE(parsedObject(recordJson(result, QString())).contains("command"));
    result.record.timestamp = QDateTime();
    EXPECT_TRUE(parsedObject(recordJson(result, QString())).value("timestamp").isNull());
}

TEST(RecordReport, TextNamesStatusMeaningAndValues)
{
    TimedRecord result;
    result.record.status = 0;
    result.record.address = QStringLiteral("4x2");
    result.record.type = Float_CDAB;
    result.record.count = 2;
    result.record.value = QVariant::fromValue(QList<float>{123.456f, -1.5f});
    const QStringList lines = recordLines(result);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines.at(0), QStringLiteral("tag        4x2 Float_CDAB, count 2"));
    EXPECT_EQ(lines.at(1), QStringLiteral("status     0 (done)"));
    EXPECT_EQ(lines.at(2), QStringLiteral("values     123.456 -1.5"));
    EXPECT_EQ(lines.at(3), QStringLiteral("timestamp  -"));
}

TEST(StatusText, EveryCodeHasItsOwnMeaning)
{
    QStringList meanings;
    for (int status = 0; status <= 9; ++status) {
        const QString meaning = statusMeaning(status);
        EXPECT_FALSE(meanings.contains(meaning)) << status;
        meanings.append(meaning);
    }
    EXPECT_EQ(statusMeaning(8), QStringLiteral("no reply"));
    EXPECT_EQ(statusMeaning(42), QStringLiteral("unknown status"));
    EXPECT_EQ(statusText(6), QStringLiteral("6 (write refused: read-only area)"));
}

TEST(LatencyStats, NearestRankPercentiles)
{
    QVector<double> samples;
    for (int i = 100; i >= 1; --i)
        samples.append(i); // unsorted on purpose
    const LatencySummary summary = summarizeLatencies(samples);
    EXPECT_EQ(summary.samples, 100);
    EXPECT_EQ(summary.p50Ms, 50);
    EXPECT_EQ(summary.p99Ms, 99);
    EXPECT_EQ(summary.maxMs, 100);

    const LatencySummary few = summarizeLatencies({3, 1, 2});
    EXPECT_EQ(few.p50Ms, 2);
    EXPECT_EQ(few.p99Ms, 3);
    EXPECT_EQ(few.maxMs, 3);

    const LatencySummary one = summarizeLatencies({0.5});
    EXPECT_EQ(one.p50Ms, 0.5);
    EXPECT_EQ(one.p99Ms, 0.5);

    const LatencySummary none = summarizeLatencies({});
    EXPECT_EQ(none.samples, 0);
    EXPECT_EQ(none.maxMs, 0);
}

TEST(PollTable, ColumnsAlignAndLongLinesAreCut)
{
    QList<PollRow> rows;
    rows.append({QStringLiteral("4x100"), QStringLiteral("UInt16"), 1, 0, QStringLiteral("7"), 0.5});
    rows.append({QStringLiteral("3x103"), QStringLiteral("Float_ABCD"), 12, 8, QString(), 1500.25});
    const QStringList lines = renderTable(4, 500, rows, 0);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines.at(0).startsWith(QStringLiteral("cycle 4, every 500 ms")));
    const int statusColumn = lines.at(1).indexOf(QStringLiteral("status"));
    EXPECT_EQ(lines.at(2).indexOf(QStringLiteral("0 (done)")), statusColumn);
    EXPECT_EQ(lines.at(3).indexOf(QStringLiteral("8 (no reply)")), statusColumn);
    // Numbers are right-aligned: their last digits stand in one column.
    EXPECT_EQ(lines.at(2).indexOf(QStringLiteral("0.50")) + 4, lines.at(3).indexOf(QStringLiteral("1500.25")) + 7);

    for (const QString& line : renderTable(4, 500, rows, 30)) {
        EXPECT_LE(line.size(), 30);
        EXPECT_TRUE(line.size() < 30 || line.endsWith(QStringLiteral("..."))) << line.toStdString();
    }
}

TEST(PollTable, PlainLineCarriesTheWholeRow)
{
    const PollRow row{QStringLiteral("4x0"), QStringLiteral("Float"), 2, 0, QStringLiteral("1.5 2"), 0.25};
    EXPECT_EQ(renderPlainLine(3, row), QStringLiteral("cycle 3  4x0 Float x2  status 0 (done)  rtt 0.25 ms  values 1.5 2"));
    const PollRow failed{QStringLiteral("4x0"), QStringLiteral("Float"), 1, 9, QString(), 0};
    EXPECT_TRUE(renderPlainLine(1, failed).endsWith(QStringLiteral("values -")));
}

// The exception code sits after the function code: byte 8 of a TCP dump (MBAP header first),
// byte 2 of an RTU dump (station address first).
TEST(ModbusException, CodeOfAnExceptionAnswerIsFoundAndNamed)
{
    EXPECT_EQ(exceptionCodeOfAnswer("67c600000003018302", Framing::Tcp), 2);
    EXPECT_EQ(exceptionCodeOfAnswer("018302c0f1", Framing::Rtu), 2);
    EXPECT_EQ(exceptionCodeOfAnswer("0103024296b9a4", Framing::Rtu), -1) << "a normal answer";
    EXPECT_EQ(exceptionCodeOfAnswer("018302c0f1", Framing::Tcp), -1) << "too short for a TCP frame";
    EXPECT_EQ(exceptionCodeOfAnswer("", Framing::Rtu), -1);
    EXPECT_EQ(exceptionText(0x0A), QStringLiteral("0A gateway path unavailable"));
    EXPECT_EQ(exceptionText(0x0B), QStringLiteral("0B gateway target device failed to respond"));
    EXPECT_EQ(statusText(7, 2), QStringLiteral("7 (exception answer 02 illegal data address)"));
    EXPECT_EQ(statusText(8, 2), QStringLiteral("8 (no reply)")) << "only an exception answer carries one";
}
