#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "contract/data_type.h"

namespace vane::host {

// Process exit codes; --help lists them for scripts.
enum ExitCode {
    ExitOk = 0,
    ExitTransactionFailed = 1, // some read or write came back with a status other than 0
    ExitUsage = 2,             // bad command line, tag file or value
    ExitPluginLoad = 3,        // the plug-in file is missing or is no driver plug-in
    ExitConnectFailed = 4,     // ConnectDrive refused the parameters or did not connect
};

enum class Command { Help, Info, Read, Write, Poll, Bench, Scan, Monitor };

struct TagSpec {
    QString address;
    DataType type = NoType;
    int count = 1;
};

// Everything the command line asks for, checked and converted; nothing here needs the plug-in.
struct Options {
    Command command = Command::Help;
    QString pluginPath;
    QString connection;
    bool connect = false;          // --connect given; otherwise ConnectDrive is never called
    QString station = QStringLiteral("1");
    bool debug = false;
    bool json = false;
    bool hex = false;              // register values in hex

    TagSpec tag;                   // read, write, bench
    QVariant values;               // write and bench --write: the element list to send
    QList<TagSpec> tags;           // poll
    int intervalMs = 1000;
    int cycles = 0;                // 0: until interrupted
    int iterations = 100;
    bool benchWrite = false;
    int firstStation = 1;          // scan: the stations asked, tag holds what they are asked for
    int lastStation = 247;
    int timeoutMs = 1000;          // monitor: a request without an answer for this long has none
    int seconds = 0;               // monitor: stop after this long; 0: until interrupted
    int frames = 0;                // monitor: stop after this many frames shown; 0: no limit
    int stationFilter = -1;        // monitor --station: only this station; -1: all
    int functionFilter = 0;        // monitor --function: only this function; 0: all
};

struct ParsedCommandLine {
    bool ok = false;
    Options options;
    QString error;                 // one line when !ok
};

// Parses the arguments after the program name. Options may stand before or after the command;
// "--" ends them, and negative numbers ("-5", "-1.5e3", "-inf") count as arguments, not options.
// Reads the tag file of --tags, so that a bad file is a usage error found before any loading.
// The socket form of --connect (host:port) is passed on as it is. The serial form "port,baud,data
// bits,stop bits,parity" must name a standard baud rate (1200 to 115200), 5 to 8 data bits, 1 or 2
// stop bits and the parity N, E, O or None, Even, Odd in any case; the word is turned into the
// letter, since the driver reads any text that contains an n as no parity. The drivers keep the
// port's previous setting for a value they do not know, so nothing is left to them. Fields after
// the parity are the driver's line options (echo, timeout=MS, fc16, rs485 ...): passed on as they
// stand, the driver warns about those it does not know.
ParsedCommandLine parseCommandLine(const QStringList& arguments);

// The text of --help: commands, options, tag and value forms, data types and exit codes.
QString helpText();

// Count of elements as given on a command line or in a tag file: 1 to 65535.
bool parseCount(const QString& text, int* count, QString* error);

// A tag on the command line: address:type[:count], for example 4x100:Float_CDAB:2.
bool parseTagArgument(const QString& argument, TagSpec* tag, QString* error);

// The tags of a tag file's text: one tag per line, "address type [count]" separated by blanks;
// '#' starts a comment; empty lines are skipped. Errors name the line: "line 3: ...".
bool parseTagFile(const QString& text, QList<TagSpec>* tags, QString* error);

// Reads and parses a tag file; errors start with the path.
bool readTagFile(const QString& path, QList<TagSpec>* tags, QString* error);

} // namespace vane::host
