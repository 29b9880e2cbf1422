#include "tag_address.h"

namespace vane::modbus {
namespace {

constexpr int kPrefixLength = 2;

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

bool allDigits(const QChar* text, int length)
{
    for (int i = 0; i < length; ++i)
        if (!isDigit(text[i]))
            return false;
    return true;
}

Table tableOfPrefix(const QString& address)
{
    if (address.size() < kPrefixLength || (address.at(1) != QLatin1Char('x') && address.at(1) != QLatin1Char('X')))
        return Table::None;
    switch (address.at(0).unicode()) {
    case '0': return Table::Coils;
    case '1': return Table::DiscreteInputs;
    case '3': return Table::InputRegisters;
    case '4': return Table::HoldingRegisters;
    default: return Table::None;
    }
}

} // namespace

int offsetOf(const QString& address)
{
    const int length = address.size() - kPrefixLength;
    if (length <= 0)
        return -1;
    const QChar* digits = address.constData() + kPrefixLength;
    // The usual case, plain digits that fit an int, without making a string of them.
    if (length <= 9 && allDigits(digits, length)) {
        int offset = 0;
        for (int i = 0; i < length; ++i)
            offset = offset * 10 + (digits[i].unicode() - '0');
        return offset;
    }
    bool ok = false;
    const int offset = QString(digits, length).toInt(&ok, 10);
    if (!ok && allDigits(digits, length))
        return -1;
    return offset;
}

TagAddress parseTagAddress(const QString& address)
{
    TagAddress tag;
    const int length = address.size() - kPrefixLength;
    const bool digitsOnly = length <= 0 || allDigits(address.constData() + kPrefixLength, length);
    tag.table = digitsOnly ? tableOfPrefix(address) : Table::None;
    tag.offset = offsetOf(address);
    return tag;
}

} // namespace vane::modbus
