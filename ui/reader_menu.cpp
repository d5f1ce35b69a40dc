#include "ui/reader_menu.h"

#include <vector>

#include "adaptor/reader.h"
#include "adaptor/serial_port.h"
#include "resources/resource_ids.h"
#include "ui/transfer_commands.h"

namespace {

constexpr UINT kItemStep = 0x10;
constexpr size_t kMostItems = (IDM_CARD_READER_LAST - IDM_CARD_READER_FIRST) / kItemStep + 1;

HMENU reader_menu = nullptr;
HMENU owner_menu = nullptr;  // the system menu it hangs from
std::vector<ReaderChoice> items;  // item k has the command IDM_CARD_READER_FIRST + 16 k

bool same_reader(const ReaderChoice& a, const ReaderChoice& b) {
  return a.kind == b.kind && a.port == b.port && a.slot == b.slot;
}

// The adaptor, every serial reader on every port (PS1CardLink for each of
// the console's slots), and the reader in use when it is on a port the
// system does not list (one given by hand, or unplugged).
std::vector<ReaderChoice> choices() {
  std::vector<ReaderChoice> list = {ReaderChoice{}};
  for (const SerialPortInfo& port : list_serial_ports()) {
    for (ReaderKind kind : {ReaderKind::memcarduino, ReaderKind::dexdrive, ReaderKind::ps1cardlink})
      list.push_back(ReaderChoice{kind, port.name, 0});
    list.push_back(ReaderChoice{ReaderKind::ps1cardlink, port.name, 0, 2});
  }
  const ReaderChoice& current = current_reader();
  bool listed = false;
  for (ReaderChoice& choice : list) {
    if (!same_reader(choice, current)) continue;
    choice = current;  // with its speed
    listed = true;
  }
  if (!listed) list.insert(list.begin() + 1, current);
  if (list.size() > kMostItems) list.resize(kMostItems);
  return list;
}

void fill() {
  while (GetMenuItemCount(reader_menu) > 0) DeleteMenu(reader_menu, 0, MF_BYPOSITION);
  items = choices();
  for (size_t k = 0; k < items.size(); ++k) {
    const bool chosen = items[k] == current_reader();
    AppendMenuA(reader_menu, MF_STRING | (chosen ? MF_CHECKED : MF_UNCHECKED),
                IDM_CARD_READER_FIRST + k * kItemStep, reader_name(items[k]).c_str());
  }
}

}  // namespace

void add_reader_menu(HMENU system_menu) {
  owner_menu = system_menu;
  reader_menu = CreatePopupMenu();
  AppendMenuA(system_menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(system_menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(reader_menu), "Card Reader");
  fill();
}

void refresh_reader_menu(HMENU opening) {
  if (reader_menu && (opening == reader_menu || opening == owner_menu)) fill();
}

bool reader_menu_command(HWND window, UINT command) {
  if (command < IDM_CARD_READER_FIRST || command > IDM_CARD_READER_LAST) return false;
  const size_t k = (command - IDM_CARD_READER_FIRST) / kItemStep;
  if (k < items.size()) {
    choose_reader(window, items[k]);
    fill();
  }
  return true;
}
