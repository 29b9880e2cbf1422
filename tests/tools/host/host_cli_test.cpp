// The host program as a process: argument errors, plug-in loading errors and exit codes, and the
// requests a driver answers without a device.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "host_process.h"

namespace {

constexpr int ExitOk = 0;
constexpr int ExitTransactionFailed = 1;
constexpr int ExitUsage = 2;
constexpr int ExitPluginLoad = 3;
constexpr int ExitConnectFailed = 4;

// Every refusal is one line on stderr, nothing on stdout, and a normal exit with the given code.
void expectOneLineRefusal(const HostRun& run, int exitCode, const QString& mentioned)
{
    ASSERT_TRUE(run.finished && !run.crashed) << run.describe().toStdString();
    EXPECT_EQ(run.exitCode, exitCode) << run.describe().toStdString();
    EXPECT_TRUE(run.out.isEmpty()) << run.describe().toStdString();
    ASSERT_EQ(run.errLines().size(), 1) << run.describe().toStdString();
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("vane-host: "))) << run.describe().toStdString();
    EXPECT_TRUE(run.err.contains(mentioned)) << "expected '" << mentioned.toStdString() << "' in\n"
                                             << run.describe().toStdString();
}

QJsonObject onlyJsonLine(const HostRun& run)
{
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), 1) << run.describe().toStdString();
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(lines.value(0).toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << run.describe().toStdString();
    return document.object();
}

} // namespace

TEST(HostUsage, HelpListsTheExitCodes)
{
    const HostRun run = runHost({"--help"});
    ASSERT_TRUE(run.finished && !run.crashed);
    EXPECT_EQ(run.exitCode, ExitOk);
    EXPECT_TRUE(run.out.contains(QStringLiteral("Exit codes")));
    EXPECT_TRUE(run.err.isEmpty());
}

TEST(HostUsage, BadArgumentsAreOneLineAndExitCode2)
{
    const QString plugin = netvanePlugin();
    expectOneLineRefusal(runHost({}), ExitUsage, "no command given");
    expectOneLineRefusal(runHost({"-p", plugin, "fetch", "4x0", "UInt16"}), ExitUsage, "unknown command 'fetch'");
    expectOneLineRefusal(runHost({"-p", plugin, "read", "4x0", "UInt16", "--frobnicate"}), ExitUsage, "unknown option");
    expectOneLineRefusal(runHost({"read", "4x0", "UInt16"}), ExitUsage, "no plug-in given");
    expectOneLineRefusal(runHost({"-p", plugin, "read", "4x0", "UInt16", "abc"}), ExitUsage, "bad count 'abc'");
    expectOneLineRefusal(runHost({"-p", plugin, "read", "4x0", "UInt16", "-3"}), ExitUsage, "bad count '-3'");
    expectOneLineRefusal(runHost({"-p", plugin, "read", "4x0", "UInt16", "65536"}), ExitUsage, "bad count '65536'");
    expectOneLineRefusal(runHost({"-p", plugin, "write", "4x0", "Int16", "40000"}), ExitUsage, "'40000'");
    expectOneLineRefusal(runHost({"-p", plugin, "poll", "4x0:UInt16", "--cycles", "x"}), ExitUsage, "--cycles");
}

TEST(HostUsage, UnknownTypeListsEveryValidName)
{
    const HostRun run = runHost({"-p", netvanePlugin(), "read", "4x0", "Float_XYZW"});
    expectOneLineRefusal(run, ExitUsage, "unknown data type 'Float_XYZW'");
    for (const char* name : {"NoType", "Bool", "UInt16", "Float_CDAB", "Int32_BADC", "Double_HGFEDCBA"})
        EXPECT_TRUE(run.err.contains(QLatin1String(name))) << name;
}

TEST(HostUsage, UsageErrorsAreFoundBeforeThePlugInIsLoaded)
{
    expectOneLineRefusal(runHost({"-p", "/nonexistent/libX.so", "read", "4x0", "Nope"}), ExitUsage, "unknown data type");
}

TEST(HostPlugin, FilesThatAreNoDriverPlugInAreRefusedWithExitCode3)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString text = dir.filePath(QStringLiteral("libText.so.1"));
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is a text file, not a shared library\n");
    file.close();

    const QString missing = dir.filePath(QStringLiteral("libMissing.so.1"));
    expectOneLineRefusal(runHost({"-p", missing, "info"}), ExitPluginLoad, QStringLiteral("not found: ") + missing);
    expectOneLineRefusal(runHost({"-p", text, "info"}), ExitPluginLoad, QStringLiteral("cannot load plug-in ") + text);
    expectOneLineRefusal(runHost({"-p", dir.path(), "info"}), ExitPluginLoad, "not a file");
    expectOneLineRefusal(runHost({"-p", QStringLiteral(VANE_NOT_A_DRIVER), "read", "4x0", "UInt16"}), ExitPluginLoad,
                         "no getSharedLibrary");
    expectOneLineRefusal(runHost({"-p", QStringLiteral(VANE_NULL_DRIVER), "info"}), ExitPluginLoad, "returned no driver");
    expectOneLineRefusal(runHost({"-p", "libVaneNoSuchPlugin.so.1", "info"}), ExitPluginLoad, "library search path");
}

