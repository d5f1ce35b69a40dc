// What travels over USB between the program and Sony's PS3 memory card
// adaptor: the device, its two bulk endpoints and the three commands.
//
// The adaptor passes the PS1 card's own serial exchange through: after a
// four-byte adaptor header (0xAA, the command, and the little-endian count of
// the bytes that follow), a frame command carries the card's "0x81, 'R' or
// 'W', 0, 0, frame MSB, LSB" sequence, and the reply holds, at the same
// positions, the bytes the card sent back while it was clocked out.
#pragma once

#include <cstddef>
#include <cstdint>

#include "adaptor/frame_transfer.h"  // frame_transfer_check: the CHK of reads and writes

constexpr uint16_t kAdaptorVendor = 0x054C;
constexpr uint16_t kAdaptorProduct = 0x02EA;
constexpr int kAdaptorInterface = 0;
constexpr uint8_t kEndpointOut = 0x02;  // bulk, commands
constexpr uint8_t kEndpointIn = 0x81;   // bulk, replies
constexpr unsigned kTransferTimeoutMs = 5000;
// A reply that came after its timeout waits in the adaptor and would pair
// with the next command. Such leftovers are taken off the reply endpoint with
// this short timeout: they are there already, nothing new is awaited.
constexpr unsigned kDrainTimeoutMs = 5;
constexpr int kMostStaleReplies = 8;  // a bound on the draining, whatever the device does
constexpr int kReplyBufferSize = 256;

constexpr uint8_t kCommandStart = 0xAA;
constexpr uint8_t kReplyStart = 0x55;

// Detect: "AA 40"; the adaptor answers "55 01" when a PS1 card is plugged in,
// "55 00" when the slot is empty and "55 02" for a PS2 card.
constexpr uint8_t kDetectCommand = 0x40;
constexpr int kDetectLength = 2;
constexpr uint8_t kNoCardInSlot = 0x00;
constexpr uint8_t kCardPresent = 0x01;
constexpr uint8_t kPs2CardInSlot = 0x02;
constexpr int kDetectReplyLength = 2;

// Both frame commands share their first bytes but the length field and the
// card command letter.
constexpr uint8_t kFrameCommand = 0x42;
constexpr uint8_t kCardAddress = 0x81;  // selects the memory card on the PS1 bus
constexpr uint8_t kCardRead = 'R';
constexpr uint8_t kCardWrite = 'W';
constexpr size_t kLengthField = 2;       // 16-bit little-endian count of bytes 4..
constexpr size_t kCardCommandAt = 4;     // 0x81, then 'R' or 'W'
constexpr size_t kFrameMsbAt = 8;
constexpr size_t kFrameLsbAt = 9;
constexpr uint8_t kFrameReplyMark = 0x5A;  // second byte of a good frame reply

// The card ends every frame command with a status byte.
constexpr uint8_t kCardEndGood = 0x47;         // 'G'
constexpr uint8_t kCardEndBadChecksum = 0x4E;  // 'N': a write whose CHK did not match
constexpr uint8_t kCardEndBadSector = 0xFF;    // a write to a frame the card cannot use

// Read frame: the header, the frame number and 134 zero bytes clocked out to
// receive the card's answer. After two acknowledgement bytes the card
// confirms the frame number (12..13), sends the frame's 128 bytes (14..141),
// their CHK (142) and its end status (143).
constexpr int kReadLength = 144;
constexpr int kReadReplyLength = 144;
constexpr size_t kReadEchoMsbAt = 12;
constexpr size_t kReadEchoLsbAt = 13;
constexpr size_t kReadDataAt = 14;
constexpr size_t kReadChecksumAt = 142;
constexpr size_t kReadEndAt = 143;

// Write frame: the header, the frame number, the data, CHK and three zero
// bytes during which the card acknowledges. CHK is the XOR of MSB, LSB and the
// data, the same check the card itself makes.
constexpr int kWriteLength = 142;
constexpr int kWriteReplyLength = 142;
constexpr size_t kWriteDataAt = 10;
constexpr size_t kWriteChecksumAt = 138;
// The card's end status comes back in the last byte of the reply.
constexpr size_t kWriteEndAt = 141;
// A write that the card did not acknowledge is sent again, at most this often in all.
constexpr int kWriteAttempts = 4;
