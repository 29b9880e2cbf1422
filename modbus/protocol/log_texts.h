#pragma once

// The texts of the drivers' log lines, in one place: the links write them, and the host program
// recognises them to gloss a line and to find the answer it dumps. UTF-8, as the lines carry them.

#include <QString>

#include <initializer_list>

namespace vane::logtext {

// In front of every line but the RTU write dumps and the serial-open failure.
constexpr const char* kTcpPrefix = "lib[ModbusTCP]";
constexpr const char* kRtuPrefix = "lib[ModbusRTU]";

// Request and answer dumps (debug stream).
constexpr const char* kReadRequest = "读命令";
constexpr const char* kReadAnswer = "读响应";
constexpr const char* kWriteRequest = "写命令";
constexpr const char* kWriteAnswer = "写响应";
constexpr const char* kRtuWriteAnswer = "响应";

// Failed checks of an answer (warnings).
constexpr const char* kNoAnswer = "返回的报文长度为0";
constexpr const char* kWrongFunction = "返回的功能码错误";
constexpr const char* kWrongLength = "报文返回长度错误";
constexpr const char* kWrongTransaction = "报文返回序号错误";
constexpr const char* kBadCrc = "报文校验码错误";
constexpr const char* kWrongStation = "返回的站号错误";

// The link's own messages.
constexpr const char* kSocketState = "Socket状态错误";
constexpr const char* kBadAddress = "IP错误";
constexpr const char* kOpenFailed = "打开失败!";
// The disconnect warnings: peer address, port, station of the last request that recorded it.
constexpr const char* kTcpDisconnect = "Socket状态错误 %1:%2 ID=%3";
constexpr const char* kRtuDisconnect = "%1:%2 ID=%3";

// What follows the text of a transaction line: peer address, port, station, what was asked
// (tag address or area and offset), length, and the frame in hex.
constexpr const char* kTransactionTail = " %1:%2 ID=%3 %4 len = %5 msg : %6";
// The RTU read dumps put 0x in front of the tag address.
constexpr const char* kRtuReadDumpTail = " %1:%2 ID=%3 0x%4 len = %5 msg : %6";
// The RTU write dumps put a space in front of "=".
constexpr const char* kRtuWriteDumpTail = " %1:%2 ID =%3 %4 len = %5 msg : %6";
// "msg : " ends every dump: the frame follows it.
constexpr const char* kFrameMark = "msg : ";

// Fills %1 ... %9 of `pattern` with `args` in one pass, so an argument holding "%2" stays as it
// is. A placeholder without an argument stays too.
QString fill(const QString& pattern, std::initializer_list<QString> args);

// prefix + text + tail, filled with `args`.
QString line(const char* prefix, const char* text, const char* tail, std::initializer_list<QString> args);

} // namespace vane::logtext
