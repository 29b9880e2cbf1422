#include <gtest/gtest.h>

#include <QList>
#include <QTemporaryDir>

#include "cli_options.h"

using namespace vane::host;

namespace {

ParsedCommandLine parse(const QStringList& arguments) { return parseCommandLine(arguments); }

Options accepted(const QStringList& arguments)
{
    const ParsedCommandLine result = parse(arguments);
    EXPECT_TRUE(result.ok) << result.error.toStdString();
    return result.options;
}

QString refused(const QStringList& arguments)
{
    const ParsedCommandLine result = parse(arguments);
    EXPECT_FALSE(result.ok) << arguments.join(' ').toStdString();
    EXPECT_FALSE(result.error.isEmpty());
    EXPECT_FALSE(result.error.contains(QLatin1Char('\n'))) << result.error.toStdString();
    return result.error;
}

} // namespace

TEST(CommandLine, ReadWithOptionsBeforeAndAfterTheCommand)
{
    const Options options = accepted({"--plugin", "lib/libNetvane.so.1", "read", "4x100", "Float_CDAB", "2",
                                      "-c", "127.0.0.1:1502", "--station=17", "--json", "--debug"});
    EXPECT_EQ(options.command, Command::Read);
    EXPECT_EQ(options.pluginPath, QStringLiteral("lib/libNetvane.so.1"));
    EXPECT_TRUE(options.connect);
    EXPECT_EQ(options.connection, QStringLiteral("127.0.0.1:1502"));
    EXPECT_EQ(options.station, QStringLiteral("17"));
    EXPECT_TRUE(options.json);
    EXPECT_TRUE(options.debug);
    EXPECT_EQ(options.tag.address, QStringLiteral("4x100"));
    EXPECT_EQ(options.tag.type, Float_CDAB);
    EXPECT_EQ(options.tag.count, 2);

    const Options defaults = accepted({"-p", "x.so", "read", "4x0", "uint16"});
    EXPECT_FALSE(defaults.connect);
    EXPECT_EQ(defaults.station, QStringLiteral("1"));
    EXPECT_EQ(defaults.tag.count, 1);
    EXPECT_FALSE(defaults.json);
}

TEST(CommandLine, WriteCountsItsValuesAndTakesNegativeNumbersAsValues)
{
    const Options options = accepted({"-px.so", "write", "4x200", "Int16", "-5", "0x10", "7"});
    EXPECT_EQ(options.command, Command::Write);
    EXPECT_EQ(options.pluginPath, QStringLiteral("x.so"));
    EXPECT_EQ(options.tag.count, 3);
    EXPECT_EQ(options.values.value<QList<short>>(), (QList<short>{-5, 16, 7}));

    const Options floats = accepted({"-p", "x.so", "write", "4x0", "Float", "-1.5e3", "-inf", ".5", "-.25"});
    EXPECT_EQ(floats.tag.count, 4);

    const Options afterDashes = accepted({"-p", "x.so", "write", "4x0", "Int16", "--", "-7"});
    EXPECT_EQ(afterDashes.values.value<QList<short>>(), QList<short>{-7});
}

TEST(CommandLine, PollTakesTagsFromArgumentsAndNumbers)
{
    const Options options = accepted({"-p", "x.so", "poll", "4x100:UInt16", "3x103:Float_ABCD:2", "-i", "250", "--cycles", "3"});
    EXPECT_EQ(options.command, Command::Poll);
    ASSERT_EQ(options.tags.size(), 2);
    EXPECT_EQ(options.tags.at(1).type, Float_ABCD);
    EXPECT_EQ(options.tags.at(1).count, 2);
    EXPECT_EQ(options.intervalMs, 250);
    EXPECT_EQ(options.cycles, 3);
    EXPECT_EQ(accepted({"-p", "x.so", "poll", "4x0:Bool"}).cycles, 0) << "until interrupted by default";
}

