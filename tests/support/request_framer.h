#pragma once

// Splits the bytes a fake device receives into request frames. The frame size comes from
// the frame itself where it can (MBAP length field; RTU function code and byte count), so
// requests trickling in over a slow line stay whole; bytes whose size cannot be told end
// at an idle gap. A sized frame that stops arriving is handed over as it stands after
// kIncompleteTimeoutMs of silence.

#include <QByteArray>

#include <cstdint>

namespace vanetest {

enum class Framing {
    Mbap, // Modbus TCP application header (what Netvane sends, on a socket or a serial line)
    Rtu,  // address, PDU, CRC (what Serivane sends, on a serial line or a socket)
};

class RequestFramer
{
public:
    static constexpr int kIncompleteTimeoutMs = 300;

    explicit RequestFramer(Framing framing) : framing_(framing) {}

    void append(const char *data, int size, int64_t nowMs);
    // Moves the next complete request into *frame; false when none is complete yet.
    bool takeFrame(QByteArray *frame, int64_t nowMs, int idleGapMs);
    // When the buffered bytes will be handed over by silence; INT64_MAX when none wait.
    int64_t deadlineMs(int idleGapMs) const;

private:
    // Bytes of the frame at the buffer's start: > 0 known, 0 not yet known, -1 unknowable.
    int expectedSize() const;
    int silenceNeededMs(int idleGapMs) const;

    Framing framing_;
    QByteArray buffer_;
    int64_t lastByteMs_ = 0;
};

} // namespace vanetest
