// "Backups...": the backups of the real card, newest first, with their
// date and blocks used. "Open" loads one as "Open MC/GME" opens a file, so
// that "Write to PS3MCA" puts it back; "Show Folder" opens their folder.
#pragma once

void backups_command();
