// A card to try the emulated adaptor with: four saves of one to three blocks
// from the three regions, with animated icons and full-width titles.
#pragma once

#include "card/card_image.h"

CardImage demo_card();
