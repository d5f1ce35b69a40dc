// PS1CardLink: a PlayStation running the PS1CardLink disc, reached through a
// USB serial adapter (3.3 V TTL) on the console's serial port, reads and
// writes the cards in its two slots. It speaks the MemCARDuino protocol
// (memcarduino_protocol.h: GETVER, MCREAD, MCWRITE, their status bytes and
// CHK) with these differences.
#pragma once

#include <cstddef>
#include <cstdint>

// The line runs at this speed only; the console neither resets nor waits
// for DTR when the port opens.
constexpr int kPs1CardLinkSpeed = 115200;

// GETID (0xA0) is answered with these 7 bytes; GETVER with one byte, the
// version with its digits as nibbles (0x11 for 1.1).
constexpr char kPs1CardLinkId[] = "PS1CLNK";
constexpr size_t kPs1CardLinkIdLength = 7;

// MCPORT, then the slot: 0 the console's slot 1 (chosen at start), 1 slot 2;
// no reply. The choice stays until the next MCPORT, and the user may change
// it with the pad meanwhile: it is sent before every job.
constexpr uint8_t kCardLinkSelectSlot = 0xA4;
constexpr size_t kCardLinkSelectLength = 2;

// The console answers between the frames it draws: GETID is tried this
// often (at the MemCARDuino's 250 ms each) before it counts as absent.
constexpr int kCardLinkIdAttempts = 8;
