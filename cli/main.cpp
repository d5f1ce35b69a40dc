// quillcrest-cli: the card files and the card in the PS3 adaptor, from a
// terminal, on the same core as the window.
#include <cstdio>
#include <map>
#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif
#include <string>
#include <vector>

#include "cli/commands.h"
#include "resources/version.h"

namespace {

const char kUsage[] =
    "Usage: quillcrest-cli COMMAND ...\n"
    "\n"
    "PlayStation memory cards and the PS3 USB memory card adaptor.\n"
    "CARD and IN are card image files, raw (131072 bytes) or GME (134976); every card\n"
    "file written is raw. SLOT is 1..15, as \"list\" numbers the slots.\n"
    "\n"
    "Card image files:\n"
    "  list CARD [--json] [--allow-corrupted]     the fifteen slots\n"
    "      quillcrest-cli list memcard.mcr\n"
    "  list CARD --deleted [--json]               the deleted saves, and whether each\n"
    "                                             can be restored\n"
    "      quillcrest-cli list memcard.mcr --deleted\n"
    "  export CARD SLOT OUT [--allow-corrupted]   the save in SLOT as an MCS file\n"
    "      quillcrest-cli export memcard.mcr 4 race.mcs\n"
    "  import CARD SAVEFILE [--name NAME] [--yes] [--output OUT]\n"
    "                                             a save from an MCS or raw (.bin) file\n"
    "      quillcrest-cli import memcard.mcr game.bin --name BASLUS-00000GAME\n"
    "  delete CARD SLOT [--output OUT]            the save in SLOT\n"
    "      quillcrest-cli delete memcard.mcr 4\n"
    "  undelete CARD SLOT [--output OUT]          the deleted save whose first block is\n"
    "                                             in SLOT, unless its blocks were reused\n"
    "      quillcrest-cli undelete memcard.mcr 4\n"
    "  check CARD [--json]                        every fault of the card, changing\n"
    "                                             nothing; exit status 0 only when sound\n"
    "      quillcrest-cli check memcard.mcr\n"
    "  format OUT                                 a new, empty card\n"
    "      quillcrest-cli format blank.mcr\n"
    "  convert IN OUT                             a card image saved raw\n"
    "      quillcrest-cli convert memcard.gme memcard.mcr\n"
    "\n"
    "The card in the adaptor:\n"
    "  list --adaptor [--json] [--allow-corrupted] [--deleted]\n"
    "                                             its slots, from a fast read\n"
    "      quillcrest-cli list --adaptor\n"
    "  read OUT                                   the whole card into a file\n"
    "      quillcrest-cli read backup.mcr\n"
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
    "      quillcrest-cli check --adaptor\n"
    "  backups                                    the backups taken before each write,\n"
    "                                             newest first: when, file, used blocks,\n"
    "                                             the saves; \"write BACKUP\" restores one\n"
    "      quillcrest-cli backups\n"
    "\n"
    "  --help, --version\n"
    "\n"
    "import, delete and undelete change CARD in place unless --output names another file.\n"
    "Backups are kept in $XDG_DATA_HOME/quillcrest/backups (by default\n"
    "~/.local/share/quillcrest/backups), on Windows in %LOCALAPPDATA%\\Quillcrest\\backups;\n"
    "the newest 100 are kept.\n"
    "Exit status: 0 done, 1 failed (the reason on stderr), 2 wrong command line.\n";

struct Verb {
  VerbRules rules;
  int (*run)(const Arguments&);
};

int list_command(const Arguments& arguments) {
  const bool adaptor = arguments.has("--adaptor");
  if (adaptor == !arguments.operands.empty())
    return usage_error("list takes either a CARD or --adaptor");
  if (arguments.has("--deleted")) return list_deleted_command(arguments);
  return adaptor ? list_adaptor_card(arguments) : list_card_file(arguments);
}

const std::map<std::string, Verb>& verbs() {
  static const std::map<std::string, Verb> table = {
      {"list", {{0, 1, {"--json", "--allow-corrupted", "--adaptor", "--deleted"}, {}}, list_command}},
      {"read", {{1, 1, {}, {}}, read_command}},
      {"write", {{1, 1, {"--all", "--no-verify", "--no-backup"}, {}}, write_command}},
      {"backups", {{0, 0, {}, {}}, backups_command}},
      {"undelete", {{2, 2, {}, {"--output"}}, undelete_command}},
      {"check", {{0, 1, {"--json", "--adaptor"}, {}}, check_command}},
      {"export", {{3, 3, {"--allow-corrupted"}, {}}, export_save_command}},
      {"import", {{2, 2, {"--yes"}, {"--name", "--output"}}, import_save_command}},
      {"delete", {{2, 2, {}, {"--output"}}, delete_save_command}},
      {"format", {{1, 1, {}, {}}, format_command}},
      {"convert", {{2, 2, {}, {}}, convert_command}},
  };
  return table;
}

}  // namespace

int report_failure(const Failure& failure) {
  if (failure) std::fprintf(stderr, "%s\n", failure->text.c_str());
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
