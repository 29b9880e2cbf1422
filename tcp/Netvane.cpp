#include "Netvane.h"

namespace {

const vane::modbus::FrontPolicy kPolicy = {
    "modbusTcp", "V1.9.1 20230323", "v1.9.2.B %1 %2",
    /* area codes: none, 0x, 1x, 3x, 4x */ {0, 1, 2, 4, 3},
    /* offset checked first */ true,
    /* least read count */ 1,
    vane::modbus::RegisterTypes::All,
    // A write carries the time of its answer, or of its refusal.
    vane::modbus::RefusalTime::Now,
    // The port is the text up to the next colon; anything after it is ignored.
    /* port ends at colon */ true,
    /* per-exchange suffix */ false,
    /* disconnect without link */ -1,
};

} // namespace

Netvane::Netvane() : QObject(nullptr), DriverFront(kPolicy, link) {}

extern "C" CDriveBaseClass* getSharedLibrary() { return new Netvane; }
