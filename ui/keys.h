// The main window's keys (resources: IDR_KEYS). The window is a modal
// dialog, whose message loop belongs to the system: a message hook sees
// each message the loop takes for the window and translates its keys.
#pragma once

void install_keys();
void remove_keys();