TEST(HostPlugin, InfoNamesBothDrivers)
{
    const QJsonObject tcp = onlyJsonLine(runHost({"-p", netvanePlugin(), "info", "--json"}));
    EXPECT_EQ(tcp.value("name").toString(), QStringLiteral("modbusTcp"));
    EXPECT_EQ(tcp.value("version").toString(), QStringLiteral("V1.9.1 20230323"));
    EXPECT_TRUE(tcp.value("build").toString().startsWith(QStringLiteral("v1.9.2.B ")));

    const HostRun rtu = runHost({"-p", serivanePlugin(), "info"});
    EXPECT_EQ(rtu.exitCode, ExitOk) << rtu.describe().toStdString();
    EXPECT_TRUE(rtu.out.contains(QStringLiteral("modbusRtu")));
    EXPECT_TRUE(rtu.out.contains(QStringLiteral("V1.7.8 20230506")));
}

TEST(HostConnect, RefusedParametersExitWithCode4)
{
    expectOneLineRefusal(runHost({"-p", netvanePlugin(), "-c", "127.0.0.1", "read", "4x0", "UInt16"}),
                         ExitConnectFailed, "returned -4");
    expectOneLineRefusal(runHost({"-p", netvanePlugin(), "-c", "127.0.0.1:0", "read", "4x0", "UInt16"}),
                         ExitConnectFailed, "returned -1");
    expectOneLineRefusal(runHost({"-p", serivanePlugin(), "-c", "/dev/vane-no-such-port,9600,8,1,N", "read", "4x0", "UInt16"}),
                         ExitConnectFailed, "returned -1");
}

TEST(HostOffline, RefusedReadInJsonCarriesStatusAndNoValues)
{
    const HostRun run = runHost({"-p", netvanePlugin(), "read", "9x1", "UInt16", "--json"});
    ASSERT_TRUE(run.finished && !run.crashed) << run.describe().toStdString();
    EXPECT_EQ(run.exitCode, ExitTransactionFailed);
    const QJsonObject json = onlyJsonLine(run);
    EXPECT_EQ(json.value("command").toString(), QStringLiteral("read"));
    EXPECT_EQ(json.value("address").toString(), QStringLiteral("9x1"));
    EXPECT_EQ(json.value("type").toString(), QStringLiteral("UInt16"));
    EXPECT_EQ(json.value("count").toInt(), 1);
    EXPECT_EQ(json.value("status").toInt(), 3);
    EXPECT_EQ(json.value("meaning").toString(), QStringLiteral("area not recognised"));
    EXPECT_TRUE(json.value("values").isArray());
    EXPECT_TRUE(json.value("values").toArray().isEmpty());
    EXPECT_TRUE(json.value("timestamp").isString());
    EXPECT_TRUE(json.value("round_trip_ms").isDouble());
}

TEST(HostOffline, TheDriversChecksAndMissingLinksShowAsStatuses)
{
    const auto statusOf = [](const QStringList& arguments) {
        const HostRun run = runHost(arguments + QStringList{"--json"});
        EXPECT_EQ(run.exitCode, ExitTransactionFailed) << run.describe().toStdString();
        return onlyJsonLine(run).value("status").toInt(-1);
    };
    EXPECT_EQ(statusOf({"-p", netvanePlugin(), "write", "3x0", "UInt16", "1"}), 6);
    EXPECT_EQ(statusOf({"-p", netvanePlugin(), "read", "4x65535", "UInt16"}), 5);
    EXPECT_EQ(statusOf({"-p", netvanePlugin(), "read", "4x0", "NoType"}), 2);
    EXPECT_EQ(statusOf({"-p", netvanePlugin(), "read", "4x0", "UInt16"}), 8);
    EXPECT_EQ(statusOf({"-p", serivanePlugin(), "read", "4x0", "UInt16"}), 9);
}

TEST(HostOffline, PollAndBenchReportFailuresWithExitCode1)
{
    const HostRun poll = runHost({"-p", netvanePlugin(), "poll", "9x1:UInt16", "4x0:Foo_bar"});
    expectOneLineRefusal(poll, ExitUsage, "unknown data type 'Foo_bar'");

    const HostRun cycles = runHost({"-p", netvanePlugin(), "poll", "9x1:UInt16", "1x5:Bool", "--cycles", "2", "-i", "0"});
    EXPECT_EQ(cycles.exitCode, ExitTransactionFailed) << cycles.describe().toStdString();
    const QStringList lines = cycles.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << cycles.describe().toStdString(); // two tags, two cycles, plain lines
    EXPECT_TRUE(lines.at(3).startsWith(QStringLiteral("cycle 2  1x5 Bool x1  status 8 (no reply)")))
        << lines.at(3).toStdString();

    const HostRun bench = runHost({"-p", netvanePlugin(), "bench", "9x1", "UInt16", "-n", "5", "--json"});
    EXPECT_EQ(bench.exitCode, ExitTransactionFailed) << bench.describe().toStdString();
    const QJsonObject json = onlyJsonLine(bench);
    EXPECT_EQ(json.value("transactions").toInt(), 5);
    EXPECT_EQ(json.value("statuses").toObject().value("3").toInt(), 5);
    EXPECT_TRUE(json.value("latency_ms").toObject().contains("p99"));
}
