// "Check Card...": the card check of the card in memory, in a dialog.
#pragma once

void check_card_command();
