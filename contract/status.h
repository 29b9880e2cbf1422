#pragma once

// Outcome codes carried in CLabelVariable::status.
namespace vane {
enum Status {
    StatusDone = 0,
    StatusInitial = 1,
    StatusTypeNotHandled = 2,
    StatusBadArea = 3,
    StatusBadCount = 4,
    StatusBadAddress = 5,
    StatusReadOnly = 6,
    StatusBadAnswer = 7,
    StatusNoAnswer = 8,
    StatusNoLink = 9,
};
} // namespace vane
