#pragma once

// The monitor's lines: one per frame and one per detection, as text for a reader or as a JSON
// object per line (documented in docs/host-integration.md).

#include "line_watch.h"

#include <QString>

namespace vane::monitor {

// `time` is the wall-clock time of the frame's first byte (of the event), "hh:mm:ss.zzz".
QString frameText(const FrameRecord& record, const QString& time);
QString frameJson(const FrameRecord& record, const QString& time);
QString eventText(const LineEvent& event, const QString& time);
QString eventJson(const LineEvent& event, const QString& time);

} // namespace vane::monitor
