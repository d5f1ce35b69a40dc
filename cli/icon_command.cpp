// "icon": a save's icon as a picture, PNG or animated GIF, as the window's
// "Save Icon As..." writes it.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "cli/card_files.h"
#include "cli/commands.h"
#include "cli/listing.h"
#include "files/picture_file.h"

namespace {

std::optional<int> parse_side(const std::string& text) {
  for (int side : kPictureSides)
    if (text == std::to_string(side)) return side;
  return std::nullopt;
}

}  // namespace

int icon_command(const Arguments& arguments) {
  const std::optional<int> slot = parse_slot(arguments.operands[1]);
  if (!slot) return usage_error("SLOT must be a number from 1 to 15");
  const std::optional<int> side = parse_side(arguments.value("--size").value_or("16"));
  if (!side) return usage_error("--size takes 16, 32, 64 or 128");
  const std::string& out = arguments.operands[2];
  const std::optional<PictureFormat> format = picture_format_for_path(out);
  if (!format) return usage_error("OUT must be a .png or a .gif file");
  const bool allow_corrupted = arguments.has("--allow-corrupted");
  const std::string& card_path = arguments.operands[0];
  auto open = std::make_unique<OpenCard>();
  if (Failure failure = open_card_file(card_path, allow_corrupted, *open)) return report_failure(failure, card_path);
  const int save = selected_save(open->slots, *slot);
  if (Failure failure = check_icon_save(open->slots, save)) return report_failure(failure, card_path);
  if (Failure failure = write_icon_picture(open->card, open->slots, save, *side, *format, out))
    return report_failure(failure, out);
  std::printf("Wrote the icon of slot %d (%s) to %s, %dx%d.\n", save + 1, save_name(open->card, save).c_str(),
              out.c_str(), *side, *side);
  return kDone;
}
