#include <gtest/gtest.h>

#include "tools/sim/sim_options.h"

#include <string>
#include <vector>

using namespace vanesim;

namespace {

// Parses the arguments after the program name; *error gets the message of a refusal.
bool parse(std::vector<std::string> arguments, SimOptions *options, std::string *error)
{
    arguments.insert(arguments.begin(), "vane-sim");
    std::vector<char *> argv;
    for (std::string &argument : arguments)
        argv.push_back(argument.data());
    return parseOptions(int(argv.size()), argv.data(), options, error);
}

SimOptions accepted(const std::vector<std::string> &arguments)
{
    SimOptions options;
    std::string error;
    EXPECT_TRUE(parse(arguments, &options, &error)) << error;
    return options;
}

std::string refused(const std::vector<std::string> &arguments)
{
    SimOptions options;
    std::string error;
    EXPECT_FALSE(parse(arguments, &options, &error)) << arguments.front();
    return error;
}

} // namespace

TEST(SimOptions, OneStationAndAPlainLineByDefault)
{
    const SimOptions options = accepted({"--rtu"});
    EXPECT_EQ(options.line.stations, std::vector<int>{1});
    EXPECT_FALSE(options.line.echo);
    EXPECT_EQ(options.line.delayMs, 0);
    EXPECT_TRUE(options.line.refused.empty());
    EXPECT_EQ(accepted({"--station", "247"}).line.stations, std::vector<int>{247});
}

TEST(SimOptions, FieldLineOptionsBesideTheOldOnes)
{
    const SimOptions options = accepted({"--rtu-link", "/tmp/x", "--station", "3,1,2", "--echo", "--delay", "250",
                                         "--refuse", "6", "--faults", "0.5,7", "--refuse", "15,16",
                                         "--clean-tcp-port", "0"});
    EXPECT_EQ(options.line.stations, (std::vector<int>{3, 1, 2})) << "the first named is the one TCP serves";
    EXPECT_TRUE(options.line.echo);
    EXPECT_EQ(options.line.delayMs, 250);
    EXPECT_EQ(options.line.refused, (std::set<int>{6, 15, 16}));
    EXPECT_EQ(options.rtuLink, "/tmp/x");
    EXPECT_DOUBLE_EQ(options.faultRate, 0.5);
    EXPECT_EQ(options.faultSeed, 7u);
    EXPECT_EQ(options.cleanTcpPort, 0);
    EXPECT_FALSE(options.tcp) << "an RTU device serves no TCP unless asked";
}

TEST(SimOptions, BadLineValuesAreRefusedByName)
{
    for (const char *bad : {"0", "248", "1,,2", "1,2,", ",1", "1,1", "a", "+1", "-1", "1;2", ""})
        EXPECT_NE(refused({"--station", bad}).find("--station"), std::string::npos) << bad;
    EXPECT_NE(refused({"--station"}).find("--station"), std::string::npos);
    for (const char *bad : {"-1", "60001", "1,2", "soon", ""})
        EXPECT_NE(refused({"--delay", bad}).find("--delay"), std::string::npos) << bad;
    for (const char *bad : {"0", "128", "6,", "x"})
        EXPECT_NE(refused({"--refuse", bad}).find("--refuse"), std::string::npos) << bad;
    EXPECT_NE(refused({"--echo", "--bogus"}).find("'--bogus'"), std::string::npos);
}

TEST(SimOptions, UsageNamesTheLineOptions)
{
    const std::string usage = usageText();
    for (const char *flag : {"--station N[,N...]", "--echo", "--delay MS", "--refuse FC", "--faults", "--clean-tcp-port"})
        EXPECT_NE(usage.find(flag), std::string::npos) << flag;
}
