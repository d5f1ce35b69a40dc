// quillcrest-cli: the card files and the card in a reader (the PS3 adaptor,
// a MemCARDuino, a DexDrive), from a terminal, on the same core as the window.
#include <cstdio>
#include <map>
#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif
#include <string>
#include <vector>

#include "cli/commands.h"
#include "files/folders.h"
#include "resources/version.h"

namespace {

const char kUsage[] =
    "Usage: quillcrest-cli COMMAND ...\n"
    "\n"
    "PlayStation memory cards, the PS3 USB memory card adaptor and serial card readers.\n"
    "CARD, IN and SOURCE are card image files in any format, recognised by their content:\n"
    "raw (.mcr .mcd .mc .srm .bin ...), GME (.gme, also with a zeroed header or cut short),\n"
    "VGS (.mem .vgs), VMP (PSP and PS Vita: SCEVMC0.VMP) and the PlayStation Magazine card.\n"
    "A card file written gets the format its extension names: .gme GME, .mem or .vgs VGS,\n"
    ".vmp VMP (signed), raw otherwise. SAVEFILE is a single save in any format: MCS (.mcs\n"
    ".ps1), PSX (.psx .mcb .mcx .pda), PSV (PS3, .psv) or raw (.bin). SLOT is 1..15, as\n"
    "\"list\" numbers the slots.\n"
    "\n"
    "Card image files:\n"
    "  list CARD [--json] [--allow-corrupted]     the fifteen slots (--json adds the file's\n"
    "                                             format and the saves' GME comments)\n"
    "      quillcrest-cli list memcard.mcr\n"
    "  list SAVEFILE [--json]                     the save a single-save file holds: format,\n"
    "                                             name, title, blocks, region, and whether\n"
    "                                             a PSV's signature is valid\n"
    "      quillcrest-cli list BASLUS-00958GS2-7.psv\n"
    "  list CARD --deleted [--json]               the deleted saves, and whether each\n"
    "                                             can be restored\n"
    "      quillcrest-cli list memcard.mcr --deleted\n"
    "  export CARD SLOT OUT [--format F] [--allow-corrupted]\n"
    "                                             the save in SLOT as a save file: .mcs .ps1\n"
    "                                             MCS, .psx PSX, .psv PSV (signed), raw\n"
    "                                             otherwise; F is mcs, psx, psv or raw\n"
    "      quillcrest-cli export memcard.mcr 4 race.mcs\n"
    "  export CARD --all FOLDER [--format F] [--allow-corrupted]\n"
    "                                             every save, each file named from its save\n"
    "                                             name (the PS3's names for PSV); F is mcs\n"
    "                                             unless given\n"
    "      quillcrest-cli export memcard.mcr --all PS3/EXPORT/PSV --format psv\n"
    "  import CARD SAVEFILE [--name NAME] [--yes] [--output OUT]\n"
    "                                             a save from a save file; NAME for a raw\n"
    "                                             file, which holds none (by default the\n"
    "                                             save name its file name holds, if any:\n"
    "                                             \"Suikoden 2-BASLUS-00958GS2-7.srm\")\n"
    "      quillcrest-cli import memcard.mcr game.bin --name BASLUS-00000GAME\n"
    "  copy SOURCE SLOT CARD [--yes] [--output OUT] [--allow-corrupted]\n"
    "                                             the save in SLOT of SOURCE into CARD, as\n"
    "                                             import places it\n"
    "      quillcrest-cli copy SCEVMC0.VMP 2 memcard.mcr\n"
    "  icon CARD SLOT OUT [--size N] [--allow-corrupted]\n"
    "                                             the icon of the save in SLOT as a picture:\n"
    "                                             .png its first frame, .gif every frame,\n"
    "                                             looping at the window's pace (500 ms); N\n"
    "                                             is 16 (the icon's own pixels, the\n"
    "                                             default), 32, 64 or 128, scaled up without\n"
    "                                             smoothing; transparent where the icon is\n"
    "      quillcrest-cli icon memcard.mcr 4 race.gif --size 64\n"
    "  delete CARD SLOT [--output OUT]            the save in SLOT\n"
    "      quillcrest-cli delete memcard.mcr 4\n"
    "  rename CARD SLOT NAME [--output OUT]       the save's name, the one its game looks it\n"
    "                                             up by: NAME whole, as BESLES-01234GAME01\n"
    "                                             ('B', the region letter, the product code,\n"
    "                                             the game's own 8 characters); a game finds\n"
    "                                             a renamed save only if the new name is the\n"
    "                                             one it looks for\n"
    "      quillcrest-cli rename memcard.mcr 4 BASLUS-01234GAME01\n"
    "  rename CARD SLOT --region R [--output OUT] only its region letters: R is america\n"
    "                                             (BA), europe (BE) or japan (BI)\n"
    "      quillcrest-cli rename memcard.mcr 4 --region america\n"
    "  comment CARD SLOT TEXT [--output OUT]      the comment a GME (DexDrive) file keeps\n"
    "                                             beside the save; \"\" clears it\n"
    "      quillcrest-cli comment memcard.gme 4 \"before the last boss\"\n"
    "  undelete CARD SLOT [--output OUT]          the deleted save whose first block is\n"
    "                                             in SLOT, unless its blocks were reused;\n"
    "                                             links another program cleared are rebuilt\n"
    "                                             where its blocks leave no doubt\n"
    "      quillcrest-cli undelete memcard.mcr 4\n"
    "  check CARD [--json]                        every fault of the card (and a VMP's\n"
    "                                             wrong signature), changing nothing; exit\n"
    "                                             status 0 only when sound\n"
    "      quillcrest-cli check memcard.mcr\n"
    "  format OUT                                 a new, empty card\n"
    "      quillcrest-cli format blank.mcr\n"
    "  convert IN OUT [--format F] [--allow-corrupted]\n"
    "                                             the card image in another format; F is\n"
    "                                             raw, gme, vgs or vmp\n"
    "      quillcrest-cli convert memcard.gme SCEVMC0.VMP\n"
    "\n"
    "Per-game cards: SD-card memory cards (MemCard PRO, sd2psx and the boards running\n"
    "sd2psXtd) and emulators that keep a card per game, named by its game ID, the\n"
    "product code a save's name holds (BASLUS-00594GAME belongs to SLUS-00594):\n"
    "  list FOLDER [--json] [--find TEXT]         every card file under FOLDER (an SD card,\n"
    "                                             an emulator's card folder): its layout,\n"
    "                                             game ID, channel and channel name, blocks\n"
    "                                             used and saves, and the files that are no\n"
    "                                             card with the reason; --find keeps the saves\n"
    "                                             whose name, game ID or title holds TEXT\n"
    "      quillcrest-cli list /media/SDCARD --find \"final fantasy\"\n"
    "  split CARD... --into FOLDER --layout L [--dry-run] [--json]\n"
    "                                             every save onto its game's own card under\n"
    "                                             FOLDER, L the SD card's or emulator's layout\n"
    "                                             (below).\n"
    "                                             FOLDER is the SD card or DuckStation's folder,\n"
    "                                             or the card folder itself. A game's card is\n"
    "                                             made when missing and extended, never\n"
    "                                             replaced; a save already there is skipped;\n"
    "                                             when a card is full, or holds another save of\n"
    "                                             the same name, the next channel (-2 ... -8;\n"
    "                                             DuckStation _2) takes it. Saves without a\n"
    "                                             game ID go to the card \"Other\". Each card\n"
    "                                             file changed is kept with the backups first.\n"
    "                                             --adaptor splits the card in the reader\n"
    "      quillcrest-cli split memcard.mcr --into /media/SDCARD --layout memcardpro\n"
    "  gather SOURCE... --into CARD [--game ID...] [--channel N] [--dry-run] [--json]\n"
    "                                             the saves of per-game cards (folders or card\n"
    "                                             files, any layout) onto one card, made when\n"
    "                                             missing; --game keeps those games' saves. A\n"
    "                                             save already on CARD is not added twice; of\n"
    "                                             a save whose versions differ, the one of\n"
    "                                             channel N (1 unless given) is taken and the\n"
    "                                             others listed; what does not fit is listed.\n"
    "                                             --adaptor instead of --into gathers onto the\n"
    "                                             card in the reader, as \"write\" writes it\n"
    "      quillcrest-cli gather /media/SDCARD --into memcard.mcr --game SLUS-00594\n"
    "  Layouts:\n"
    "    memcardpro   MemoryCards/SLUS-00594/SLUS-00594-1.mcd, channels -1 to -8\n"
    "    sd2psx       MemoryCards/PS1/SLUS-00594/SLUS-00594-1.mcd, channels -1 to -8;\n"
    "                 the shared folders of .sd2psx/Game2Folder.ini are honoured\n"
    "    duckstation  memcards/SLUS-00594_1.mcd: DuckStation's per-game cards named\n"
    "                 \"by serial\" (by title needs the game's title, which no save\n"
    "                 holds); _2 is the card of the second slot\n"
    "\n"
    "The card in a reader: the PS3 adaptor, unless --reader READER (or QUILLCREST_READER)\n"
    "names a serial one: memcarduino:PORT[@BAUD] (an Arduino, Pico or ESP board running\n"
    "MemCARDuino; 115200 bit/s, then 38400, unless BAUD says), dexdrive:PORT, or\n"
    "ps1cardlink:PORT[:SLOT] (a PlayStation running the PS1CardLink disc, a USB serial\n"
    "adapter on its serial port; SLOT 1, the default, or 2: the console's slot). PORT is\n"
    "/dev/ttyUSB0, /dev/ttyACM0 ... on Linux, COM3 ... on Windows; ps3 names the adaptor.\n"
    "  list --adaptor [--json] [--allow-corrupted] [--deleted]\n"
    "                                             its slots, from a fast read\n"
    "      quillcrest-cli list --adaptor\n"
    "  read OUT                                   the whole card into a file\n"
    "      quillcrest-cli read backup.mcr --reader memcarduino:/dev/ttyUSB0\n"
    "  write CARD [--all] [--no-verify] [--no-backup]\n"
    "                                             the card made equal to CARD: it is read,\n"
    "                                             backed up, then only the frames that\n"
    "                                             differ are written, the directory last,\n"
    "                                             and read back. --all writes every frame;\n"
    "                                             --no-backup keeps no backup (with --all\n"
    "                                             the card is then not even read): what it\n"
    "                                             held cannot be restored\n"
    "      quillcrest-cli write backup.mcr\n"
    "  check --adaptor [--json]                   every fault of the card, from a full read\n"
    "      quillcrest-cli check --adaptor --reader dexdrive:COM1\n"
    "  backups                                    the backups taken before each write,\n"
    "                                             newest first: when, file, used blocks,\n"
    "                                             the saves; \"write BACKUP\" restores one\n"
    "      quillcrest-cli backups\n"
    "  readers [--probe] [PORT...]                the serial ports: name, USB ids, the device's\n"
    "                                             name; --probe adds the reader answering on\n"
    "                                             each, in the --reader form (a few seconds a\n"
    "                                             port). PORT names ports the list lacks\n"
    "      quillcrest-cli readers --probe\n"
    "\n"
    "  --help, --version\n"
    "\n"
    "import, copy, delete, rename, comment and undelete change CARD in place, in its own\n"
    "format (a VMP stays signed, a GME keeps its comments), unless --output names another\n"
    "file.\n"
    "Backups are kept in $XDG_DATA_HOME/quillcrest/backups (by default\n"
    "~/.local/share/quillcrest/backups), on Windows in %LOCALAPPDATA%\\Quillcrest\\backups;\n"
    "the newest 100 are kept.\n"
    "A card whose header checksum alone is wrong is refused, as the window refuses it;\n"
    "list, export, copy and convert open it with --allow-corrupted, keeping every byte.\n"
    "Exit status: 0 done, 1 failed (the reason on stderr, after the file it concerns),\n"
    "2 wrong command line.\n";

struct Verb {
  VerbRules rules;
  int (*run)(const Arguments&);
};

int list_command(const Arguments& arguments) {
  const bool adaptor = arguments.has("--adaptor");
  if (adaptor == !arguments.operands.empty())
    return usage_error("list takes either a CARD or --adaptor");
  if (adaptor) {
    if (int wrong = choose_reader(arguments)) return wrong;
  }
  if (!adaptor && path_kind(arguments.operands[0]) == PathKind::folder) {
    if (arguments.has("--deleted") || arguments.has("--allow-corrupted"))
      return usage_error("list FOLDER takes --json and --find only");
    return list_library(arguments);
  }
  if (arguments.value("--find")) return usage_error("--find searches a FOLDER of cards");
  if (arguments.has("--deleted")) return list_deleted_command(arguments);
  return adaptor ? list_adaptor_card(arguments) : list_card_file(arguments);
}

const std::map<std::string, Verb>& verbs() {
  static const std::map<std::string, Verb> table = {
      {"list",
       {{0, 1, {"--json", "--allow-corrupted", "--adaptor", "--deleted"}, {"--reader", "--find"}}, list_command}},
      {"split",
       {{0, 64, {"--json", "--dry-run", "--adaptor"}, {"--into", "--layout", "--reader"}}, split_command}},
      {"gather",
       {{1, 64, {"--json", "--dry-run", "--adaptor"}, {"--into", "--channel", "--reader"}, {"--game"}},
        gather_command}},
      {"read", {{1, 1, {}, {"--reader"}}, read_command}},
      {"write", {{1, 1, {"--all", "--no-verify", "--no-backup"}, {"--reader"}}, write_command}},
      {"readers", {{0, 64, {"--probe"}, {}}, readers_command}},
      {"backups", {{0, 0, {}, {}}, backups_command}},
      {"undelete", {{2, 2, {}, {"--output"}}, undelete_command}},
      {"check", {{0, 1, {"--json", "--adaptor"}, {"--reader"}}, check_command}},
      {"export", {{2, 3, {"--allow-corrupted", "--all"}, {"--format"}}, export_save_command}},
      {"import", {{2, 2, {"--yes"}, {"--name", "--output"}}, import_save_command}},
      {"copy", {{3, 3, {"--yes", "--allow-corrupted"}, {"--output"}}, copy_save_command}},
      {"delete", {{2, 2, {}, {"--output"}}, delete_save_command}},
      {"rename", {{2, 3, {}, {"--output", "--region"}}, rename_command}},
      {"comment", {{3, 3, {}, {"--output", "--format"}}, comment_command}},
      {"format", {{1, 1, {}, {}}, format_command}},
      {"convert", {{2, 2, {"--allow-corrupted"}, {"--format"}}, convert_command}},
      {"icon", {{3, 3, {"--allow-corrupted"}, {"--size"}}, icon_command}},
  };
  return table;
}

}  // namespace

