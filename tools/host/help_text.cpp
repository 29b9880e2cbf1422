// The --help text, kept apart from the parser so that both stay readable.
#include "cli_options.h"
#include "data_types.h"
#include "status_text.h"

namespace vane::host {

QString helpText()
{
    QString text = QStringLiteral(R"(Usage: vane-host --plugin <file> [options] <command> [arguments]

Loads a Modbus driver plug-in the way the panel runtime does (dlopen, getSharedLibrary), sets the
station number, connects, and reads or writes tags through the driver.

Commands:
  info                               driver name, driver version, driver build information and
                                     the version of these tools; with -c it also connects
  read  <address> <type> [count]     read count elements (default 1): status, values, timestamp
  write <address> <type> <value>...  write the values (the count is the number of values)
  poll  [address:type[:count]]...    read the tags every --interval ms, as a table redrawn in
                                     place on a terminal, as plain lines otherwise; until Ctrl-C
                                     or --cycles
  bench <address> <type> [count]     --iterations back-to-back reads; prints transactions/s,
                                     latency p50, p99 and max, and the statuses seen
  bench --write <address> <type> <value>...   the same with writes
  scan  [FIRST-LAST]                 asks stations FIRST to LAST (default 1-247) for one tag
                                     (--tag, default 4x0:UInt16) and lists those that answered,
                                     with the value or the Modbus exception; a silent RTU station
                                     costs about 0.55 s, a whole bus about 2.3 minutes

Options:
  -p, --plugin <file>      the plug-in, e.g. build/lib/libNetvane.so.1 or build/lib/libSerivane.so.1;
                           a bare file name is also looked up in the library search path
  -c, --connect <params>   connection parameters, e.g. 127.0.0.1:502 or /dev/ttyUSB0,9600,8,1,N;
                           serial settings are checked first: baud 1200 2400 4800 9600 19200
                           38400 57600 115200, data bits 5-8, stop bits 1 or 2, parity N, E, O
                           or None, Even, Odd (passed on as the letter)
                           (the RTU plug-in also takes /dev/ttyUSB0:x,9600,8,1,N: port opened per
                           exchange); without it the driver stays unconnected and every request
                           that passes its checks ends with status 8 or 9
  -s, --station <n>        station number (Modbus unit identifier or slave address), 0-255; default 1
  -f, --tags <file>        poll: tag file, one tag per line "address type [count]", # comments
  -i, --interval <ms>      poll: period in milliseconds, default 1000
      --cycles <n>         poll: stop after n cycles
  -n, --iterations <n>     bench: number of transactions, default 100
      --write              bench: write instead of read
  -t, --tag <address:type> scan: the tag each station is asked for, default 4x0:UInt16
      --hex                read, write, poll, scan: integer and float values as hex bit patterns
      --debug              switch the driver's debug output on (request and answer dumps)
      --json               machine-readable output: one JSON object per result (poll: per cycle)
  -h, --help               this text

The driver's log lines go to stderr prefixed "[driver] " (warnings "[driver warning] ", followed
by an English meaning after " -- "); its debug lines appear only with --debug. A transaction that
ended with a Modbus exception answer shows the exception's code and name with status 7. poll
disconnects and connects again after status 8 or 9 (with --connect), pausing 1, 2, 4 ... 30 s.

Tag addresses: an area prefix and a decimal offset counted from 0: 0x coils (read/write),
1x discrete inputs (read only), 3x input registers (read only), 4x holding registers (read/write);
e.g. 4x100 is holding register 100.

Values: Bool takes 0, 1, true or false; integers take decimal within the type's range or 0x..
hex of the type's width (0xFFFF as Int16 is -1); Float and Double take decimal or exponent
notation, nan and inf. Negative values need no "--": write 4x0 Int16 -5 works.

Data types (any case):
)");
    const QStringList names = dataTypeNames();
    QString line = QStringLiteral(" ");
    for (const QString& name : names) {
        if (line.size() + name.size() + 2 > 98) {
            text += line + QLatin1Char('\n');
            line = QStringLiteral(" ");
        }
        line += QLatin1Char(' ') + name;
    }
    text += line + QLatin1Char('\n');
    text += QStringLiteral("\nStatus codes of a read or write:\n");
    for (int status = 0; status <= 9; ++status)
        text += QStringLiteral("  %1  %2\n").arg(status).arg(statusMeaning(status));
    text += QStringLiteral(R"(
Exit codes:
  0  every request done (status 0)
  1  a read or write ended with a status other than 0
  2  usage error: bad option, command, address/type/count, value or tag file
  3  the plug-in could not be loaded: missing file, not a shared library, no getSharedLibrary
  4  ConnectDrive refused the parameters or did not connect
)");
    return text;
}

} // namespace vane::host
