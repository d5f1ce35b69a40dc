// Helpers shared by the adaptor tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adaptor/adaptor_link.h"
#include "adaptor/emulator/usb_emulator.h"
#include "card/card_image.h"

// The failure's text, empty for success, so that a check fails rather than crashes.
inline std::string text_of(const Failure& failure) { return failure ? failure->text : ""; }

// Plugs the emulated adaptor holding `card` in and opens it.
inline void plug_in(const CardImage& card, const EmulatorSetup& setup = {}) {
  reset_emulator(card, setup);
  const Failure failure = open_adaptor();
  ASSERT_FALSE(failure) << failure->text;
}

// Every frame different from every other and from the same frame under
// another salt: bytes 0..1 the frame number, byte 2 the salt.
inline CardImage stamped_card(uint8_t salt) {
  CardImage card;
  for (int f = 0; f < 1024; ++f) {
    uint8_t* bytes = card.bytes.data() + f * 128;
    for (int i = 0; i < 128; ++i) bytes[i] = uint8_t(i * 7 + f);
    bytes[0] = uint8_t(f >> 8);
    bytes[1] = uint8_t(f);
    bytes[2] = salt;
  }
  return card;
}

inline std::vector<int> frames_from(int first, int last) {
  std::vector<int> frames;
  for (int f = first; f <= last; ++f) frames.push_back(f);
  return frames;
}

struct ProgressLog {
  std::vector<int> positions;
  Progress callback() {
    return [this](int position) { positions.push_back(position); };
  }
};
