// Writes the seed inputs of every fuzz target, made by the test-data maker:
// cards holding saves of 1 to 15 blocks, cards with the faults the analysis
// must survive, MCS and raw save files, raw and GME card files, and adaptor
// scripts. Usage: make_fuzz_seeds CORPUS_FOLDER; each target's seeds go to
// CORPUS_FOLDER/<target>/seed-*, beside whatever the fuzzer has added.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/card_maker.h"

namespace {

std::string g_root;

void put_seed(const std::string& target, const std::string& name, const Bytes& bytes) {
  const std::string folder = g_root + "/" + target;
  mkdir(folder.c_str(), 0755);
  write_file(folder + "/seed-" + name, bytes);
}

void append(Bytes& to, const Bytes& bytes) { to.insert(to.end(), bytes.begin(), bytes.end()); }

void append_le(Bytes& to, uint32_t value, int count) {
  for (int i = 0; i < count; ++i) to.push_back(uint8_t(value >> (8 * i)));
}

SaveSpec save_of(int blocks, int icon_frames = 1) {
  SaveSpec save;
  save.blocks = blocks;
  save.icon_frames = icon_frames;
  save.seed = uint8_t(16 * blocks);
  save.name = "BESLES-" + std::to_string(10000 + blocks) + "SAVE" + std::to_string(blocks);
  save.title = "SAVE OF " + std::to_string(blocks) + " BLOCKS";
  return save;
}

struct NamedCard {
  std::string name;
  CardImage card;
};

// Cards with saves and with the faults the analysis, export and delete
// must deal with.
std::vector<NamedCard> cards() {
  std::vector<NamedCard> out;
  out.push_back({"blank", blank_card()});
  for (int blocks = 1; blocks <= 15; ++blocks) {
    CardImage card = blank_card();
    add_save(card, save_of(blocks, blocks % 4));
    out.push_back({"save-" + std::to_string(blocks) + "-blocks", card});
  }
  CardImage mixed = blank_card();
  add_save(mixed, save_of(1, 3));
  add_save(mixed, save_of(3, 2));
  SaveSpec pocket = save_of(2);
  pocket.name = "BISLPSP00001GAME";
  add_save(mixed, pocket);
  SaveSpec short_name = save_of(1);
  short_name.name = "BASLUS";
  add_save(mixed, short_name);
  out.push_back({"mixed", mixed});

  CardImage scattered = blank_card();
  put_save(scattered, save_of(3), {2, 7, 11});
  out.push_back({"scattered", scattered});
  CardImage first_above = blank_card();
  put_save(first_above, save_of(3), {2, 0, 1});
  out.push_back({"first-block-above-its-chain", first_above});

  CardImage bad_header = mixed;
  break_checksum(bad_header, 0);
  out.push_back({"bad-header-frame", bad_header});
  CardImage not_mc = mixed;
  not_mc.bytes[1] = 'D';
  out.push_back({"not-mc", not_mc});

  CardImage bad_directory = mixed;
  break_checksum(bad_directory, 3);
  break_checksum(bad_directory, 10);
  out.push_back({"bad-directory-frames", bad_directory});

  CardImage loop = blank_card();
  put_save(loop, save_of(3), {0, 1, 2});
  set_link(loop, 2, 0);
  out.push_back({"chain-loop", loop});
  CardImage outside = blank_card();
  put_save(outside, save_of(2), {4, 5});
  set_link(outside, 5, 40);
  out.push_back({"link-outside", outside});

  CardImage states = blank_card();
  add_save(states, save_of(1));
  set_state(states, 3, 0x50);
  set_state(states, 4, 0x54);
  set_state(states, 5, 0xA1);
  set_state(states, 6, 0x53);
  set_state(states, 7, 0x00);
  out.push_back({"odd-states", states});

  CardImage no_sc = blank_card();
  add_save(no_sc, save_of(2));
  block(no_sc, 1)[0] = 'X';
  out.push_back({"header-without-sc", no_sc});
  CardImage zero_blocks = blank_card();
  add_save(zero_blocks, save_of(2));
  block(zero_blocks, 1)[3] = 0;
  frame(zero_blocks, 1)[5] = 0;
  frame(zero_blocks, 1)[6] = 0;
  fix_checksum(zero_blocks, 1);
  out.push_back({"header-block-count-0", zero_blocks});
  CardImage big_count = blank_card();
  add_save(big_count, save_of(1));
  block(big_count, 1)[3] = 200;
  write_le32(frame(big_count, 1) + 4, 200 * 8192);
  fix_checksum(big_count, 1);
  out.push_back({"header-block-count-200", big_count});

  CardImage full = blank_card();
  for (int n = 0; n < 15; ++n) add_save(full, save_of(1, n % 4));
  out.push_back({"fifteen-saves", full});

  // Deleted saves: one whole, one whose first block another save took, and
  // a card whose halves answer alike with a broken frame listed.
  CardImage deleted = mixed;
  put_save(deleted, save_of(3), {9, 7, 12});
  put_save(deleted, save_of(2), {13, 14});
  for (int slot : {9, 7, 12, 13, 14})
    set_state(deleted, slot, directory_frame(deleted, slot)[0] ^ 0xF0);
  put_save(deleted, save_of(1), {13});
  out.push_back({"deleted-saves", deleted});
  CardImage fake = mixed;
  std::copy_n(fake.bytes.begin(), kCardSize / 2, fake.bytes.begin() + kCardSize / 2);
  write_le32(frame(fake, 16), 300);
  out.push_back({"half-size-broken-frame", fake});
  return out;
}

struct NamedFile {
  std::string name;
  Bytes bytes;
};

std::vector<NamedFile> save_files() {
  std::vector<NamedFile> out;
  for (int blocks : {1, 2, 3, 5, 8, 15}) {
    out.push_back({"mcs-" + std::to_string(blocks), mcs_file(save_of(blocks, blocks % 4))});
    out.push_back({"raw-" + std::to_string(blocks), raw_save_file(save_of(blocks))});
  }
  Bytes ragged = raw_save_file(save_of(2));
  ragged.resize(8192 + 100);
  out.push_back({"raw-ragged", ragged});
  Bytes wrong_size = mcs_file(save_of(1));
  wrong_size[5] = 0x40;  // 16384 bytes, with the frame's checksum kept good
  wrong_size[127] ^= 0x20 ^ 0x40;
  out.push_back({"mcs-wrong-size", wrong_size});
  Bytes bad_checksum = mcs_file(save_of(1));
  bad_checksum[127] ^= 1;
  out.push_back({"mcs-bad-checksum", bad_checksum});
  out.push_back({"tiny", Bytes{'S', 'C', 0x11}});
  for (int blocks : {1, 3}) {
    out.push_back({"psx-" + std::to_string(blocks), psx_file(save_of(blocks))});
    out.push_back({"psv-" + std::to_string(blocks), psv_file(save_of(blocks))});
  }
  SaveSpec unnamed = save_of(1);
  unnamed.name = "";
  out.push_back({"psx-unnamed", psx_file(unnamed)});
  Bytes ps2 = psv_file(save_of(1));
  ps2[0x3C] = 2;
  out.push_back({"psv-ps2", ps2});
  return out;
}

// import_save: flags, card length (3 bytes), name length, name, card, file.
Bytes import_input(uint8_t flags, const std::string& name, const Bytes& card, const Bytes& file) {
  Bytes input = {flags};
  append_le(input, uint32_t(card.size()), 3);
  input.push_back(uint8_t(name.size()));
  input.insert(input.end(), name.begin(), name.end());
  append(input, card);
  append(input, file);
  return input;
}

void import_seeds() {
  const uint8_t yes = 2, named = 4;
  CardImage some_used = blank_card();
  add_save(some_used, save_of(4));
  add_save(some_used, save_of(2));
  const Bytes directory_only(some_used.bytes.begin(), some_used.bytes.begin() + 8192);
  for (const NamedFile& file : save_files()) {
    put_seed("import_save", file.name,
             import_input(yes | named, "BASLUS-01234SAVE", {}, file.bytes));
    put_seed("import_save", file.name + "-on-used-card",
             import_input(yes | named, "BISCPS-00000", directory_only, file.bytes));
  }
  CardImage full = blank_card();
  for (int n = 0; n < 14; ++n) add_save(full, save_of(1));
  put_seed("import_save", "no-room",
           import_input(named, "B", card_bytes(full), mcs_file(save_of(2))));
  put_seed("import_save", "unnamed", import_input(0, "", {}, raw_save_file(save_of(1))));
}

// export_delete and slot_text: a few bytes, then the card.
Bytes with_card(Bytes head, const CardImage& card) {
  append(head, card_bytes(card));
  return head;
}

// adaptor_replies: the job, the frames that differ, then reply events.
struct Event {
  uint16_t skip;
  uint8_t kind;
  Bytes payload;
};

Bytes adaptor_input(uint8_t job, const std::vector<int>& differences,
                    const std::vector<Event>& events) {
  Bytes input = {job, uint8_t(differences.size())};
  for (int f : differences) append_le(input, uint32_t(f), 2);
  for (const Event& e : events) {
    append_le(input, e.skip, 2);
    input.push_back(e.kind);
    append(input, e.payload);
  }
  return input;
}

void adaptor_seeds() {
  const std::vector<int> some = {0, 1, 64, 500, 1023};
  for (uint8_t job = 0; job < 4; ++job) {
    const std::string name = "job-" + std::to_string(job);
    put_seed("adaptor_replies", name, adaptor_input(job, some, {}));
    put_seed("adaptor_replies", name + "-no-reply-to-detect",
             adaptor_input(job, some, {{0, 0, {}}}));
    put_seed("adaptor_replies", name + "-short-second-reply",
             adaptor_input(job, some, {{1, 1, {143, 0}}}));
    put_seed("adaptor_replies", name + "-wrong-mark-later",
             adaptor_input(job, some, {{9, 2, {1, 0, 0x5B}}}));
    put_seed("adaptor_replies", name + "-long-reply",
             adaptor_input(job, some, {{3, 3, {0x2C, 0x01}}}));
    put_seed("adaptor_replies", name + "-changed-data",
             adaptor_input(job, some, {{2, 4, Bytes(200, 0x3C)}}));
  }
  // A write that fails three times and then goes through; one that never does.
  put_seed("adaptor_replies", "write-retried",
           adaptor_input(2, some, {{1, 0, {}}, {0, 0, {}}, {0, 1, {10, 0}}}));
  put_seed("adaptor_replies", "write-given-up",
           adaptor_input(2, some, {{3, 0, {}}, {0, 0, {}}, {0, 0, {}}, {0, 0, {}}}));
}

// serial_replies: the job and reader, the reader's faults, the frames that
// differ, then answer events (the same layout as adaptor_replies' events).
Bytes serial_input(uint8_t job_and_reader, uint8_t faults, const std::vector<int>& differences,
                   const std::vector<Event>& events) {
  Bytes input = {job_and_reader, faults, 50};
  const Bytes rest = adaptor_input(0, differences, events);
  input.insert(input.end(), rest.begin() + 1, rest.end());
  return input;
}

void serial_seeds() {
  const std::vector<int> some = {0, 1, 64, 500, 1023};
  for (uint8_t job = 0; job < 8; ++job) {
    const std::string name = std::string(job & 4 ? "dexdrive" : "memcarduino") + "-job-" +
                             std::to_string(job & 3);
    put_seed("serial_replies", name, serial_input(job, 0, some, {}));
    put_seed("serial_replies", name + "-lost-answer", serial_input(job, 0, some, {{3, 0, {}}}));
    put_seed("serial_replies", name + "-cut-answer", serial_input(job, 0, some, {{4, 1, {60, 0}}}));
    put_seed("serial_replies", name + "-flipped-bit", serial_input(job, 0, some, {{5, 2, {70, 0, 3}}}));
    put_seed("serial_replies", name + "-noise-after", serial_input(job, 0, some, {{2, 3, {4, 1, 2, 3, 4}}}));
    put_seed("serial_replies", name + "-late", serial_input(job, 0, some, {{6, 5, {}}}));
    put_seed("serial_replies", name + "-forged", serial_input(job, 0, some, {{7, 4, Bytes(140, 0x47)}}));
  }
  put_seed("serial_replies", "memcarduino-slow-boot-old-firmware", serial_input(0, 1 | 2, some, {}));
  put_seed("serial_replies", "dexdrive-power-lost", serial_input(4 | 2, 4, some, {}));
  put_seed("serial_replies", "dexdrive-n64", serial_input(4, 8, some, {}));
  for (uint8_t job = 0; job < 4; ++job)
    for (uint8_t slot : {0, 16}) {
      const std::string name = "ps1cardlink-slot-" + std::to_string(slot ? 2 : 1) + "-job-" + std::to_string(job);
      put_seed("serial_replies", name, serial_input(uint8_t(8 | slot | job), 0, some, {}));
      put_seed("serial_replies", name + "-flipped-bit", serial_input(uint8_t(8 | slot | job), 0, some, {{5, 2, {70, 0, 3}}}));
    }
}

}  // namespace

