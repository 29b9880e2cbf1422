// The monitor on the simulated device's mirrored line while the host program works through the
// RTU plug-in: every request and answer is seen, paired and counted.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <csignal>

#include "host_process.h"

namespace {

QString waitForLine(QProcess& process, const QRegularExpression& pattern, bool fromStderr)
{
    QString seen;
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired() && process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(100);
        seen += QString::fromUtf8(fromStderr ? process.readAllStandardError() : process.readAllStandardOutput());
        const QRegularExpressionMatch match = pattern.match(seen);
        if (match.hasMatch())
            return match.captured(1);
    }
    return QString();
}

} // namespace

TEST(MonitorOnMirroredLine, SeesPairsAndCountsTheDriversExchanges)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QProcess device;
    device.start(QStringLiteral(VANE_SIM_PROGRAM), {"--rtu", "--mirror", dir.filePath(QStringLiteral("mirror"))});
    const QRegularExpression rtuLine(QStringLiteral("listening rtu (\\S+)\\n"));
    const QString port = waitForLine(device, rtuLine, false);
    ASSERT_FALSE(port.isEmpty()) << "the simulated device did not start";

    QProcess monitor;
    monitor.start(hostProgram(), {"monitor", "-c", dir.filePath(QStringLiteral("mirror")) + QStringLiteral(",19200,8,1,N"),
                                  "--json", "--frames", "6"});
    ASSERT_FALSE(waitForLine(monitor, QRegularExpression(QStringLiteral("(listening)")), true).isEmpty());

    const QStringList rtu{"-p", serivanePlugin(), "-c", port + QStringLiteral(",19200,8,1,N")};
    EXPECT_EQ(runHost(rtu + QStringList{"read", "4x48", "UInt16", "2"}).exitCode, 0);
    EXPECT_EQ(runHost(rtu + QStringList{"write", "4x260", "UInt16", "7"}).exitCode, 0);
    EXPECT_EQ(runHost(rtu + QStringList{"read", "4x5000", "UInt16"}).exitCode, 1);
    const bool finished = monitor.waitForFinished(20000);
    stopByPid(monitor);
    stopByPid(device);
    ASSERT_TRUE(finished) << "the monitor did not stop after its frames";
    EXPECT_EQ(monitor.exitCode(), 0);

    const QStringList lines = QString::fromUtf8(monitor.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 7) << lines.join(QLatin1Char('\n')).toStdString();
    QStringList kinds;
    for (int i = 0; i < 6; ++i) {
        const QJsonObject frame = QJsonDocument::fromJson(lines.at(i).toUtf8()).object();
        kinds << frame.value("kind").toString();
        EXPECT_TRUE(frame.value("crc_ok").toBool()) << lines.at(i).toStdString();
        EXPECT_EQ(frame.value("station").toInt(), 1);
        if (i % 2) {
            EXPECT_GE(frame.value("response_ms").toDouble(-1), 0) << lines.at(i).toStdString();
        }
    }
    EXPECT_EQ(kinds, (QStringList{"request", "answer", "request", "answer", "request", "exception"}));
    const QJsonObject second = QJsonDocument::fromJson(lines.at(1).toUtf8()).object();
    EXPECT_EQ(second.value("values").toVariant().toList(), (QVariantList{54321, 64302}));

    const QJsonObject station = QJsonDocument::fromJson(lines.at(6).toUtf8()).object().value("summary").toObject().value("1").toObject();
    EXPECT_EQ(station.value("requests").toInt(), 3);
    EXPECT_EQ(station.value("answers").toInt(), 2);
    EXPECT_EQ(station.value("no_answer").toInt(), 0);
    EXPECT_EQ(station.value("exceptions").toObject(), (QJsonObject{{"illegal data address", 1}}));
    EXPECT_LE(station.value("p50_ms").toDouble(), station.value("max_ms").toDouble());
}

TEST(MonitorOnMirroredLine, APortThatCannotBeOpenedIsAUsageError)
{
    const HostRun run = runHost({"monitor", "-c", "/dev/no-such-port,9600,8,1,N"});
    EXPECT_EQ(run.exitCode, 2) << run.describe().toStdString();
    ASSERT_EQ(run.errLines().size(), 1) << run.describe().toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("/dev/no-such-port"))) << run.describe().toStdString();
}
