#pragma once

// What the soak reads and writes: reads of every data type whose values the simulated
// device's map fixes (never its moving counters), and writes of every type into scratch
// registers and coils, with values that change every round.

#include <QString>
#include <QStringList>

#include <vector>

#include "contract/data_type.h"

namespace vane::soak {

struct ReadCheck {
    QString address;
    DataType type;
    int count;
    QStringList expected; // element texts as vane-host's value parser takes them
};

struct WriteCheck {
    QString address;
    DataType type;
    int count;
};

std::vector<ReadCheck> readChecks();

// Writes into 50 scratch registers from `registerBase` and 500 coils from `coilBase`, so
// that two soaks on one device stay apart. `plainOnly`: holding registers in the ten plain
// types only (the RTU driver writes no other byte order).
std::vector<WriteCheck> writeChecks(int registerBase, int coilBase, bool plainOnly);

// The element texts written in `round`; with `opposite`, values that differ from them in
// every element, put in place first so that a write that did not happen cannot pass.
QStringList writeValues(const WriteCheck& check, unsigned round, bool opposite);

} // namespace vane::soak
