// The host against the simulated device, through both plug-ins: what an integrator does first.
// One device serves the whole suite over TCP and RTU; each test uses its own scratch registers.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>

#include <csignal>

#include "host_process.h"

namespace {

class SimulatedDevice {
public:
    bool start(const QStringList& lineFlags = {})
    {
        process.setProgram(QStringLiteral(VANE_SIM_PROGRAM));
        process.setArguments(QStringList{"--tcp-port", "0", "--rtu"} + lineFlags);
        process.start();
        if (!process.waitForStarted(10000))
            return false;
        static const QRegularExpression tcpLine(QStringLiteral("^listening tcp (\\S+)$"), QRegularExpression::MultilineOption);
        static const QRegularExpression rtuLine(QStringLiteral("^listening rtu (\\S+)$"), QRegularExpression::MultilineOption);
        QString output;
        QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired() && (tcpAddress.isEmpty() || rtuPort.isEmpty())) {
            if (process.state() == QProcess::NotRunning)
                return false;
            process.waitForReadyRead(200);
            output += QString::fromUtf8(process.readAllStandardOutput());
            tcpAddress = tcpLine.match(output).captured(1);
            rtuPort = rtuLine.match(output).captured(1);
        }
        return !tcpAddress.isEmpty() && !rtuPort.isEmpty();
    }

    ~SimulatedDevice() { stop(); }

    // Stopped by its process id, with the signal the device documents as a clean stop.
    void stop() { stopByPid(process); }

    QProcess process;
    QString tcpAddress; // 127.0.0.1:port
    QString rtuPort;    // the pty the driver opens
};

SimulatedDevice* device = nullptr;

QJsonObject jsonOf(const HostRun& run)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(run.out.trimmed().toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << run.describe().toStdString();
    return document.object();
}

class HostAgainstDevice : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        device = new SimulatedDevice;
        if (!device->start())
            device->stop();
    }
    static void TearDownTestSuite()
    {
        device->stop();
        delete device;
        device = nullptr;
    }
    void SetUp() override
    {
        ASSERT_FALSE(device->tcpAddress.isEmpty()) << "the simulated device did not start";
        ASSERT_FALSE(device->rtuPort.isEmpty()) << "the simulated device did not start";
    }

    static QStringList tcp() { return {"-p", netvanePlugin(), "-c", device->tcpAddress}; }
    static QStringList rtu() { return {"-p", serivanePlugin(), "-c", device->rtuPort + QStringLiteral(",9600,8,1,N")}; }

    // Values of a successful read, as JSON.
    static QJsonArray readValues(const QStringList& driver, const QStringList& tag)
    {
        const HostRun run = runHost(driver + QStringList{"read"} + tag + QStringList{"--json"});
        EXPECT_EQ(run.exitCode, 0) << run.describe().toStdString();
        const QJsonObject json = jsonOf(run);
        EXPECT_EQ(json.value("status").toInt(-1), 0) << run.describe().toStdString();
        return json.value("values").toArray();
    }
};

} // namespace

TEST_F(HostAgainstDevice, ReadsEveryByteOrderOfTheKnownValuesOverTcp)
{
    for (const auto& [address, type] : {std::pair<const char*, const char*>{"4x0", "Float_ABCD"},
                                        {"4x2", "float_cdab"},
                                        {"4x4", "Float_BADC"},
                                        {"3x6", "Float_DCBA"}}) {
        const QJsonArray values = readValues(tcp(), {address, type});
        ASSERT_EQ(values.size(), 1) << address;
        EXPECT_DOUBLE_EQ(values.at(0).toDouble(), 123.456) << address << " " << type;
    }
    EXPECT_EQ(readValues(tcp(), {"4x12", "Int32_CDAB"}), QJsonArray{-123456});
    EXPECT_EQ(readValues(tcp(), {"4x32", "Double_GHEFCDAB"}), QJsonArray{3.141592653589793});
    EXPECT_EQ(readValues(tcp(), {"4x48", "UInt16", "2"}), (QJsonArray{54321, 64302})); // 4x49 as UInt16
    EXPECT_EQ(readValues(tcp(), {"0x0", "Bool", "4"}), (QJsonArray{true, false, true, false}));

    // All 20 digits arrive: the JSON text is checked, since JSON readers hold numbers as doubles.
    const HostRun wide = runHost(tcp() + QStringList{"read", "4x44", "UInt64", "--json"});
    EXPECT_TRUE(wide.out.contains(QStringLiteral("\"values\":[12345678901234567890]"))) << wide.describe().toStdString();
}

