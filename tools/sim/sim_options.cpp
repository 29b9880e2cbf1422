#include "tools/sim/sim_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vanesim {

namespace {

bool parseNumber(const char *text, int low, int high, int *value)
{
    if (!text || !*text)
        return false;
    char *end = nullptr;
    errno = 0;
    const long number = std::strtol(text, &end, 10);
    if (*end != '\0' || errno != 0 || number < low || number > high)
        return false;
    *value = int(number);
    return true;
}

// RATE[,SEED]: RATE a share 0..1, SEED a non-negative number.
bool parseFaults(const char *text, SimOptions *options)
{
    if (!text || !*text)
        return false;
    char *end = nullptr;
    errno = 0;
    const double rate = std::strtod(text, &end);
    if (end == text || errno != 0 || !(rate >= 0 && rate <= 1))
        return false;
    options->faultRate = rate;
    if (*end == '\0')
        return true;
    if (*end != ',' || !end[1])
        return false;
    const char *seed = end + 1;
    const unsigned long long number = std::strtoull(seed, &end, 10);
    if (*end != '\0' || errno != 0 || *seed == '-' || number > 0xFFFFFFFFull)
        return false;
    options->faultSeed = uint32_t(number);
    return true;
}

} // namespace

const char *usageText()
{
    return "usage: vane-sim [--tcp-port N] [--rtu | --rtu-link PATH] [--mirror PATH] [--station N[,N...]]\n"
           "                [--debug] [--echo] [--delay MS] [--refuse FC[,FC...]]\n"
           "                [--faults RATE[,SEED]] [--clean-tcp-port N]\n"
           "       vane-sim --map | --help\n"
           "A simulated Modbus device with a documented register map (see --map).\n"
           "  --tcp-port N     serve Modbus TCP on 127.0.0.1:N (0 picks a free port)\n"
           "  --rtu            serve Modbus RTU on a new pty; the driver opens the printed path\n"
           "  --rtu-link PATH  like --rtu, and make PATH a symlink to the driver's end\n"
           "  --mirror PATH    copy the RTU line's traffic, both ways and with its gaps, to a\n"
           "                   new pty and make PATH a symlink to it (for vane-host monitor)\n"
           "  --station N[,N...]  RTU station numbers, 1..247 (default 1): several stations on\n"
           "                   one line, each with its own tables (all start as --map shows);\n"
           "                   other stations get no answer; a broadcast (station 0) is\n"
           "                   written to every station and never answered\n"
           "  --echo           RTU: hand every request back as received before answering, as\n"
           "                   a two-wire RS-485 adapter does (requests to other stations too)\n"
           "  --delay MS       RTU: wait MS milliseconds (0..60000) before every answer\n"
           "  --refuse FC[,FC...]  RTU: answer these function codes with exception 01 (illegal\n"
           "                   function); may be given more than once\n"
           "  --debug          let libmodbus print every frame\n"
           "  --faults RATE[,SEED]  answer a share RATE (0..1) of requests wrongly, chosen by\n"
           "                   SEED (default 1): late, silent, in pieces, bad CRC (RTU), from\n"
           "                   another station, exception, wrong length, the previous answer;\n"
           "                   counters go to standard error every minute and at the end\n"
           "  --clean-tcp-port N  also serve the same tables without faults on 127.0.0.1:N,\n"
           "                   to check from outside what the device holds\n"
           "  --map            print the register map and exit\n"
           "Without --tcp-port or --rtu, TCP on port 1502 is served. One line per transport,\n"
           "'listening tcp 127.0.0.1:PORT', 'listening rtu PATH' or\n"
           "'listening clean-tcp 127.0.0.1:PORT', goes to standard output\n"
           "once it is ready. SIGINT or SIGTERM stops the device.\n";
}

bool parseOptions(int argc, char **argv, SimOptions *options, std::string *error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char *next = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--tcp-port") {
            if (!parseNumber(next, 0, 65535, &options->tcpPort)) {
                *error = "--tcp-port needs a port number 0..65535";
                return false;
            }
            options->tcp = true;
            ++i;
        } else if (arg == "--rtu") {
            options->rtu = true;
        } else if (arg == "--rtu-link") {
            if (!next || !*next) {
                *error = "--rtu-link needs a path";
                return false;
            }
            options->rtu = true;
            options->rtuLink = next;
            ++i;
        } else if (arg == "--mirror") {
            if (!next || !*next) {
                *error = "--mirror needs a path";
                return false;
            }
            options->mirrorPath = next;
            ++i;
        } else if (const int used = takeLineOption(arg, next, &options->line, error)) {
            if (used < 0)
                return false;
            i += used - 1;
        } else if (arg == "--faults") {
            if (!parseFaults(next, options)) {
                *error = "--faults needs RATE[,SEED] with RATE 0..1";
                return false;
            }
            ++i;
        } else if (arg == "--clean-tcp-port") {
            if (!parseNumber(next, 0, 65535, &options->cleanTcpPort)) {
                *error = "--clean-tcp-port needs a port number 0..65535";
                return false;
            }
            ++i;
        } else if (arg == "--debug") {
            options->debug = true;
        } else if (arg == "--map") {
            options->printMap = true;
        } else if (arg == "--help" || arg == "-h") {
            options->help = true;
        } else {
            *error = "unknown argument '" + arg + "'";
            return false;
        }
    }
    if (!options->mirrorPath.empty() && !options->rtu) {
        *error = "--mirror needs --rtu or --rtu-link";
        return false;
    }
    if (!options->tcp && !options->rtu) {
        options->tcp = true;
        options->tcpPort = kDefaultTcpPort;
    }
    return true;
}

} // namespace vanesim
