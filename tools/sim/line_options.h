#pragma once

// What the RTU service does on its line, from the command line: the stations it serves, and
// how it behaves as a field device or adapter does (echo, a slow answer, refused functions).

#include <set>
#include <string>
#include <vector>

namespace vanesim {

struct LineOptions {
    std::vector<int> stations{1}; // served stations, 1..247, each with its own tables
    bool echo = false;            // every request is handed back as received before the answer
    int delayMs = 0;              // wait before every answer
    std::set<int> refused;        // function codes answered with exception 01
};

// Takes one of --station LIST, --echo, --delay MS, --refuse FC[,FC...] (repeatable) with its
// value `next`. Returns how many arguments it used (1 or 2), 0 when `arg` is none of these,
// -1 with *error set when the value is bad.
int takeLineOption(const std::string &arg, const char *next, LineOptions *line, std::string *error);

// The served stations as "1, 2, 3", for the start-up line.
std::string stationList(const LineOptions &line);

} // namespace vanesim
