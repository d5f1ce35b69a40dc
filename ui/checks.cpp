#include "ui/checks.h"

#include "ui/app_state.h"
#include "ui/message_box.h"

bool require_card() {
  if (is_loaded(app.card)) return true;
  show_error("No Memory Card Loaded or Read.");
  return false;
}

bool refuse_partial() {
  if (!app.partial_read) return false;
  show_error("Only partial data was read from Memory Card !\n\nPlease desactivate the Fast Read option.");
  return true;
}

bool require_selection() {
  if (app.selected >= 0) return true;
  show_error("No save selected.");
  return false;
}

bool confirm_loss() {
  if (is_loaded(app.card) &&
      !ask_yes_no("The current loaded Memory Card Data will be lost, continue ?"))
    return false;
  // The partial-read flag stays: only complete data replacing the image lifts it.
  app.animation_on = false;
  return true;
}
