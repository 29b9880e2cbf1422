#include "tools/sim/sim_map.h"

#include "tools/sim/register_encoding.h"

#include <modbus.h>

#include <cstdio>
#include <string>
#include <vector>

namespace vanesim {

namespace {

// A constant shown in both register areas: 4x and 3x hold the same values at the same offsets.
struct KnownValue {
    int offset;
    const char *type;
    const char *text;
    std::vector<uint16_t> registers;
};

std::vector<KnownValue> knownValues()
{
    const uint32_t f = floatBits(123.456f);
    const uint32_t i32 = uint32_t(int32_t(-123456));
    const uint64_t d = doubleBits(3.141592653589793);
    return {
        {0, "Float_ABCD", "123.456", encodeRegisters(f, "ABCD")},
        {2, "Float_CDAB", "123.456", encodeRegisters(f, "CDAB")},
        {4, "Float_BADC", "123.456", encodeRegisters(f, "BADC")},
        {6, "Float_DCBA", "123.456", encodeRegisters(f, "DCBA")},
        {10, "Int32_ABCD", "-123456", encodeRegisters(i32, "ABCD")},
        {12, "Int32_CDAB", "-123456", encodeRegisters(i32, "CDAB")},
        {14, "Int32_BADC", "-123456", encodeRegisters(i32, "BADC")},
        {16, "Int32_DCBA", "-123456", encodeRegisters(i32, "DCBA")},
        {20, "UInt32_ABCD", "3000000000", encodeRegisters(3000000000u, "ABCD")},
        {22, "UInt32_CDAB", "3000000000", encodeRegisters(3000000000u, "CDAB")},
        {24, "Double_ABCDEFGH", "3.141592653589793", encodeRegisters(d, "ABCDEFGH")},
        {28, "Double_BADCFEHG", "3.141592653589793", encodeRegisters(d, "BADCFEHG")},
        {32, "Double_GHEFCDAB", "3.141592653589793", encodeRegisters(d, "GHEFCDAB")},
        {36, "Double_HGFEDCBA", "3.141592653589793", encodeRegisters(d, "HGFEDCBA")},
        {40, "Int64", "-1234567890123", encodeRegisters(uint64_t(int64_t(-1234567890123)), "ABCDEFGH")},
        {44, "UInt64", "12345678901234567890", encodeRegisters(12345678901234567890ull, "ABCDEFGH")},
        {48, "UInt16", "54321", encodeRegisters(54321, "AB")},
        {49, "Int16", "-1234", encodeRegisters(uint16_t(int16_t(-1234)), "AB")},
        {50, "UInt16_BA", "54321", encodeRegisters(54321, "BA")},
        {51, "Int16_BA", "-1234", encodeRegisters(uint16_t(int16_t(-1234)), "BA")},
        {60, "String", "VANE-SIM", encodeText("VANE-SIM")},
    };
}

constexpr uint8_t kCoilPattern[2] = {0xA5, 0xF3}; // coils 0..15, first coil in bit 0
constexpr int kHeartbeat = 100;                   // 4x
constexpr int kSeconds = 100;                     // 3x, and 101..105 after it
constexpr int kBlinkingInput = 100;               // 1x
constexpr int kPatternInputs = 100;               // 1x 0..99: on when offset % 3 == 0

void putRegisters(uint16_t *table, int offset, const std::vector<uint16_t> &registers)
{
    for (size_t i = 0; i < registers.size(); ++i)
        table[size_t(offset) + i] = registers[i];
}

std::string hexWords(const std::vector<uint16_t> &registers)
{
    std::string text;
    char word[8];
    for (uint16_t r : registers) {
        std::snprintf(word, sizeof word, "%s%04X", text.empty() ? "" : " ", r);
        text += word;
    }
    return text;
}

} // namespace

SimMap::SimMap()
    : mapping_(modbus_mapping_new(kTableSize, kTableSize, kTableSize, kTableSize))
{
    for (const KnownValue &value : knownValues()) {
        putRegisters(mapping_->tab_registers, value.offset, value.registers);
        putRegisters(mapping_->tab_input_registers, value.offset, value.registers);
    }
    for (int i = 0; i < 16; ++i)
        mapping_->tab_bits[i] = (kCoilPattern[i / 8] >> (i % 8)) & 1;
    for (int i = 0; i < kPatternInputs; ++i)
        mapping_->tab_input_bits[i] = i % 3 == 0;
    tick(0);
}

SimMap::~SimMap()
{
    modbus_mapping_free(mapping_);
}

int SimMap::answer(modbus_t *context, const uint8_t *request, int length)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return modbus_reply(context, request, length, mapping_);
}

