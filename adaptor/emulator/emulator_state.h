// The emulator's outside world: its setup from the environment and the state
// files that let another process (the end-to-end tests) see the emulated card.
#pragma once

#include <string>
#include <vector>

#include "adaptor/emulator/usb_emulator.h"

// Reads QUILLCREST_EMULATED_CARD, _FAULT, _DELAY_MS and _STATE. The program
// stops with a message on stderr when one of them is unusable: a test that
// ran on a setup it did not ask for would prove nothing.
void setup_from_environment(CardImage& card, EmulatorSetup& setup, std::string& state_path);

// The state file holds the emulated card's 131072 bytes; "<path>.counts"
// holds the counts and the frames stored (format in README.md).
void store_state_card(const std::string& path, const CardImage& card);
void store_state_frame(const std::string& path, const CardImage& card, int frame_number);
void store_state_counts(const std::string& path, const EmulatorCounts& counts,
                        const std::vector<int>& written);
