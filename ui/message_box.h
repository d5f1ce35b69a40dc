// Every message is a modal box owned by the main window.
#pragma once

#include <string>

#include "card/failure.h"

void show_error(const std::string& text, const std::string& caption = "Error");
void show_warning(const std::string& text, const std::string& caption = "Warning");
void show_information(const std::string& text, const std::string& caption);
// A question with Yes and No; true only for Yes.
bool ask_yes_no(const std::string& text, const std::string& caption = "Warning");
// Shows the failure, if any, as an error; returns whether there was one.
bool show_failure(const Failure& failure);
