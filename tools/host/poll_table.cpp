// The poll command's screen: a table per cycle redrawn in place, or one plain line per tag.
#include "poll_table.h"

#include <QVector>

#include <algorithm>

#include "console.h"
#include "driver_log.h"
#include "record_report.h"

namespace vane::host {

namespace {

QString cut(const QString& line, int width)
{
    if (width <= 0 || line.size() <= width)
        return line;
    return line.left(std::max(width - 3, 0)) + QStringLiteral("...");
}

QString roundTripText(double ms) { return QString::number(ms, 'f', 2); }

} // namespace

QStringList renderTable(int cycle, int intervalMs, const QList<PollRow>& rows, int width, const QString& note)
{
    const QStringList header = {QStringLiteral("address"), QStringLiteral("type"), QStringLiteral("count"),
                                QStringLiteral("status"), QStringLiteral("rtt ms"), QStringLiteral("values")};
    QList<QStringList> cells;
    for (const PollRow& row : rows) {
        cells.append({row.address, row.type, QString::number(row.count), statusText(row.status, row.exception),
                      roundTripText(row.roundTripMs), row.values.isEmpty() ? QStringLiteral("-") : row.values});
    }
    QVector<int> widths(header.size());
    for (int column = 0; column < header.size(); ++column) {
        widths[column] = header.at(column).size();
        for (const QStringList& line : cells)
            widths[column] = std::max(widths[column], static_cast<int>(line.at(column).size()));
    }
    const auto joinRow = [&](const QStringList& fields) {
        QString line;
        for (int column = 0; column < fields.size(); ++column) {
            const bool last = column + 1 == fields.size();
            const bool numeric = column == 2 || column == 4;
            line += last ? fields.at(column)
                         : numeric ? fields.at(column).rightJustified(widths[column]) + QStringLiteral("  ")
                                   : fields.at(column).leftJustified(widths[column]) + QStringLiteral("  ");
        }
        return cut(line, width);
    };

    QStringList lines;
    QString title = QStringLiteral("cycle %1, every %2 ms (Ctrl-C stops)").arg(cycle).arg(intervalMs);
    if (!note.isEmpty())
        title += QStringLiteral("  |  ") + note;
    lines.append(cut(title, width));
    lines.append(joinRow(header));
    for (const QStringList& fields : cells)
        lines.append(joinRow(fields));
    return lines;
}

QString renderPlainLine(int cycle, const PollRow& row)
{
    return QStringLiteral("cycle %1  %2 %3 x%4  status %5  rtt %6 ms  values %7")
        .arg(cycle)
        .arg(row.address, row.type)
        .arg(row.count)
        .arg(statusText(row.status, row.exception), roundTripText(row.roundTripMs),
             row.values.isEmpty() ? QStringLiteral("-") : row.values);
}

void TableScreen::draw(const QStringList& lines)
{
    QString out;
    const int logLines = driverLogLineCount();
    if (linesDrawn > 0 && logLines == logLinesSeen)
        out += QStringLiteral("\033[%1A").arg(linesDrawn); // back to the first line of the last table
    for (const QString& line : lines)
        out += QStringLiteral("\033[2K") + line + QLatin1Char('\n');
    out += QStringLiteral("\033[J"); // a shorter table leaves nothing of the longer one behind
    printText(out);
    linesDrawn = lines.size();
    logLinesSeen = logLines;
}

} // namespace vane::host
