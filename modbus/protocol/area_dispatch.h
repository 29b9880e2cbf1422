#pragma once

// The one record a driver front hands back for a read or a write, built once: refused with the
// status of the front's checks, or the result of the planning of the tag's area.

#include <QDateTime>

#include "contract/status.h"
#include "labelvalue/CLabelVariable.h"
#include "planning.h"

namespace vane::modbus {

inline CLabelVariable refusedRead(int status)
{
    CLabelVariable record;
    record.timestamp = QDateTime::currentDateTime();
    record.status = status;
    return record;
}

// `Driver` names its areas Area0x, Area1x, Area3x, Area4x and plans reads with Read_0x ... Read_4x.
template <typename Driver>
CLabelVariable readByArea(Driver& driver, int refused, int area, int offset, DataType type, int count,
                          const QString& address)
{
    if (refused != StatusInitial)
        return refusedRead(refused);
    switch (area) {
    case Driver::Area0x: return driver.Read_0x(offset, type, count, address);
    case Driver::Area1x: return driver.Read_1x(offset, type, count, address);
    case Driver::Area3x: return driver.Read_3x(offset, type, count, address);
    case Driver::Area4x: return driver.Read_4x(offset, type, count, address);
    default: return refusedRead(StatusBadArea);
    }
}

// Writes go to coils and holding registers only. A write refused here keeps the host's record,
// stamped with the refusal's time or not as `refusalTime` says.
template <typename Driver>
CLabelVariable writeByArea(Driver& driver, int refused, int area, int offset, DataType type,
                           CLabelVariable&& values, int count, RefusalTime refusalTime)
{
    if (refused == StatusInitial && area == Driver::Area0x)
        return driver.Write_0x(offset, type, std::move(values), count);
    if (refused == StatusInitial && area == Driver::Area4x)
        return driver.Write_4x(offset, type, std::move(values), count);
    CLabelVariable record = takeRecord(std::move(values));
    if (refusalTime == RefusalTime::Now)
        record.timestamp = QDateTime::currentDateTime();
    record.status = refused != StatusInitial ? refused : StatusReadOnly;
    return record;
}

// The tag a record answers for.
inline void nameRecord(CLabelVariable& record, const QString& address, int count, DataType type)
{
    record.address = address;
    record.count = count;
    record.type = type;
}

} // namespace vane::modbus