TEST(CommandLine, BenchReadsACountOrWritesValues)
{
    const Options reads = accepted({"-p", "x.so", "bench", "4x0", "Float", "2", "-n", "500"});
    EXPECT_EQ(reads.command, Command::Bench);
    EXPECT_FALSE(reads.benchWrite);
    EXPECT_EQ(reads.tag.count, 2);
    EXPECT_EQ(reads.iterations, 500);

    const Options writes = accepted({"-p", "x.so", "bench", "--write", "4x200", "UInt16", "1", "2"});
    EXPECT_TRUE(writes.benchWrite);
    EXPECT_EQ(writes.tag.count, 2);
    EXPECT_EQ(writes.values.value<QList<unsigned short>>(), (QList<unsigned short>{1, 2}));
}

TEST(CommandLine, HelpAndInfo)
{
    EXPECT_EQ(accepted({"--help"}).command, Command::Help);
    EXPECT_EQ(accepted({"read", "-h"}).command, Command::Help) << "help wins over everything else";
    EXPECT_EQ(accepted({"help"}).command, Command::Help);
    EXPECT_EQ(accepted({"-p", "x.so", "info"}).command, Command::Info);
    const QString help = helpText();
    for (const char* mentioned : {"Exit codes", "Float_CDAB", "--cycles", "--json", "--debug", "bench --write"})
        EXPECT_TRUE(help.contains(QLatin1String(mentioned))) << mentioned;
}

TEST(CommandLine, BadCommandsAndOptions)
{
    EXPECT_TRUE(refused({}).contains(QStringLiteral("no command")));
    EXPECT_TRUE(refused({"-p", "x.so", "raed", "4x0", "UInt16"}).contains(QStringLiteral("unknown command 'raed'")));
    EXPECT_TRUE(refused({"-p", "x.so", "read", "4x0", "UInt16", "--verbose"}).contains(QStringLiteral("unknown option '--verbose'")));
    EXPECT_TRUE(refused({"-p", "x.so", "read", "4x0", "UInt16", "-x"}).contains(QStringLiteral("unknown option '-x'")));
    EXPECT_TRUE(refused({"read", "4x0", "UInt16", "--plugin"}).contains(QStringLiteral("--plugin needs a value")));
    EXPECT_TRUE(refused({"-p", "x.so", "read", "4x0", "UInt16", "--json=yes"}).contains(QStringLiteral("takes no value")));
    EXPECT_TRUE(refused({"-p", "x.so", "read", "4x0", "UInt16", "--cycles", "2"}).contains(QStringLiteral("--cycles does not apply to read")));
    EXPECT_TRUE(refused({"-p", "x.so", "info", "--hex"}).contains(QStringLiteral("--hex does not apply to info")));
    EXPECT_TRUE(refused({"read", "4x0", "UInt16"}).contains(QStringLiteral("no plug-in given")));
    EXPECT_TRUE(refused({"-p", "x.so", "info", "extra"}).contains(QStringLiteral("no arguments")));
}

TEST(CommandLine, BadTagsCountsAndValues)
{
    const QString unknownType = refused({"-p", "x.so", "read", "4x0", "Float_XYZ"});
    EXPECT_TRUE(unknownType.contains(QStringLiteral("unknown data type 'Float_XYZ'")));
    EXPECT_TRUE(unknownType.contains(QStringLiteral("Double_HGFEDCBA")));
    EXPECT_TRUE(refused({"-p", "x.so", "read", "4x0", "UInt16", "abc"}).contains(QStringLiteral("bad count 'abc'")));
    EXPECT_TRUE(refused({"-p", "x.so", "read", "4x0", "UInt16", "0"}).contains(QStringLiteral("bad count '0'")));
    EXPECT_TRUE(refused({"-p", "x.so", "read", "4x0", "UInt16", "1", "2"}).contains(QStringLiteral("usage: read")));
    EXPECT_TRUE(refused({"-p", "x.so", "read", "4x0"}).contains(QStringLiteral("usage: read")));
    EXPECT_TRUE(refused({"-p", "x.so", "write", "4x0", "UInt16"}).contains(QStringLiteral("usage: write")));
    EXPECT_TRUE(refused({"-p", "x.so", "write", "4x0", "UInt16", "70000"}).contains(QStringLiteral("'70000'")));
    EXPECT_TRUE(refused({"-p", "x.so", "write", "4x0", "Bool", "yes"}).contains(QStringLiteral("'yes'")));
    EXPECT_TRUE(refused({"-p", "x.so", "poll"}).contains(QStringLiteral("at least one tag")));
    EXPECT_TRUE(refused({"-p", "x.so", "poll", "4x0:Foo"}).contains(QStringLiteral("unknown data type 'Foo'")));
    EXPECT_TRUE(refused({"-p", "x.so", "poll", "4x0:UInt16", "-f", "/nonexistent/tags.txt"}).contains(QStringLiteral("/nonexistent/tags.txt")));
    EXPECT_TRUE(refused({"-p", "x.so", "bench", "--write", "4x0", "UInt16"}).contains(QStringLiteral("usage: bench")));
}