TEST_F(HostAgainstDevice, WritesAndReadsBackOverTcp)
{
    const HostRun write = runHost(tcp() + QStringList{"write", "4x200", "Int16", "-1234", "0x7fff", "42"});
    ASSERT_EQ(write.exitCode, 0) << write.describe().toStdString();
    EXPECT_TRUE(write.out.contains(QStringLiteral("status     0 (done)"))) << write.describe().toStdString();
    EXPECT_EQ(readValues(tcp(), {"4x200", "Int16", "3"}), (QJsonArray{-1234, 32767, 42}));

    ASSERT_EQ(runHost(tcp() + QStringList{"write", "4x204", "Float_CDAB", "-2.5"}).exitCode, 0);
    EXPECT_EQ(readValues(tcp(), {"4x204", "Float_CDAB"}), QJsonArray{-2.5});
    EXPECT_EQ(readValues(tcp(), {"4x204", "UInt16", "2"}), (QJsonArray{0, 0xC020})) << "low word first on the wire";

    ASSERT_EQ(runHost(tcp() + QStringList{"write", "0x20", "Bool", "1", "true", "0"}).exitCode, 0);
    EXPECT_EQ(readValues(tcp(), {"0x20", "Bool", "3"}), (QJsonArray{true, true, false}));
}

TEST_F(HostAgainstDevice, RefusedRequestsShowTheirStatus)
{
    const HostRun readOnly = runHost(tcp() + QStringList{"write", "3x0", "UInt16", "1", "--json"});
    EXPECT_EQ(readOnly.exitCode, 1);
    EXPECT_EQ(jsonOf(readOnly).value("status").toInt(), 6);

    // Outside the device's map the device answers with exception 02; both drivers fail the
    // transaction with status 7, and the host finds the code in the answers the drivers dump.
    for (const QStringList& driver : {tcp(), rtu()}) {
        for (const QStringList& request : {QStringList{"read", "4x5000", "UInt16"}, QStringList{"write", "4x5000", "UInt16", "1"}}) {
            const HostRun outside = runHost(driver + request + QStringList{"--json"});
            EXPECT_EQ(outside.exitCode, 1);
            const QJsonObject json = jsonOf(outside);
            EXPECT_EQ(json.value("status").toInt(), 7) << outside.describe().toStdString();
            EXPECT_EQ(json.value("exception").toInt(), 2) << outside.describe().toStdString();
            EXPECT_EQ(json.value("exception_name").toString(), QStringLiteral("illegal data address"));
        }
    }
}

