// One JSON document built field by field, for what the page is handed.
#pragma once

#include <string>

#include "files/json_text.h"

class JsonWriter {
 public:
  JsonWriter() : text_("{") {}
  void field(const char* name, const std::string& value) { key(name) += json_string(value); }
  void field(const char* name, const char* value) { field(name, std::string(value)); }
  void field(const char* name, int value) { key(name) += std::to_string(value); }
  void field(const char* name, bool value) { key(name) += value ? "true" : "false"; }
  void begin_array(const char* name) {
    key(name) += "[";
    first_ = true;
  }
  void end_array() {
    text_ += "]";
    first_ = false;
  }
  void begin_object() {
    separate() += "{";
    first_ = true;
  }
  void end_object() {
    text_ += "}";
    first_ = false;
  }
  std::string text() const { return text_ + "}"; }

 private:
  std::string& separate() {
    if (!first_) text_ += ",";
    first_ = false;
    return text_;
  }
  std::string& key(const char* name) { return separate() += json_string(name) + ":"; }
  std::string text_;
  bool first_ = true;
};
