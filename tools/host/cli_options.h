#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "tag_list.h"

namespace vane::host {

enum class Command { Help, Info, Read, Write, Poll, Bench, Scan };

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
};

struct ParsedCommandLine {
    bool ok = false;
    Options options;
    QString error;                 // one line when !ok
};

// Parses the arguments after the program name. Options may stand before or after the command;
// "--" ends them, and negative numbers ("-5", "-1.5e3", "-inf") count as arguments, not options.
// Reads the tag file of --tags, so that a bad file is a usage error found before any loading.
ParsedCommandLine parseCommandLine(const QStringList& arguments);

// The text of --help: commands, options, tag and value forms, data types and exit codes.
QString helpText();

} // namespace vane::host
