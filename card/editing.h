// Operations that change the card's directory in memory. None of them
// touches a real card; the user writes the result back explicitly.
#pragma once

#include <cstddef>
#include <cstdint>

#include "card/card_image.h"
#include "card/failure.h"

// An empty card: "MC", fifteen never-used directory frames, the reserved list.
void format_card(CardImage& card);

// Frees the block of slot `first` and the blocks its chain links to, by
// flipping their state from 0x5? to 0xA?. Only states and checksums change;
// data, sizes, links and names stay, as on the real hardware. The walk ends
// at a free frame, a link outside the directory or a block already freed.
void delete_save(CardImage& card, int first);

// Writes a save into the free directory frames in ascending slot order,
// chaining them; every frame is a copy of `directory_template` with its
// state and links set. `size` is a non-zero multiple of the block size and
// `data` holds that many bytes. When there are fewer free frames than
// blocks, nothing is written and the message says how many are needed.
Failure place_save(CardImage& card, const uint8_t* directory_template, const uint8_t* data,
                   size_t size);

// The first free directory frame's slot, where place_save starts; -1
// when none is free.
int first_free_slot(const CardImage& card);

// "Not enough space ... You need %d free blocks." with the given count.
Message not_enough_space(int blocks);
