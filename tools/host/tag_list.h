#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "contract/data_type.h"

namespace vane::host {

struct TagSpec {
    QString address;
    DataType type = NoType;
    int count = 1;
};

// Count of elements as given on a command line or in a tag file: 1 to 65535.
bool parseCount(const QString& text, int* count, QString* error);

// A tag from its fields: address, type name, and optionally the count (default 1).
bool parseTagFields(const QStringList& fields, TagSpec* tag, QString* error);

// A tag on the command line: address:type[:count], for example 4x100:Float_CDAB:2.
bool parseTagArgument(const QString& argument, TagSpec* tag, QString* error);

// The tags of a tag file's text: one tag per line, "address type [count]" separated by blanks;
// '#' starts a comment; empty lines are skipped. Errors name the line: "line 3: ...".
bool parseTagFile(const QString& text, QList<TagSpec>* tags, QString* error);

// Reads and parses a tag file; errors start with the path.
bool readTagFile(const QString& path, QList<TagSpec>* tags, QString* error);

} // namespace vane::host
