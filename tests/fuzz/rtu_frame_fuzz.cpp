// The RTU CRC and answer sizer on arbitrary byte streams: the sizer judges a receive buffer of
// any content against any request, and never asks for more than the largest RTU frame.
#include "fuzz_input.h"
#include "modbus/protocol/crc16.h"
#include "rtu/rtu_frame.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const int requestFunction = in.byte() < 0xF0 ? in.byte() : in.number<int>();
    // What a transaction can expect: nothing known, or a normal answer of up to 256 bytes.
    const int expectedSize = in.byte() % 2 ? 0 : in.byte() + in.byte() % 2;
    // Lengths past the end count as zero bytes; the links hand over at most 255.
    const int crcLength = in.number<uint16_t>() % 1024;
    const QByteArray received = in.rest();

    (void)vane::modbus::crc16Modbus(received, crcLength);
    (void)vane::modbus::crc16Modbus(received, received.size());
    for (int n = 0; n <= received.size(); ++n) {
        const int wanted = vane::rtu::answerSize(received.left(n), requestFunction, expectedSize);
        if (wanted > 256) {
            std::fprintf(stderr, "answerSize asks for %d bytes (function %d, expected %d, %d received)\n", wanted,
                         requestFunction, expectedSize, n);
            std::abort();
        }
    }
    return 0;
}
