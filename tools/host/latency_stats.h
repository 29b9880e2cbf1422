#pragma once

#include <QMap>
#include <QVector>

namespace vane::host {

struct LatencySummary {
    int samples = 0;
    double p50Ms = 0;
    double p99Ms = 0;
    double maxMs = 0;
};

// Nearest-rank percentiles of the samples (milliseconds): the p-th percentile is the smallest
// sample that at least p percent of the samples do not exceed. All zero for no samples.
LatencySummary summarizeLatencies(QVector<double> samplesMs);

// How many times each status was seen, in ascending order of status.
using StatusCounts = QMap<int, int>;

} // namespace vane::host
