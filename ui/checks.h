// Checks shared by the commands; each tells the user why it refuses.
#pragma once

// The card image starts with "MC".
bool require_card();
// Refuses to write out an image that a fast read left incomplete.
bool refuse_partial();
bool require_selection();
// Asks before discarding a loaded card; going on stops the animation.
bool confirm_loss();
