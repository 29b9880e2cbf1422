// The JSON texts of the programs' --json output.
#include <gtest/gtest.h>

#include <limits>

#include "tools/common/json_text.h"

using namespace vane;

TEST(JsonWriter, EscapesStringsAndKeepsKeyOrder)
{
    EXPECT_EQ(jsonString(QStringLiteral("a\"b\\c\nd\te\x01")), QStringLiteral("\"a\\\"b\\\\c\\nd\\te\\u0001\""));
    EXPECT_EQ(jsonString(QStringLiteral("读命令")), QStringLiteral("\"读命令\""));
    JsonObject json;
    json.addString("z", QStringLiteral("last first")).addInt("a", -5).addBool("m", true).addNumber("n", 0.25);
    EXPECT_EQ(json.toString(), QStringLiteral("{\"z\":\"last first\",\"a\":-5,\"m\":true,\"n\":0.25}"));
    EXPECT_EQ(jsonNumber(std::numeric_limits<double>::quiet_NaN()), QStringLiteral("null"));
    EXPECT_EQ(jsonNumber(-std::numeric_limits<double>::infinity()), QStringLiteral("null"));
    EXPECT_EQ(jsonArray({}), QStringLiteral("[]"));
}