void SimMap::tick(int64_t seconds)
{
    std::lock_guard<std::mutex> lock(mutex_);
    uint16_t *input = mapping_->tab_input_registers;
    input[kSeconds] = uint16_t(seconds);
    putRegisters(input, kSeconds + 1, encodeRegisters(uint32_t(seconds * 1000), "ABCD"));
    putRegisters(input, kSeconds + 3, encodeRegisters(floatBits(20.0f + 0.5f * float(seconds % 20)), "ABCD"));
    const int phase = int(seconds % 20); // triangle -50 .. 50 in steps of 10, period 20 s
    const int triangle = phase <= 10 ? -50 + 10 * phase : 50 - 10 * (phase - 10);
    input[kSeconds + 5] = uint16_t(int16_t(triangle));
    // The heartbeat counts on from whatever a client wrote into it.
    if (seconds != lastHeartbeatSecond_) {
        mapping_->tab_registers[kHeartbeat] = uint16_t(mapping_->tab_registers[kHeartbeat] + 1);
        lastHeartbeatSecond_ = seconds;
    }
    mapping_->tab_input_bits[kBlinkingInput] = seconds % 2;
}

void SimMap::print(std::ostream &out)
{
    char line[160];
    auto row = [&](const char *area, const std::string &offsets, const char *type, const std::string &what) {
        std::snprintf(line, sizeof line, "%-6s %-8s %-16s %s\n", area, offsets.c_str(), type, what.c_str());
        out << line;
    };
    out << "Offsets are zero-based, 0.." << kTableSize - 1
        << " in every area; reads beyond answer exception 02.\n";
    row("area", "offsets", "type", "contents");
    for (const KnownValue &value : knownValues()) {
        const int last = value.offset + int(value.registers.size()) - 1;
        const std::string offsets = std::to_string(value.offset)
            + (last > value.offset ? "-" + std::to_string(last) : std::string());
        char what[96];
        std::snprintf(what, sizeof what, "%-21s registers %s", value.text, hexWords(value.registers).c_str());
        row("4x 3x", offsets, value.type, what);
    }
    row("4x", "100", "UInt16", "heartbeat: +1 every second, counting on from a written value");
    row("4x", "200-299", "UInt16", "scratch registers for writes, 0 at start");
    row("3x", "100", "UInt16", "seconds since start");
    row("3x", "101-102", "UInt32_ABCD", "milliseconds since start, updated every second");
    row("3x", "103-104", "Float_ABCD", "temperature: 20.0 + 0.5 * (seconds mod 20)");
    row("3x", "105", "Int16", "triangle wave -50..50, 10 per second");
    row("0x", "0-15", "Bool", "1010 0101 1100 1111 (coil 0 first; bytes A5 F3); writable");
    row("0x", "16-999", "Bool", "off at start; writable");
    row("1x", "0-99", "Bool", "on where offset mod 3 == 0");
    row("1x", "100", "Bool", "blinks: on in odd seconds");
    out << "4x: holding registers (read/write), 3x: input registers, 0x: coils (read/write),\n"
           "1x: discrete inputs. Registers not listed hold 0. TCP answers every unit\n"
           "identifier; RTU answers only the station numbers given with --station.\n";
}

} // namespace vanesim