TEST(CommandLine, NumericOptionsAreCheckedAgainstTheirRanges)
{
    EXPECT_EQ(accepted({"-p", "x.so", "-s", "0", "read", "4x0", "UInt16"}).station, QStringLiteral("0"));
    EXPECT_EQ(accepted({"-p", "x.so", "-s", "255", "read", "4x0", "UInt16"}).station, QStringLiteral("255"));
    EXPECT_EQ(accepted({"-p", "x.so", "-i", "0", "poll", "4x0:UInt16"}).intervalMs, 0);
    EXPECT_TRUE(refused({"-p", "x.so", "-s", "256", "read", "4x0", "UInt16"}).contains(QStringLiteral("--station")));
    EXPECT_TRUE(refused({"-p", "x.so", "-s", "abc", "read", "4x0", "UInt16"}).contains(QStringLiteral("'abc'")));
    EXPECT_TRUE(refused({"-p", "x.so", "-i", "-5", "poll", "4x0:UInt16"}).contains(QStringLiteral("--interval")));
    EXPECT_TRUE(refused({"-p", "x.so", "--cycles", "0", "poll", "4x0:UInt16"}).contains(QStringLiteral("--cycles")));
    EXPECT_TRUE(refused({"-p", "x.so", "-n", "0", "bench", "4x0", "UInt16"}).contains(QStringLiteral("--iterations")));
    EXPECT_TRUE(refused({"-p", "x.so", "-n", "many", "bench", "4x0", "UInt16"}).contains(QStringLiteral("--iterations")));
}

// The drivers take "Even" as no parity and keep the port's old setting for values they do not
// know, so the host checks serial settings itself and hands on only the letter form.
TEST(CommandLine, SerialSettingsAreCheckedAndParityWordsBecomeLetters)
{
    const auto connection = [](const char* text) {
        return accepted({"-p", "x.so", "-c", text, "read", "4x0", "UInt16"}).connection;
    };
    EXPECT_EQ(connection("/dev/ttyUSB0,9600,8,1,Even"), QStringLiteral("/dev/ttyUSB0,9600,8,1,E"));
    EXPECT_EQ(connection("/dev/ttyUSB0:x,115200,7,2,odd"), QStringLiteral("/dev/ttyUSB0:x,115200,7,2,O"));
    EXPECT_EQ(connection("/dev/ttyS1,1200,5,1,none"), QStringLiteral("/dev/ttyS1,1200,5,1,N"));
    EXPECT_EQ(connection("127.0.0.1:502"), QStringLiteral("127.0.0.1:502"));
    for (const char* bad : {"/dev/ttyS1,9601,8,1,N", "/dev/ttyS1,9600,9,1,N", "/dev/ttyS1,9600,4,1,N",
                            "/dev/ttyS1,9600,8,3,N", "/dev/ttyS1,9600,8,1,X", "/dev/ttyS1,9600,8,1", ",9600,8,1,N"})
        EXPECT_TRUE(refused({"-p", "x.so", "-c", bad, "read", "4x0", "UInt16"}).contains(QStringLiteral("bad serial settings"))) << bad;
}

