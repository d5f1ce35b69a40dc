// What travels over the serial line between the program and a board running
// the MemCARDuino firmware (an Arduino, a Raspberry Pi Pico, an ESP board
// wired to a card slot), and what readers copying its protocol answer.
//
// Commands are single bytes with their arguments right behind them, no
// framing. A frame read answers the 128 data bytes, the card's CHK and a
// status byte; a frame write sends the data and CHK and is answered with the
// status byte alone. CHK is frame_transfer_check (frame_transfer.h), the PS1
// card's own check, in both directions.
#pragma once

#include <cstddef>
#include <cstdint>

// Recent firmware runs at 115200 bit/s; older firmware, and many ready-made
// readers built on it, at 38400. Both are tried, in this order.
constexpr int kMemcarduinoSpeed = 115200;
constexpr int kMemcarduinoOldSpeed = 38400;

constexpr uint8_t kMcdGetId = 0xA0;       // answered with kMcdId
constexpr uint8_t kMcdGetVersion = 0xA1;  // answered with one byte, the firmware version
constexpr uint8_t kMcdRead = 0xA2;        // then frame MSB, LSB
constexpr uint8_t kMcdWrite = 0xA3;       // then frame MSB, LSB, 128 data bytes, CHK

constexpr char kMcdId[] = "MCDINO";
constexpr size_t kMcdIdLength = 6;

constexpr size_t kMcdReadLength = 3;                 // command, MSB, LSB
constexpr size_t kMcdReadReplyLength = 128 + 2;      // data, CHK, status
constexpr size_t kMcdReadChecksumAt = 128;
constexpr size_t kMcdReadStatusAt = 129;
constexpr size_t kMcdWriteLength = 3 + 128 + 1;      // command, MSB, LSB, data, CHK
constexpr size_t kMcdWriteDataAt = 3;
constexpr size_t kMcdWriteChecksumAt = 131;

// Status bytes.
constexpr uint8_t kMcdGood = 0x47;            // 'G'
constexpr uint8_t kMcdBadChecksum = 0x4E;     // 'N': the card saw a corrupted transfer; try again
constexpr uint8_t kMcdBadSector = 0xFF;       // outside the card, or no card in the slot
constexpr uint8_t kMcdUnknownCommand = 0xE0;  // answers any byte that is no command

// Boards with a USB-serial chip (Uno, Nano, Mega) reset when the port opens
// and answer only after their boot loader, about 2 s later: GETID is sent
// again and again at the first speed for a little longer than that, then for
// a while at the other speed (the board has booted by then).
constexpr int kMcdIdTimeoutMs = 250;          // for the answer to one GETID
constexpr int kMcdBootAttempts = 14;          // 3.5 s at the first speed
constexpr int kMcdOtherSpeedAttempts = 6;     // 1.5 s at the second
constexpr int kMcdVersionTimeoutMs = 250;
// ESP boards are slow to answer now and then: a frame's reply may take
// this long before it is given up.
constexpr int kMcdReplyTimeoutMs = 1500;
// A read or write answered 0x4E, or garbled, is sent again, at most this
// often in all.
constexpr int kMcdAttempts = 4;
