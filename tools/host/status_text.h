#pragma once

#include <QString>

namespace vane::host {

// What a record's status code means, in a few words ("no reply").
QString statusMeaning(int status);

// What a ConnectDrive result means.
QString connectResultMeaning(int result);

} // namespace vane::host