TEST_F(HostAgainstDevice, ScanListsTheStationsThatAnswer)
{
    const HostRun run = runHost(rtu() + QStringList{"scan", "1-3", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.describe().toStdString();
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << run.describe().toStdString();
    for (int i = 0; i < 3; ++i) {
        const QJsonObject station = QJsonDocument::fromJson(lines.at(i).toUtf8()).object();
        EXPECT_EQ(station.value("station").toInt(), i + 1);
        EXPECT_EQ(station.value("answered").toBool(), i == 0) << run.describe().toStdString();
    }
    const HostRun text = runHost(rtu() + QStringList{"scan", "1-2", "--tag", "4x48:UInt16"});
    EXPECT_TRUE(text.out.contains(QStringLiteral("station   1  54321"))) << text.describe().toStdString();
    EXPECT_FALSE(text.out.contains(QStringLiteral("station   2"))) << text.describe().toStdString();
}

TEST_F(HostAgainstDevice, PollPrintsEveryTagInEveryCycle)
{
    const HostRun run = runHost(tcp() + QStringList{"poll", "4x48:UInt16", "3x103:Float_ABCD", "--cycles", "3", "-i", "50"});
    ASSERT_EQ(run.exitCode, 0) << run.describe().toStdString();
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6) << run.describe().toStdString();
    EXPECT_TRUE(lines.at(4).startsWith(QStringLiteral("cycle 3  4x48 UInt16 x1  status 0 (done)")));
    EXPECT_TRUE(lines.at(4).endsWith(QStringLiteral("values 54321")));

    const HostRun json = runHost(tcp() + QStringList{"poll", "4x48:UInt16", "--cycles", "2", "-i", "0", "--json"});
    const QStringList cycles = json.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(cycles.size(), 2) << json.describe().toStdString();
    const QJsonObject second = QJsonDocument::fromJson(cycles.at(1).toUtf8()).object();
    EXPECT_EQ(second.value("cycle").toInt(), 2);
    EXPECT_EQ(second.value("tags").toArray().at(0).toObject().value("values").toArray(), QJsonArray{54321});
}

TEST_F(HostAgainstDevice, BenchCountsEveryTransaction)
{
    const HostRun reads = runHost(tcp() + QStringList{"bench", "4x0", "Float", "-n", "50", "--json"});
    ASSERT_EQ(reads.exitCode, 0) << reads.describe().toStdString();
    const QJsonObject json = jsonOf(reads);
    EXPECT_EQ(json.value("transactions").toInt(), 50);
    EXPECT_EQ(json.value("statuses").toObject(), (QJsonObject{{"0", 50}}));
    const QJsonObject latency = json.value("latency_ms").toObject();
    EXPECT_LE(latency.value("p50").toDouble(), latency.value("p99").toDouble());
    EXPECT_LE(latency.value("p99").toDouble(), latency.value("max").toDouble());

    const HostRun writes = runHost(tcp() + QStringList{"bench", "--write", "4x230", "UInt16", "9", "-n", "20"});
    ASSERT_EQ(writes.exitCode, 0) << writes.describe().toStdString();
    EXPECT_TRUE(writes.out.contains(QStringLiteral("20 transactions"))) << writes.describe().toStdString();
    EXPECT_TRUE(writes.out.contains(QStringLiteral("0 (done) x20"))) << writes.describe().toStdString();
}

TEST_F(HostAgainstDevice, DebugShowsTheDriversFrameDumps)
{
    const HostRun quiet = runHost(tcp() + QStringList{"read", "4x48", "UInt16"});
    EXPECT_FALSE(quiet.err.contains(QStringLiteral("[driver]"))) << quiet.describe().toStdString();
    const HostRun debug = runHost(tcp() + QStringList{"read", "4x48", "UInt16", "--debug"});
    EXPECT_EQ(debug.exitCode, 0);
    EXPECT_TRUE(debug.err.contains(QStringLiteral("[driver] lib[ModbusTCP]"))) << debug.describe().toStdString();
}

TEST_F(HostAgainstDevice, ReadsAndWritesOverRtu)
{
    EXPECT_EQ(readValues(rtu(), {"4x48", "UInt16"}), QJsonArray{54321});
    EXPECT_EQ(readValues(rtu(), {"4x10", "Int32"}), QJsonArray{-123456});
    const HostRun write = runHost(rtu() + QStringList{"write", "4x250", "UInt32", "3000000000", "--debug"});
    ASSERT_EQ(write.exitCode, 0) << write.describe().toStdString();
    EXPECT_TRUE(write.err.contains(QStringLiteral("[driver] "))) << write.describe().toStdString();
    EXPECT_EQ(readValues(rtu(), {"4x250", "UInt32"}), QJsonArray{3000000000.0});

    // The device answers only its own station number.
    const HostRun other = runHost(rtu() + QStringList{"-s", "9", "read", "4x48", "UInt16", "--json"});
    EXPECT_EQ(other.exitCode, 1);
    EXPECT_EQ(jsonOf(other).value("status").toInt(), 8) << other.describe().toStdString();
}

// Two stations behind an echoing adapter, on a device without function 06: the driver drops the
// echo and writes one register with function 16, and only the station addressed stores it.
TEST(HostAgainstFieldLine, EchoingLineWithoutFunction06)
{
    SimulatedDevice line;
    ASSERT_TRUE(line.start({"--station", "1,2", "--echo", "--refuse", "6"})) << "the simulated device did not start";
    const QString settings = line.rtuPort + QStringLiteral(",9600,8,1,N,echo");
    const auto run = [&](const QString& options, const QStringList& command) {
        return runHost(QStringList{"-p", serivanePlugin(), "-c", settings + options} + command + QStringList{"--json"});
    };
    const auto valueAt = [&](const char* station) {
        const HostRun read = run(QString(), {"-s", station, "read", "4x200", "UInt16"});
        EXPECT_EQ(jsonOf(read).value("status").toInt(-1), 0) << read.describe().toStdString();
        return jsonOf(read).value("values").toArray();
    };

    const HostRun write = run(QStringLiteral(",fc16"), {"-s", "2", "write", "4x200", "UInt16", "7"});
    EXPECT_EQ(jsonOf(write).value("status").toInt(-1), 0) << write.describe().toStdString();
    EXPECT_EQ(valueAt("2"), QJsonArray{7});
    EXPECT_EQ(valueAt("1"), QJsonArray{0}) << "the map's value, untouched";

    const HostRun refused = run(QString(), {"-s", "2", "write", "4x200", "UInt16", "7"});
    const QJsonObject json = jsonOf(refused);
    EXPECT_EQ(json.value("status").toInt(-1), 7) << refused.describe().toStdString();
    EXPECT_EQ(json.value("exception").toInt(), 1) << refused.describe().toStdString();
}
