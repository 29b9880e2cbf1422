#pragma once

// Takes one Modbus RTU request off the line, for any station: its size comes from the function
// code and byte count (as libmodbus computes it for a server), so the device can hear every
// station's requests, hand them back as an echoing adapter does and answer those of the
// stations it serves.

#include <cstdint>
#include <vector>

namespace vanesim {

enum class RtuRequest {
    Whole,   // a frame of the right size with a good CRC
    Damaged, // a frame cut short, of unknown size or with a bad CRC: heard, never answered
    Stopped, // the stop descriptor woke the reader
};

// Reads the request whose first byte is waiting on `fd`; *frame gets every byte heard, so that
// an echo gives back exactly what came. Bytes more than `byteTimeoutMs` apart end the frame.
// A damaged frame takes in whatever follows until the line is quiet for a moment.
RtuRequest readRtuRequest(int fd, int stopFd, int byteTimeoutMs, std::vector<uint8_t> *frame);

} // namespace vanesim
