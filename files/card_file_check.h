// The check of a card file: the card's own faults (card/card_check.h) and
// those of the file that holds it, which a console checks too.
#pragma once

#include <vector>

#include "card/card_check.h"
#include "files/card_formats.h"

// "bad-signature" first, for a VMP whose signature is wrong (it concerns
// the file's header, so it names no frame), then check_card's faults.
std::vector<CardFault> check_card_file(const CardImage& card, const CardFileInfo& file);
