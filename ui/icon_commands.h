// "Save Icon As...": a save's icon as a PNG picture or an animated GIF.
#pragma once

// The icon of the save whose block is `slot` (a further block stands for its
// save), through a save dialog whose file types choose the format and the
// size: PNG or GIF at 16, 32, 64 or 128 pixels. A name typed with .png or
// .gif takes that format whichever type is chosen.
void save_icon_as(int slot);
