#include "tools/sim/station_tables.h"

namespace vanesim {

StationTables::StationTables(const std::vector<int> &stations)
{
    for (int station : stations)
        tables_.emplace_back(station, std::make_unique<SimMap>());
    if (tables_.empty())
        tables_.emplace_back(1, std::make_unique<SimMap>());
}

SimMap *StationTables::find(int station) const
{
    for (const auto &entry : tables_)
        if (entry.first == station)
            return entry.second.get();
    return nullptr;
}

void StationTables::tick(int64_t seconds)
{
    for (const auto &entry : tables_)
        entry.second->tick(seconds);
}

} // namespace vanesim
