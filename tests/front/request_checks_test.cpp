// The request checks both driver fronts make alike before anything is sent: the tag address,
// the count, the table's end, and requests no device would take (beyond the Modbus quantity
// limits, or asking for nothing). The order of the checks each driver has is tested with it.
#include <limits>

#include "request_table.h"

// Requests that pass reach the link, which has no transport.
DRIVER_TEST(RequestChecks, ReadsBothDriversRefuseAlike)
{
    const int most = std::numeric_limits<int>::max();
    expectStatuses({
        {false, "9x5", Int16, 0, 3},       {false, "4x1a", Int16, 1, 3},      {false, "5x100", Int16, 1, 3},
        {false, "x100", Int16, 1, 3},      {false, " 4x100", Int16, 1, 3},    {false, "ab4x100", Int16, 1, 3},
        {false, "0x10x", Bool, 1, 3},      {false, "4x", Int16, 1, 5},        {false, "0x", Int16, 0, 5},
        {false, "4x100", Int16, -1, 4},    {false, "4x65535", Int16, 1, 5},   {false, "4x65535", NoType, 1, 5},
        {false, "4x1", Int16, most, 5},    {false, "4x99999999999", Int16, 1, 5}, {false, "4x65500", Int16, 36, 5},
        {false, "4x100", NoType, 1, 2},    {false, "1x0", NoType, 1, 2},
        {false, "4x65534", Int16, 1, kSent}, {false, "4X100", Int16, 2, kSent}, {false, "0X7", Bool, 1, kSent},
        {false, "1x0", Bool, 16, kSent},   {false, "1X3", Bool, 1, kSent},    {false, "3x0", Double, 1, kSent},
        {false, "3x0", Float, 2, kSent},
    });
}

// Reads: 125 registers, 2000 bits; writes: 123 registers, 1968 coils; counted as the request's
// quantity field carries them.
DRIVER_TEST(RequestChecks, BeyondTheModbusLimitsWithStatus4)
{
    expectStatuses({
        {false, "4x0", UInt16, 125, kSent}, {false, "4x0", UInt16, 126, 4}, {false, "4x0", Int16, 65535, 4},
        {false, "3x0", Double, 31, kSent},  {false, "3x0", Double, 32, 4},  {false, "4x0", Double, 63, 4},
        {false, "4x0", Int8, 251, kSent}, {false, "4x0", Int8, 252, 4},
        {false, "0x0", Bool, 2000, kSent},  {false, "0x0", Bool, 2001, 4},
        {false, "1x0", Int8, 250, kSent},   {false, "1x0", Int8, 251, 4},   {false, "1x0", UInt64, 32, 4},
        {true, "4x0", UInt16, 123, kSent},  {true, "4x0", UInt16, 124, 4},  {true, "4x0", UInt16, 128, 4},
        {true, "4x0", Double, 30, kSent},   {true, "4x0", Double, 31, 4},
        {true, "0x0", Bool, 1968, kSent},   {true, "0x0", Bool, 1969, 4},
        // 8-bit elements write one coil each.
        {true, "0x0", UInt8, 1968, kSent},  {true, "0x0", UInt8, 1969, 4},
    });
}

// Status 2 when the type is the cause (no size, or not a type of the area at all), 4 when the
// count is (0, or one 8-bit element where a register holds two).
DRIVER_TEST(RequestChecks, AskingForNothing)
{
    expectStatuses({
        {false, "4x0", String, 1, 2},  {false, "0x0", String, 3, 2}, {false, "4x0", Bool, 1, 2},
        {false, "4x0", Int16, 0, 4},   {false, "4x65535", Int16, 0, 4}, {false, "1x0", Bool, 0, 4},   {false, "4x0", String, 0, 4},
        {false, "4x0", Int8, 1, 4},    {false, "3x0", UInt8, 1, 4},  {true, "4x0", Int8, 1, 4},
        {false, "4x0", Int8, 2, kSent}, {true, "4x0", UInt8, 2, kSent}, {false, "4x0", Bool, 16, kSent},
    });
}

// The last register or bit a request touches must lie inside the table, whatever its type
// spans; the bound is the element count's one, which leaves the table's last entry out.
DRIVER_TEST(RequestChecks, RunningPastTheTableWithStatus5)
{
    expectStatuses({
        {false, "4x65534", Double, 1, 5},   {false, "4x65531", Double, 1, kSent},
        {false, "0x65534", UInt64, 1, 5},   {false, "0x65471", UInt64, 1, kSent},
        {false, "3x65533", Int32, 1, kSent}, {false, "3x65534", Int32, 1, 5},
        {false, "1x65520", Int8, 2, 5},     {false, "1x65519", Int8, 2, kSent},
        {true, "4x65532", Double, 1, 5},    {true, "4x65531", Double, 1, kSent},
        {true, "4x65534", Int32, 1, 5},     {true, "0x65534", Bool, 1, kSent},
        {false, "4x0", Double, 20000, 5},
    });
}
