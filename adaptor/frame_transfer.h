// What every card reader moves: 128-byte frames, read or written in runs,
// with progress told per frame. The PS3 adaptor, MemCARDuino and the DexDrive
// all pass the card's own frame commands through, and with them its check
// of a frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

enum class Transfer { read, write };

// Called with the frame number before each frame is sent, and with
// kProgressEnd once all frames of a call went through.
using Progress = std::function<void(int position)>;
constexpr int kProgressEnd = 1024;

// The card's CHK of a frame: the XOR of the frame number's MSB and LSB and the
// 128 data bytes. It travels with a write to the card and comes back with a
// read (the DexDrive sends the same XOR with its frame numbers in the other order).
inline uint8_t frame_transfer_check(int frame_number, const uint8_t* data) {
  uint8_t check = uint8_t(frame_number >> 8) ^ uint8_t(frame_number);
  for (size_t i = 0; i < 128; ++i) check ^= data[i];
  return check;
}
