#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace vane::host {

// One tag's line in a poll cycle, already in text.
struct PollRow {
    QString address;
    QString type;
    int count = 1;
    int status = 1;
    QString values;
    double roundTripMs = 0;
    int exception = -1; // of an exception answer
};

// The table of one cycle: a title line, a header, one row per tag, columns aligned. Lines longer
// than `width` columns are cut with "..." (width 0: no limit). A note (the link's state) goes on
// the title line.
QStringList renderTable(int cycle, int intervalMs, const QList<PollRow>& rows, int width, const QString& note = {});

// One self-contained line per tag and cycle, for pipes and files.
QString renderPlainLine(int cycle, const PollRow& row);

// Draws successive tables over each other on a terminal. When something else was written in
// between (the driver's log lines on stderr), the next table starts below it instead.
class TableScreen {
public:
    void draw(const QStringList& lines);

private:
    int linesDrawn = 0;
    int logLinesSeen = 0;
};

} // namespace vane::host
