#pragma once

#include <QString>

namespace vane::host {

// The shortest text that reads back as exactly this value ("0.1" for 0.1f, not 0.100000001).
QString shortestText(float value);
QString shortestText(double value);

bool isFinite(double value);

} // namespace vane::host
