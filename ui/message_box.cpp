#include "ui/message_box.h"

#include "ui/app_state.h"

void show_error(const std::string& text, const std::string& caption) {
  MessageBoxA(app.window, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
}

void show_warning(const std::string& text, const std::string& caption) {
  MessageBoxA(app.window, text.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING);
}

void show_information(const std::string& text, const std::string& caption) {
  MessageBoxA(app.window, text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
}

bool ask_yes_no(const std::string& text, const std::string& caption) {
  return MessageBoxA(app.window, text.c_str(), caption.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

bool show_failure(const Failure& failure) {
  if (failure) show_error(failure->text, failure->caption);
  return bool(failure);
}
