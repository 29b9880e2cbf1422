#include "latency_stats.h"

#include <algorithm>
#include <cmath>

namespace vane::host {

namespace {

double nearestRank(const QVector<double>& sorted, double percent)
{
    const int rank = static_cast<int>(std::ceil(percent / 100.0 * sorted.size()));
    return sorted.at(std::clamp(rank, 1, static_cast<int>(sorted.size())) - 1);
}

} // namespace

LatencySummary summarizeLatencies(QVector<double> samplesMs)
{
    LatencySummary summary;
    if (samplesMs.isEmpty())
        return summary;
    std::sort(samplesMs.begin(), samplesMs.end());
    summary.samples = samplesMs.size();
    summary.p50Ms = nearestRank(samplesMs, 50);
    summary.p99Ms = nearestRank(samplesMs, 99);
    summary.maxMs = samplesMs.last();
    return summary;
}

} // namespace vane::host
