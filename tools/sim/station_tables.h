#pragma once

// The tables of every station the device serves: the first station's are the device's main
// tables, which the TCP services serve as well; each further station has tables of its own,
// which start with the same documented map.

#include "tools/sim/sim_map.h"

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace vanesim {

class StationTables
{
public:
    explicit StationTables(const std::vector<int> &stations);

    SimMap &first() { return *tables_.front().second; }
    // The tables of `station`, nullptr when the device does not serve it.
    SimMap *find(int station) const;
    const std::vector<std::pair<int, std::unique_ptr<SimMap>>> &all() const { return tables_; }
    // Moves every station's counters to `seconds` since start.
    void tick(int64_t seconds);

private:
    std::vector<std::pair<int, std::unique_ptr<SimMap>>> tables_;
};

} // namespace vanesim
