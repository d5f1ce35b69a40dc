// A program with a card open, and the steps the save tests share.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "resources/resource_ids.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/e2e_cards.h"

inline const char kLoss[] = "The current loaded Memory Card Data will be lost, continue ?";

class Saves : public ::testing::Test {
 protected:
  void open(const CardImage& card, const char* counter) {
    write_file(folder.path("card.mcr"), card_bytes(card));
    open_card(program, folder.path("card.mcr"), is_loaded_now);
    ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == counter; })) << program.text(IDC_COUNTER);
    is_loaded_now = true;
  }
  // The card as the program holds it, through "Save MC".
  Bytes saved_card() {
    return card_saved_as(program, folder.path("saved-" + std::to_string(++saves) + ".mcr"));
  }
  void select(int slot, const std::string& info) {
    program.click_static(IDC_FIRST_SLOT + slot);
    ASSERT_TRUE(wait_until([&] { return program.text(IDC_INFO) == info; })) << program.text(IDC_INFO);
  }
  void import(const std::string& name, const Bytes& bytes) {
    write_file(folder.path(name), bytes);
    import_file(program, folder.path(name));
  }
  TempFolder folder;
  Program program;
  bool is_loaded_now = false;
  int saves = 0;
};
