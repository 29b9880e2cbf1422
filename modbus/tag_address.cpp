#include "tag_address.h"

namespace vane::modbus {
namespace {

bool allDigits(const QString& text)
{
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

Table tableOfPrefix(const QString& address)
{
    const QString prefix = address.left(2).toLower();
    if (prefix == QLatin1String("0x"))
        return Table::Coils;
    if (prefix == QLatin1String("1x"))
        return Table::DiscreteInputs;
    if (prefix == QLatin1String("3x"))
        return Table::InputRegisters;
    if (prefix == QLatin1String("4x"))
        return Table::HoldingRegisters;
    return Table::None;
}

} // namespace

int offsetOf(const QString& address)
{
    const QString rest = address.mid(2);
    if (rest.isEmpty())
        return -1;
    bool ok = false;
    const int offset = rest.toInt(&ok, 10);
    if (!ok && allDigits(rest))
        return -1;
    return offset;
}

TagAddress parseTagAddress(const QString& address)
{
    TagAddress tag;
    const QString rest = address.mid(2);
    tag.table = allDigits(rest) ? tableOfPrefix(address) : Table::None;
    tag.offset = offsetOf(address);
    return tag;
}

} // namespace vane::modbus
