// How core operations report: nothing on success, or the message to show.
#pragma once

#include <optional>
#include <string>

struct Message {
  std::string text;
  std::string caption;
};

using Failure = std::optional<Message>;

inline Failure fail(std::string text, std::string caption = "Error") {
  return Message{std::move(text), std::move(caption)};
}