int report_failure(const Failure& failure, const std::string& path) {
  if (failure)
    std::fprintf(stderr, "quillcrest-cli: %s%s%s\n", path.c_str(), path.empty() ? "" : ": ",
                 failure->text.c_str());
  return kFailed;
}

int usage_error(const std::string& what) {
  std::fprintf(stderr, "quillcrest-cli: %s\n\n%s", what.c_str(), kUsage);
  return kUsageError;
}

int main(int argc, char** argv) {
#if defined(_WIN32)
  // The same bytes on every system: lines end in "\n", for scripts and JSON.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  const std::vector<std::string> words(argv + 1, argv + argc);
  if (words.size() == 1 && (words[0] == "--help" || words[0] == "-h")) {
    std::fputs(kUsage, stdout);
    return kDone;
  }
  if (words.size() == 1 && words[0] == "--version") {
    std::printf("quillcrest-cli %s\n", QUILLCREST_VERSION_TEXT);
    return kDone;
  }
  std::map<std::string, VerbRules> rules;
  for (const auto& [name, verb] : verbs()) rules[name] = verb.rules;
  Arguments arguments;
  if (auto wrong = parse_arguments(words, rules, arguments)) return usage_error(*wrong);
  return verbs().at(arguments.verb).run(arguments);
}
