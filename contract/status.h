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

// Transaction results of the link classes.
enum TransactionResult {
    TransactionOk = 0,
    TransactionBadAnswer = -1,
    TransactionNoAnswer = -2,
    TransactionNoTransport = -3,
};

inline int statusOfTransaction(int result)
{
    switch (result) {
    case TransactionOk: return StatusDone;
    case TransactionBadAnswer: return StatusBadAnswer;
    case TransactionNoAnswer: return StatusNoAnswer;
    default: return StatusNoLink;
    }
}
} // namespace vane
