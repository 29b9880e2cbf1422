#include "tools/sim/line_options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace vanesim {

namespace {

constexpr int kMaxDelayMs = 60000;

// "A,B,C" of whole numbers within low..high; false on anything else, empty items included.
bool parseList(const char *text, int low, int high, std::vector<int> *values)
{
    if (!text || !*text)
        return false;
    std::vector<int> parsed;
    const char *at = text;
    for (;;) {
        char *end = nullptr;
        errno = 0;
        const long number = std::strtol(at, &end, 10);
        if (end == at || *at == '+' || *at == '-' || errno != 0 || number < low || number > high)
            return false;
        parsed.push_back(int(number));
        if (*end == '\0')
            break;
        if (*end != ',')
            return false;
        at = end + 1;
    }
    *values = parsed;
    return true;
}

} // namespace

int takeLineOption(const std::string &arg, const char *next, LineOptions *line, std::string *error)
{
    std::vector<int> values;
    if (arg == "--echo") {
        line->echo = true;
        return 1;
    }
    if (arg == "--station") {
        std::vector<int> sorted;
        const bool ok = parseList(next, 1, 247, &values);
        sorted = values;
        std::sort(sorted.begin(), sorted.end());
        if (!ok || std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) {
            *error = "--station needs station numbers 1..247, each once, e.g. 1 or 1,2,3";
            return -1;
        }
        line->stations = values;
        return 2;
    }
    if (arg == "--delay") {
        if (!parseList(next, 0, kMaxDelayMs, &values) || values.size() != 1) {
            *error = "--delay needs milliseconds 0..60000";
            return -1;
        }
        line->delayMs = values.front();
        return 2;
    }
    if (arg == "--refuse") {
        if (!parseList(next, 1, 127, &values)) {
            *error = "--refuse needs function codes 1..127, e.g. 6 or 6,16";
            return -1;
        }
        line->refused.insert(values.begin(), values.end());
        return 2;
    }
    return 0;
}

std::string stationList(const LineOptions &line)
{
    std::string text;
    for (int station : line.stations)
        text += (text.empty() ? "" : ", ") + std::to_string(station);
    return text;
}

} // namespace vanesim
