#include "ui/icon_commands.h"

#include <string>

#include "files/picture_file.h"
#include "ui/app_state.h"
#include "ui/checks.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"

namespace {

// Four PNG entries then four GIF entries, in the order of kPictureSides.
const char kPictureFilter[] =
    "PNG picture, 16 x 16 (first frame)\0*.png\0"
    "PNG picture, 32 x 32 (first frame)\0*.png\0"
    "PNG picture, 64 x 64 (first frame)\0*.png\0"
    "PNG picture, 128 x 128 (first frame)\0*.png\0"
    "GIF animation, 16 x 16\0*.gif\0"
    "GIF animation, 32 x 32\0*.gif\0"
    "GIF animation, 64 x 64\0*.gif\0"
    "GIF animation, 128 x 128\0*.gif\0";
constexpr int kSideCount = int(sizeof kPictureSides / sizeof kPictureSides[0]);

}  // namespace

void save_icon_as(int slot) {
  if (!require_card()) return;
  if (slot < 0) {
    require_selection();
    return;
  }
  // A fast read has the icons: nothing of the save is missing from its picture.
  if (show_failure(check_icon_save(app.slots, selected_save(app.slots, slot)))) return;
  std::string path;
  int chosen = 1;
  if (!ask_save_path(kPictureFilter, "png", path, chosen)) return;
  const int entry = chosen >= 1 && chosen <= 2 * kSideCount ? chosen - 1 : 0;
  const PictureFormat format = picture_format_for_path(path).value_or(
      entry < kSideCount ? PictureFormat::png : PictureFormat::gif);
  show_failure(write_icon_picture(app.card, app.slots, slot, kPictureSides[entry % kSideCount], format, path));
}
