// Bytes a run of elements takes, by data type and kind of area.
#include <gtest/gtest.h>

#include "modbus/protocol/planning.h"

using vane::modbus::byteLength;

namespace {

// Bytes per element of every type value, 0 for those without a size.
int elementBytes(int type)
{
    if (type >= 4 && type <= 5) return 2;
    if (type >= 6 && type <= 8) return 4;
    if (type >= 9 && type <= 11) return 8;
    if (type >= 13 && type <= 16) return 2;
    if (type >= 17 && type <= 24) return 4;
    if (type >= 33 && type <= 36) return 4;
    if (type >= 37 && type <= 40) return 8;
    return 0;
}

} // namespace

TEST(ByteLength, WorkedExamples)
{
    EXPECT_EQ(byteLength(Int8, 3, true), 2);
    EXPECT_EQ(byteLength(Int8, 3, false), 3);
    EXPECT_EQ(byteLength(UInt8, 1, true), 0);
    EXPECT_EQ(byteLength(UInt8, 4, true), 4);
    EXPECT_EQ(byteLength(Bool, 9, false), 2);
    EXPECT_EQ(byteLength(Bool, 8, false), 1);
    EXPECT_EQ(byteLength(Bool, 1, true), 1);
    EXPECT_EQ(byteLength(Double, 2, true), 16);
    EXPECT_EQ(byteLength(String, 5, true), 0);
}

TEST(ByteLength, EveryTypeByItsElementSize)
{
    for (int type = 0; type <= 45; ++type) {
        if (type == Bool || type == Int8 || type == UInt8)
            continue;
        SCOPED_TRACE(type);
        for (const bool registers : {true, false}) {
            EXPECT_EQ(byteLength(static_cast<DataType>(type), 3, registers), 3 * elementBytes(type));
            EXPECT_EQ(byteLength(static_cast<DataType>(type), 125, registers), 125 * elementBytes(type));
        }
    }
}
