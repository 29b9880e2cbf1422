#include "Serivane.h"

namespace {

const vane::modbus::FrontPolicy kPolicy = {
    "modbusRtu", "V1.7.8 20230506", "v1.7.8 %1 %2",
    /* area codes: none, 0x, 1x, 3x, 4x */ {0, 2, 1, 3, 4},
    /* offset checked first */ false,
    // Reads test for a negative count only: a read of 0 elements is refused later, after the type.
    /* least read count */ 0,
    // Holding registers take only the ten plain types, high byte first.
    vane::modbus::RegisterTypes::PlainOnly,
    // A refused write keeps the host's own timestamp; the planning stamps the ones that were sent.
    vane::modbus::RefusalTime::Kept,
    /* port ends at colon */ false,
    // "port:anything" opens the port only around each exchange, from then on.
    /* per-exchange suffix */ true,
    /* disconnect without link */ 1,
};

} // namespace

Serivane::Serivane() : QObject(nullptr), DriverFront(kPolicy, link) {}

extern "C" CDriveBaseClass* getSharedLibrary() { return new Serivane; }
