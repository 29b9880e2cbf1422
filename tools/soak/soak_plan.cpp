#include "soak_plan.h"

#include <cstdint>

#include "tools/common/value_text.h"

namespace vane::soak {

namespace {

// Holding and input registers 0..63 as the device's map documents them (64..99 hold 0).
const uint16_t kMapRegisters[64] = {
    0x42F6, 0xE979, 0xE979, 0x42F6, 0xF642, 0x79E9, 0x79E9, 0xF642, 0, 0,
    0xFFFE, 0x1DC0, 0x1DC0, 0xFFFE, 0xFEFF, 0xC01D, 0xC01D, 0xFEFF, 0, 0,
    0xB2D0, 0x5E00, 0x5E00, 0xB2D0, 0x4009, 0x21FB, 0x5444, 0x2D18, 0x0940, 0xFB21,
    0x4454, 0x182D, 0x2D18, 0x5444, 0x21FB, 0x4009, 0x182D, 0x4454, 0xFB21, 0x0940,
    0xFFFF, 0xFEE0, 0x8E04, 0xFB35, 0xAB54, 0xA98C, 0xEB1F, 0x0AD2, 0xD431, 0xFB2E,
    0x31D4, 0x2EFB, 0, 0, 0, 0, 0, 0, 0, 0,
    0x5641, 0x4E45, 0x2D53, 0x494D,
};

QStringList repeated(const QString& text, int count)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << text;
    return list;
}

uint64_t mix(uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

int byteWidth(ElementKind kind)
{
    switch (kind) {
    case ElementKind::Int8: case ElementKind::UInt8: return 1;
    case ElementKind::Int16: case ElementKind::UInt16: return 2;
    case ElementKind::Int32: case ElementKind::UInt32: return 4;
    default: return 8;
    }
}

} // namespace

std::vector<ReadCheck> readChecks()
{
    std::vector<ReadCheck> checks;
    for (const char* area : {"4x", "3x"}) {
        const auto add = [&](int offset, DataType type, const QString& value) {
            checks.push_back({QString::fromLatin1(area) + QString::number(offset), type, 1, {value}});
        };
        for (DataType type : {Float, Float_ABCD})
            add(0, type, QStringLiteral("123.456"));
        add(2, Float_CDAB, QStringLiteral("123.456"));
        add(4, Float_BADC, QStringLiteral("123.456"));
        add(6, Float_DCBA, QStringLiteral("123.456"));
        for (DataType type : {Int32, Int32_ABCD})
            add(10, type, QStringLiteral("-123456"));
        add(12, Int32_CDAB, QStringLiteral("-123456"));
        add(14, Int32_BADC, QStringLiteral("-123456"));
        add(16, Int32_DCBA, QStringLiteral("-123456"));
        add(14, UInt32_BADC, QStringLiteral("4294843840"));
        add(16, UInt32_DCBA, QStringLiteral("4294843840"));
        for (DataType type : {UInt32, UInt32_ABCD})
            add(20, type, QStringLiteral("3000000000"));
        add(22, UInt32_CDAB, QStringLiteral("3000000000"));
        for (DataType type : {Double, Double_ABCDEFGH})
            add(24, type, QStringLiteral("3.141592653589793"));
        add(28, Double_BADCFEHG, QStringLiteral("3.141592653589793"));
        add(32, Double_GHEFCDAB, QStringLiteral("3.141592653589793"));
        add(36, Double_HGFEDCBA, QStringLiteral("3.141592653589793"));
        add(40, Int64, QStringLiteral("-1234567890123"));
        add(44, UInt64, QStringLiteral("12345678901234567890"));
        for (DataType type : {UInt16, UInt16_AB})
            add(48, type, QStringLiteral("54321"));
        for (DataType type : {Int16, Int16_AB})
            add(49, type, QStringLiteral("-1234"));
        add(50, UInt16_BA, QStringLiteral("54321"));
        add(51, Int16_BA, QStringLiteral("-1234"));
        // Bytes of a register, the high one first.
        checks.push_back({QString::fromLatin1(area) + "48", UInt8, 2, {"212", "49"}});
        checks.push_back({QString::fromLatin1(area) + "48", Int8, 4, {"-44", "49", "-5", "46"}});
        QStringList words;
        for (int i = 0; i < 100; ++i)
            words << QString::number(i < 64 ? kMapRegisters[i] : 0);
        checks.push_back({QString::fromLatin1(area) + "0", UInt16, 100, words});
        checks.push_back({QString::fromLatin1(area) + "300", UInt16, 125, repeated("0", 125)});
    }
    checks.push_back({"4x875", Int16, 125, repeated("0", 125)});

    const QStringList coils = {"1", "0", "1", "0", "0", "1", "0", "1", "1", "1", "0", "0", "1", "1", "1", "1"};
    checks.push_back({"0x0", Bool, 16, coils});
    checks.push_back({"0x0", UInt8, 2, {"165", "243"}});
    QStringList inputs;
    for (int i = 0; i < 99; ++i)
        inputs << (i % 3 == 0 ? "1" : "0");
    checks.push_back({"1x0", Bool, 99, inputs});
    QStringList packed;
    for (int byte = 0; byte < 12; ++byte) {
        int value = 0;
        for (int bit = 0; bit < 8; ++bit)
            value |= ((byte * 8 + bit) % 3 == 0) << bit;
        packed << QString::number(value);
    }
    checks.push_back({"1x0", UInt8, 12, packed});
    checks.push_back({"1x101", Bool, 899, repeated("0", 899)});
    checks.push_back({"1x101", UInt16, 4, repeated("0", 4)});
    return checks;
}

std::vector<WriteCheck> writeChecks(int registerBase, int coilBase, bool plainOnly)
{
    const auto reg = [registerBase](int offset) { return QStringLiteral("4x%1").arg(registerBase + offset); };
    const auto coil = [coilBase](int offset) { return QStringLiteral("0x%1").arg(coilBase + offset); };
    std::vector<WriteCheck> checks = {
        {reg(0), UInt16, 1},  {reg(1), Int16, 1},   {reg(2), Int32, 1},   {reg(4), UInt32, 1},
        {reg(6), Float, 1},   {reg(8), Int64, 1},   {reg(12), UInt64, 1}, {reg(16), Double, 1},
        {reg(20), Int8, 2},   {reg(21), UInt8, 2},  {reg(22), UInt16, 20}, {reg(42), Float, 2},
        {reg(46), Int16, 4},  {coil(0), Bool, 1},   {coil(1), Bool, 40},  {coil(50), UInt8, 12},
        {coil(70), Int8, 20},  {coil(100), Bool, 300},
    };
    if (!plainOnly) {
        const std::vector<WriteCheck> orders = {
            {reg(0), UInt16_BA, 1},        {reg(1), Int16_BA, 1},        {reg(2), Int32_BADC, 1},
            {reg(2), Int32_CDAB, 1},       {reg(4), UInt32_DCBA, 1},     {reg(6), Float_CDAB, 1},
            {reg(6), Float_DCBA, 1},       {reg(16), Double_GHEFCDAB, 1}, {reg(16), Double_BADCFEHG, 1},
            {reg(24), Double_HGFEDCBA, 2},
        };
        checks.insert(checks.end(), orders.begin(), orders.end());
    }
    return checks;
}

QStringList writeValues(const WriteCheck& check, unsigned round, bool opposite)
{
    const ElementKind kind = elementKindOf(check.type);
    QStringList texts;
    for (int i = 0; i < check.count; ++i) {
        const uint64_t bits = mix(uint64_t(round) * 4096 + uint64_t(i));
        if (kind == ElementKind::Bool) {
            texts << (((bits & 1) != 0) != opposite ? "1" : "0");
        } else if (kind == ElementKind::Float || kind == ElementKind::Double) {
            const double value = double(bits % 100000) / 4 + 0.25;
            texts << QString::number(opposite ? -value : value, 'g', 17);
        } else {
            const int width = byteWidth(kind);
            uint64_t pattern = opposite ? ~bits : bits;
            if (width < 8)
                pattern &= (uint64_t(1) << (8 * width)) - 1;
            texts << QStringLiteral("0x%1").arg(pattern, 2 * width, 16, QLatin1Char('0'));
        }
    }
    return texts;
}

} // namespace vane::soak
