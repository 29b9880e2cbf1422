#pragma once

// What one Modbus protocol puts around the shared link: its envelope, how its answers are sized
// and judged, how long they are waited for, and the texts of its log lines. Each protocol exports
// one constant Framing; the link runs every transaction from it.

#include <QByteArray>

#include "modbus/io/exchange.h"
#include "modbus/io/link_transport.h"
#include "modbus/protocol/pdu.h"

namespace vane::modbus {

struct FramingTexts {
    const char* prefix;          // in front of every read line and warning
    const char* readDumpTail;    // what follows 读命令 / 读响应
    const char* writePrefix;     // in front of the write dumps
    const char* writeAnswer;     // the write answer dump's text
    const char* writeDumpTail;   // what follows the write dumps' texts
    bool writeDumpedAfterAnswer; // both write dumps are written once the answer is in
    const char* disconnect;      // the disconnect warning after the prefix: %1 address, %2 port, %3 station
    bool disconnectWithoutError; // warned about even when the socket recorded no error
    bool badAddressWarned;       // a connect to a text that is no numeric address is warned about
    bool openFailureLogged;      // a serial port that does not open is logged (debug)
    int wrongLengthShownFrom;    // a frame of the wrong length is shown from this byte on
};

struct Framing {
    int headerSize;  // envelope bytes in front of the PDU
    int trailerSize; // and behind it
    // The frame that carries `pdu` to `station`, built around the PDU's own bytes.
    QByteArray (*frame)(int station, QByteArray pdu);
    // How the answer to `frame` is sized while it arrives; `expectedSize` 0 when not known.
    AnswerShape (*shape)(const QByteArray& frame, int expectedSize);
    // Checks of a read answer, in the protocol's order; when Ok the data start at `*dataOffset`.
    Verdict (*judgeRead)(const QByteArray& frame, const QByteArray& answer, int station, int dataLength,
                         int* dataOffset);
    // Checks of a write answer to `request`, sent as `frame`.
    Verdict (*judgeWrite)(const PduRequest& request, const QByteArray& frame, const QByteArray& answer, int station);

    LinkTiming timing;
    // Every transaction allows this much beyond the timing's wait for the answer to begin.
    int transactionAnswerWaitMs;
    // Without a usable transport a transaction ends before anything is logged with NoTransport;
    // otherwise it goes its whole way and finds no answer.
    bool refusesWithoutTransport;
    // Writes to station 0 go to every station, and nobody answers them.
    bool broadcastsToStationZero;
    // Function codes (bit n for function n) whose requests record their station, as they go out,
    // for the disconnect warning.
    unsigned stationRecordedBy;
    // A serial connect opens the port first and then applies its settings, whether the port takes
    // them or not; otherwise the settings are applied first and a port that refuses them does not open.
    bool settingsAfterOpening;
    // What serialDisConnectDrive returns when the port is not open.
    int closedPortDisconnect;
    FramingTexts texts;
};

} // namespace vane::modbus