// Fields after the parity are the driver's line options: the driver judges them (and warns about
// names it does not know), the host hands them on as written behind the checked settings.
TEST(CommandLine, LineOptionsAfterTheParityPassThroughUnchanged)
{
    const auto connection = [](const char* text) {
        return accepted({"-p", "x.so", "-c", text, "read", "4x0", "UInt16"}).connection;
    };
    EXPECT_EQ(connection("/dev/ttyUSB0,19200,8,1,none,echo,timeout=2000"),
              QStringLiteral("/dev/ttyUSB0,19200,8,1,N,echo,timeout=2000"));
    EXPECT_EQ(connection("/dev/ttyS1:s,9600,8,2,e,fc16,rs485,rs485-rts-low,rs485-delay-before=1,rs485-delay-after=2"),
              QStringLiteral("/dev/ttyS1:s,9600,8,2,E,fc16,rs485,rs485-rts-low,rs485-delay-before=1,rs485-delay-after=2"));
    EXPECT_EQ(connection("/dev/ttyS1,9600,8,1,N,timeout=abc,Echo,,x=1=2"),
              QStringLiteral("/dev/ttyS1,9600,8,1,N,timeout=abc,Echo,,x=1=2"));
    // The first five fields are checked as ever, options or not.
    for (const char* bad : {"/dev/ttyS1,9601,8,1,N,echo", "/dev/ttyS1,9600,9,1,N,fc16", "/dev/ttyS1,9600,8,echo,N",
                            "/dev/ttyS1,9600,8,1,echo", "/dev/ttyS1,9600,8,1,X,timeout=100", ",9600,8,1,N,echo"})
        EXPECT_TRUE(refused({"-p", "x.so", "-c", bad, "read", "4x0", "UInt16"}).contains(QStringLiteral("bad serial settings"))) << bad;
    for (const char* mentioned : {"echo", "timeout=MS", "fc16", "rs485", "rs485-rts-low", "rs485-delay-before=MS",
                                  "rs485-delay-after=MS"})
        EXPECT_TRUE(helpText().contains(QLatin1String(mentioned))) << mentioned;
}

TEST(CommandLine, ScanTakesAStationRangeAndATag)
{
    const Options whole = accepted({"-p", "x.so", "scan"});
    EXPECT_EQ(whole.firstStation, 1);
    EXPECT_EQ(whole.lastStation, 247);
    EXPECT_EQ(whole.tag.address, QStringLiteral("4x0"));
    const Options some = accepted({"-p", "x.so", "scan", "3-9", "--tag", "3x7:Float"});
    EXPECT_EQ(some.lastStation, 9);
    EXPECT_EQ(some.tag.type, Float);
    for (const char* bad : {"0-5", "5-3", "1-256", "1-2-3", "a-b"})
        EXPECT_TRUE(refused({"-p", "x.so", "scan", bad}).contains(QStringLiteral("bad station range"))) << bad;
}

TEST(TagCount, AcceptsOneTo65535Only)
{
    int count = 0;
    QString error;
    EXPECT_TRUE(parseCount(QStringLiteral("1"), &count, &error));
    EXPECT_EQ(count, 1);
    EXPECT_TRUE(parseCount(QStringLiteral("65535"), &count, &error));
    EXPECT_EQ(count, 65535);
    for (const char* bad : {"0", "-1", "65536", "abc", "", "2.5", "+3", "0x10"}) {
        count = 7;
        EXPECT_FALSE(parseCount(QLatin1String(bad), &count, &error)) << bad;
        EXPECT_EQ(count, 7);
        EXPECT_TRUE(error.contains(QStringLiteral("bad count"))) << error.toStdString();
    }
}

