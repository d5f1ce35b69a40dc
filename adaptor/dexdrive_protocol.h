// What travels over the serial line between the program and InterAct's
// DexDrive (PS1 model) at 38400 bit/s, 8N1.
//
// Every command and every reply begins with "IAI", then a byte naming it,
// then its arguments; the drive answers one command at a time. After power-on
// it answers every command but INIT with POUT until it is given INIT and,
// right after the ID reply, MAGIC_HANDSHAKE.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kDexDriveSpeed = 38400;

constexpr uint8_t kDexPrefix[] = {0x49, 0x41, 0x49};  // "IAI"
constexpr size_t kDexPrefixLength = 3;
constexpr size_t kDexHeaderLength = 4;  // the prefix and the byte naming the command or reply

// Commands.
constexpr uint8_t kDexInit = 0x00;       // 17 bytes of any value; answered ID
constexpr uint8_t kDexStatus = 0x01;     // answered NOCARD, or CARD and one byte
constexpr uint8_t kDexRead = 0x02;       // frame LSB, MSB; answered NOCARD or DATA
constexpr uint8_t kDexWrite = 0x04;      // frame MSB, LSB, rev(MSB), rev(LSB), data, checksum
constexpr uint8_t kDexMagicHandshake = 0x27;  // answered ERROR, as expected

// The bytes InterAct's own software sends with INIT.
constexpr uint8_t kDexInitBytes[] = {0x10, 0x29, 0x23, 0xbe, 0x84, 0xe1, 0x6c, 0xd6, 0xae,
                                     0x52, 0x90, 0x49, 0xf1, 0xf1, 0xbb, 0xe9, 0xeb};
constexpr size_t kDexInitLength = sizeof kDexInitBytes;

// Replies.
constexpr uint8_t kDexPout = 0x20;        // not initialised: it lost power since
constexpr uint8_t kDexError = 0x21;       // unknown command, wrong arguments or checksum
constexpr uint8_t kDexNoCard = 0x22;
constexpr uint8_t kDexCard = 0x23;        // one byte: whether the card was written since inserted
constexpr uint8_t kDexWriteOk = 0x28;
constexpr uint8_t kDexWriteSame = 0x29;   // written, and nothing changed
constexpr uint8_t kDexWait = 0x2A;
constexpr uint8_t kDexId = 0x40;          // 5 bytes: a byte from INIT's, the model, the firmware
constexpr uint8_t kDexData = 0x41;        // 128 data bytes and their checksum

constexpr size_t kDexIdLength = 5;
constexpr size_t kDexIdModelAt = 1;       // "PSX", or "N64" for the model that reads controller paks
constexpr size_t kDexIdVersionAt = 4;     // packed xxyyyyzz for x.yz
constexpr size_t kDexModelLength = 3;
constexpr char kDexPs1Model[] = "PSX";
constexpr char kDexN64Model[] = "N64";
constexpr size_t kDexCardLength = 1;
// DATA: the frame, then the XOR of its 128 bytes and the two frame-number
// bytes as READ sent them (frame_transfer_check, in any byte order).
constexpr size_t kDexDataLength = 128 + 1;
constexpr size_t kDexDataChecksumAt = 128;

constexpr size_t kDexReadLength = kDexHeaderLength + 2;
// WRITE: the frame number, then its two bytes with their bit order
// reversed, the data, and the XOR of every one of those bytes.
constexpr size_t kDexWriteLength = kDexHeaderLength + 4 + 128 + 1;
constexpr size_t kDexWriteNumberAt = kDexHeaderLength;
constexpr size_t kDexWriteDataAt = kDexHeaderLength + 4;
constexpr size_t kDexWriteChecksumAt = kDexWriteDataAt + 128;

// Bit 0 to bit 7, 1 to 6, and so on.
inline uint8_t reversed_bits(uint8_t byte) {
  uint8_t reversed = 0;
  for (int bit = 0; bit < 8; ++bit)
    if (byte & (1 << bit)) reversed |= uint8_t(0x80 >> bit);
  return reversed;
}

// Each command takes the drive about 10 ms; a DATA reply needs another
// 35 ms on the line. Anything slower than this is no answer.
constexpr int kDexReplyTimeoutMs = 1500;
// INIT and its handshake, tried this often before the drive counts as absent
// (it needs its own power, and a drive that failed to start often answers
// only after a replug).
constexpr int kDexInitAttempts = 3;
// A frame command answered ERROR, POUT (the drive is initialised again
// first) or garbled is sent again, at most this often in all.
constexpr int kDexAttempts = 4;
