#include "number_text.h"

#include <charconv>
#include <cmath>

namespace vane::host {

namespace {

template <typename T>
QString shortest(T value)
{
    char buffer[64];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, static_cast<int>(result.ptr - buffer));
}

} // namespace

QString shortestText(float value) { return shortest(value); }

QString shortestText(double value) { return shortest(value); }

bool isFinite(double value) { return std::isfinite(value); }

} // namespace vane::host