TEST(TagArgument, AddressTypeAndOptionalCount)
{
    TagSpec tag;
    QString error;
    ASSERT_TRUE(parseTagArgument(QStringLiteral("4x100:float_cdab:2"), &tag, &error)) << error.toStdString();
    EXPECT_EQ(tag.address, QStringLiteral("4x100"));
    EXPECT_EQ(tag.type, Float_CDAB);
    EXPECT_EQ(tag.count, 2);
    ASSERT_TRUE(parseTagArgument(QStringLiteral("0x7:Bool"), &tag, &error));
    EXPECT_EQ(tag.count, 1);
    // The address is the driver's to judge: the host passes it on as written.
    ASSERT_TRUE(parseTagArgument(QStringLiteral("9x1:UInt16"), &tag, &error));
    EXPECT_EQ(tag.address, QStringLiteral("9x1"));
}

TEST(TagArgument, MalformedTagsNameTheTagAndTheProblem)
{
    TagSpec tag;
    QString error;
    EXPECT_FALSE(parseTagArgument(QStringLiteral("4x100"), &tag, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("'4x100'")));
    EXPECT_FALSE(parseTagArgument(QStringLiteral("4x100:Float:2:9"), &tag, &error));
    EXPECT_FALSE(parseTagArgument(QStringLiteral(":Float"), &tag, &error));
    EXPECT_FALSE(parseTagArgument(QStringLiteral("4x100:Real"), &tag, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("unknown data type 'Real'"))) << error.toStdString();
    EXPECT_FALSE(parseTagArgument(QStringLiteral("4x100:Float:0"), &tag, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("bad count '0'"))) << error.toStdString();
}

TEST(TagFile, OneTagPerLineWithCommentsAndBlankLines)
{
    const QString text = QStringLiteral("# plant tags\n"
                                        "\n"
                                        "4x100   UInt16        # heartbeat\n"
                                        "\t3x103 Float_ABCD 2\r\n"
                                        "   # indented comment\n"
                                        "0x0 bool 16");
    QList<TagSpec> tags;
    QString error;
    ASSERT_TRUE(parseTagFile(text, &tags, &error)) << error.toStdString();
    ASSERT_EQ(tags.size(), 3);
    EXPECT_EQ(tags.at(0).address, QStringLiteral("4x100"));
    EXPECT_EQ(tags.at(0).type, UInt16);
    EXPECT_EQ(tags.at(0).count, 1);
    EXPECT_EQ(tags.at(1).address, QStringLiteral("3x103"));
    EXPECT_EQ(tags.at(1).type, Float_ABCD);
    EXPECT_EQ(tags.at(1).count, 2);
    EXPECT_EQ(tags.at(2).type, Bool);
    EXPECT_EQ(tags.at(2).count, 16);
}

TEST(TagFile, ErrorsNameTheLine)
{
    QList<TagSpec> tags;
    QString error;
    EXPECT_FALSE(parseTagFile(QStringLiteral("4x0 UInt16\n# ok\n4x1 Uint17\n"), &tags, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("line 3: unknown data type 'Uint17'"))) << error.toStdString();
    EXPECT_FALSE(parseTagFile(QStringLiteral("4x0 UInt16 1 extra"), &tags, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("line 1:"))) << error.toStdString();
    EXPECT_FALSE(parseTagFile(QStringLiteral("\n4x0 UInt16 many"), &tags, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("line 2: bad count"))) << error.toStdString();
}

TEST(TagFile, ReadingNamesThePath)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QList<TagSpec> tags;
    QString error;
    const QString missing = dir.filePath(QStringLiteral("missing.tags"));
    EXPECT_FALSE(readTagFile(missing, &tags, &error));
    EXPECT_TRUE(error.contains(missing)) << error.toStdString();

    const QString path = dir.filePath(QStringLiteral("bad.tags"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("4x0 UInt16\n4x1 Nope\n");
    file.close();
    EXPECT_FALSE(readTagFile(path, &tags, &error));
    EXPECT_TRUE(error.startsWith(path + QStringLiteral(": line 2:"))) << error.toStdString();
}
