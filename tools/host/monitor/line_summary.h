#pragma once

// The counts of a monitored line per station, and of the line as a whole, as the monitor prints
// them when it stops.

#include "line_watch.h"

#include <QMap>
#include <QString>
#include <QVector>

namespace vane::monitor {

struct StationTally {
    int requests = 0;    // broadcasts and echoes are not counted again
    int answers = 0;     // normal answers, paired or not
    int noAnswer = 0;
    int crcErrors = 0;
    int unsolicited = 0;
    int echoes = 0;
    int broadcasts = 0;
    int misfits = 0;     // paired answers that do not carry what the request asked for
    QMap<int, int> exceptions; // code -> count
    QVector<double> responseMs;
};

class LineSummary {
public:
    // Every frame counts for the line; `counted` ones (those shown) for their station as well.
    void add(const FrameRecord& record, bool counted);
    void add(const LineEvent& event);

    const QMap<int, StationTally>& stations() const { return tallies; }
    int frames() const { return frameCount; }
    int noise() const { return noiseCount; }
    int crcErrors() const { return crcErrorCount; }
    // A hint when most frames fail their CRC check; empty otherwise.
    QString hint() const;

    QString text() const;
    QString json() const;

private:
    QMap<int, StationTally> tallies;
    int frameCount = 0;
    int noiseCount = 0;
    int crcErrorCount = 0;
};

} // namespace vane::monitor