// game_cards: the ini text, the source card's prefix, then the game card
// already on the SD card.
Bytes game_cards_input(const std::string& ini, const CardImage& source, const CardImage& existing) {
  Bytes input;
  append_le(input, uint32_t(ini.size()), 2);
  append(input, Bytes(ini.begin(), ini.end()));
  append_le(input, uint32_t(kCardSize), 3);
  append(input, card_bytes(source));
  append(input, card_bytes(existing));
  return input;
}

void game_cards_seeds(const std::vector<NamedCard>& all_cards) {
  const std::string ini = "[PS1]\nSLUS-00594=Shared\n  slus00595 = Shared  \n[ChannelName]\n1=Main\n\n";
  CardImage existing = blank_card();
  add_save(existing, save_of(2));
  for (const NamedCard& c : all_cards) {
    put_seed("game_cards", c.name, game_cards_input(ini, c.card, existing));
    put_seed("game_cards", c.name + "-onto-itself", game_cards_input("", c.card, c.card));
  }
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds CORPUS_FOLDER\n");
    return 2;
  }
  g_root = argv[1];
  mkdir(g_root.c_str(), 0755);
  const std::vector<NamedCard> all_cards = cards();
  for (const NamedCard& c : all_cards) {
    put_seed("analyse_card", c.name, card_bytes(c.card));
    put_seed("export_delete", c.name, with_card({uint8_t(c.name.size()), 0}, c.card));
    put_seed("export_delete", c.name + "-allowing", with_card({0, 1}, c.card));
    put_seed("slot_text", c.name, with_card({uint8_t(c.name.size()), 3, 0, 0, 0}, c.card));
  }
  game_cards_seeds(all_cards);
  CardImage with_saves = blank_card();
  for (const NamedCard& c : all_cards)
    if (c.name == "mixed") with_saves = c.card;
  put_seed("read_card_file", "raw", card_bytes(with_saves));
  put_seed("read_card_file", "gme", gme_file(with_saves));
  Bytes longer = card_bytes(with_saves);
  longer.push_back(0);
  put_seed("read_card_file", "raw-one-byte-long", longer);
  longer.resize(131071);
  put_seed("read_card_file", "raw-one-byte-short", longer);
  put_seed("read_card_file", "empty", {});
  Bytes gme = gme_file(with_saves);
  set_gme_comment(gme, 0, "a comment");
  set_gme_comment(gme, 3, "\xE9t\xE9");
  put_seed("read_card_file", "gme-comments", gme);
  std::fill(gme.begin(), gme.begin() + 3904, 0);
  put_seed("read_card_file", "gme-zeroed-header", gme);
  gme = gme_file(with_saves);
  gme.resize(3904 + 5 * 8192 + 17);
  put_seed("read_card_file", "gme-cut-short", gme);
  put_seed("read_card_file", "vgs", vgs_file(with_saves));
  put_seed("read_card_file", "vmp", vmp_file(with_saves));
  put_seed("read_card_file", "magazine", magazine_file(with_saves));
  put_seed("read_card_file", "pocketstation-sized", Bytes(131232, 0x77));
  import_seeds();
  adaptor_seeds();
  serial_seeds();
  return 0;
}
