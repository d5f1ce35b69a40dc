// The two jobs behind "Read from PS3MCA" and "Write to PS3MCA", as plain
// functions over the card image: no threads and no window, and any reader
// (reader.h). The caller runs them on its worker thread and shows the
// failure they return. Each begins with begin_reader_job, so a reader
// unplugged and plugged back in since the last job is opened again.
#pragma once

#include "adaptor/reader.h"
#include "card/card_image.h"
#include "card/failure.h"

// What a fast read takes of each block: the save header and the icon frames.
constexpr int kSaveHeadFrames = 1 + kMaxIconFrames;

// Reads the real card into `card`: all 1024 frames, or when `fast` only the
// header and directory (frames 0..15) and the save header and icon frames of
// every data block (its first 4 frames). The frames go into a copy of `card`
// that replaces it only when every transfer succeeded, so a failed read leaves
// `card` exactly as it was and a fast read keeps the frames it does not read.
Failure read_card(CardImage& card, bool fast, const Progress& progress);

// Writes frames 0..1023 of `card` to the real card, one transfer (and so one
// detect) per frame: all of them, or when `differences_only` those that
// differ from `snapshot`. `snapshot` follows the real card: each frame is
// copied into it once the card acknowledged it, so after a failure the
// failing frame and those after it keep their old contents and a later
// difference write sends them again.
Failure write_card(const CardImage& card, CardImage& snapshot, bool differences_only,
                   const Progress& progress);
