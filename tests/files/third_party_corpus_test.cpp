// Card and save files that other programs, emulators and consoles wrote,
// read from the corpus beside the project (shared/third_party, described by
// its MANIFEST.md; never copied into the project). What must hold for each
// is taken from the files' own bytes and from the twins the manifest names,
// never from what this program made of them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <unistd.h>
#include <memory>
#include <string>

#include "adaptor/card_sync.h"
#include "card/analysis.h"
#include "card/editing.h"
#include "card/undelete.h"
#include "files/card_file.h"
#include "files/card_file_check.h"
#include "files/card_library.h"
#include "files/game_card_gather.h"
#include "files/game_card_split.h"
#include "files/card_formats.h"
#include "files/save_file.h"
#include "tests/adaptor/emulated_adaptor.h"
#include "tests/support/card_maker.h"

namespace {

std::string corpus(const std::string& name = "") {
  const char* folder = std::getenv("QUILLCREST_THIRD_PARTY");
  return std::string(folder && *folder ? folder : QUILLCREST_THIRD_PARTY) + "/" + name;
}

FilePrefix file_of(const Bytes& bytes) {
  FilePrefix file;
  file.bytes = bytes;
  file.length = bytes.size();
  return file;
}

Bytes part(const Bytes& bytes, size_t at, size_t size) {
  return Bytes(bytes.begin() + at, bytes.begin() + at + size);
}

struct CardCase {
  const char* path;
  CardFormat format;
  size_t header;  // the card starts there; a GME cut short holds less
  // The faults check must find, from the manifest's notes: none for a sound
  // card; for the deliberately corrupt exploit cards, "any".
  std::vector<std::string> faults;
};

const std::vector<std::string> kAnyFault = {"any"};

const CardCase kCards[] = {
    {"chonkystation/memcard1.mcd", CardFormat::raw, 0, {"bad-header-checksum", "bad-save-header"}},
    {"duckstation-user/Vagrant Story (USA)_1.mcd", CardFormat::raw, 0, {}},
    {"duckstation-user/shared_card_1.mcd", CardFormat::raw, 0, {}},
    {"epsxe-user/epsxe000.mcr", CardFormat::raw, 0, {}},
    {"freepsxboot/freepsxboot-unirom-fastload-20220919-bios-4.1-1997-12-16-A-502224b6-slot1.mcd",
     CardFormat::raw, 0, kAnyFault},
    {"freepsxboot/freepsxboot-unirom-standard-bios4.x.mcd", CardFormat::raw, 0, kAnyFault},
    {"memcardpro/MemoryCard2-1.mcd", CardFormat::raw, 0, {}},
    {"memcardpro/MemoryCard2-2.mcd", CardFormat::raw, 0, {}},
    {"memcardpro/blank.mcd", CardFormat::raw, 0, {}},
    {"pcsxr-user/card1.mcd", CardFormat::raw, 0, {}},
    {"picomemcard/EmptyMemoryCard/MEMCARD.MCR", CardFormat::raw, 0, {}},
    {"picomemcard/SampleMemoryCard/MEMCARD.MCR", CardFormat::raw, 0, {}},
    {"psxmmclibrary/test.mcr", CardFormat::raw, 0, {}},
    {"save-file-converter/Castlevania - Symphony of the Night (USA).0.VMP", CardFormat::vmp, 0x80, {}},
    {"save-file-converter/Castlevania - Symphony of the Night (USA).0.gme", CardFormat::gme, 3904, {}},
    {"save-file-converter/Castlevania - Symphony of the Night (USA).0.mcr", CardFormat::raw, 0, {}},
    {"save-file-converter/Suikoden 1-save-editor-signature.VMP", CardFormat::vmp, 0x80, {}},
    {"save-file-converter/Suikoden 2-no-signature.VMP", CardFormat::vmp, 0x80, {"bad-signature"}},
    {"save-file-converter/Suikoden 2-psp-signature.VMP", CardFormat::vmp, 0x80, {}},
    {"save-file-converter/Suikoden 2-vita-mcr2vmp-signature.VMP", CardFormat::vmp, 0x80, {}},
    {"save-file-converter/castlevania-symphony-of-the-night.1368.gme", CardFormat::gme, 3904, {}},
    {"save-file-converter/castlevania-symphony-of-the-night.1782.gme", CardFormat::gme, 3904, {}},
    {"save-file-converter/castlevania-symphony-of-the-night.3172.gme", CardFormat::gme, 3904, {}},
    {"save-file-converter/digimon-world.21133.gme", CardFormat::gme, 3904, {}},
    {"save-file-converter/gran-turismo.26537.gme", CardFormat::gme, 3904, {}},
    {"save-file-converter/street-fighter-ex2-plus.17782.mcr", CardFormat::raw, 0, {}},
    {"save-file-converter/tony-hawks-pro-skater-4.24197.gme", CardFormat::raw, 0, {}},  // a raw card
};

struct SaveCase {
  const char* path;
  SaveFormat format;
  size_t header;
  int blocks;
  const char* name;  // the file's, or the one its file name holds; "" for none
};

const SaveCase kSaves[] = {
    {"psxmcr/psx.mcs", SaveFormat::mcs, 128, 1, "BESLES-01726 BBLIT"},
    {"psxmcr/psx.raw", SaveFormat::raw, 0, 1, ""},
    {"save-file-converter/BASLUS-011054441544131.PSV", SaveFormat::psv, 0x84, 5, "BASLUS-01105DATA1"},
    {"save-file-converter/Street Fighter EX2 Plus-BASLUS-0110553595354454D.PSV", SaveFormat::psv, 0x84, 1,
     "BASLUS-01105SYSTEM"},
    {"save-file-converter/Suikoden 2-BASLUS-009584753322D37.PSV", SaveFormat::psv, 0x84, 2,
     "BASLUS-00958GS2-7"},
    {"save-file-converter/Suikoden 2-BASLUS-00958GS2-7.srm", SaveFormat::raw, 0, 2, "BASLUS-00958GS2-7"},
    {"save-file-converter/gran-turismo.26537-BASCUS-94194GT.srm", SaveFormat::raw, 0, 5, "BASCUS-94194GT"},
    {"thigsgen/card.bin", SaveFormat::raw, 0, 1, ""},  // 257 bytes: imported after a Yes
    {"tonyhax-international/BISCPS-1004700000000", SaveFormat::raw, 0, 1, "BISCPS-1004700000000"},
    {"tonyhax-international/ff9-a-jp-tpl.mcs", SaveFormat::mcs, 128, 1, "BISLPS-0200000000-00"},
    {"tonyhax/brunswick2-us-tpl.mcs", SaveFormat::mcs, 128, 3, "BASLUS-00856"},
    {"tonyhax/thps2-us-tpl.mcs", SaveFormat::mcs, 128, 1, "BASLUS-01066TNHXG01"},
    {"tonyhax/tonyhax-tpl.mcs", SaveFormat::mcs, 128, 2, "BESLEM-99999TONYHAX"},
};

class ThirdPartyCorpus : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(corpus("MANIFEST.md")))
      GTEST_SKIP() << "No third-party corpus at " << corpus()
                   << " (set QUILLCREST_THIRD_PARTY to the folder holding MANIFEST.md)";
  }
  // Every file the manifest lists is there: a missing one is a fault.
  Bytes read(const std::string& name) {
    const Bytes bytes = read_file(corpus(name));
    EXPECT_FALSE(bytes.empty()) << "cannot read " << corpus(name);
    return bytes;
  }
  // The card a file holds, by the manifest: its bytes after the header, a
  // GME cut short padded with zeros.
  CardImage expected_card(const CardCase& c) {
    const Bytes bytes = read(c.path);
    CardImage card;
    const size_t held = std::min(bytes.size() - std::min(bytes.size(), c.header), kCardSize);
    std::copy_n(bytes.begin() + c.header, held, card.bytes.begin());
    return card;
  }
};

TEST_F(ThirdPartyCorpus, CardsOpenAsTheirBytesConvertLosslesslyAndCheckAsTheManifestSays) {
  for (const CardCase& c : kCards) {
    SCOPED_TRACE(c.path);
    const CardImage expected = expected_card(c);
    auto card = std::make_unique<CardImage>();
    CardFileInfo info;
    ASSERT_FALSE(decode_card_file(file_of(read(c.path)), *card, info));
    EXPECT_EQ(card->bytes, expected.bytes);
    EXPECT_EQ(info.format, c.format);
    for (CardFormat format : {CardFormat::raw, CardFormat::gme, CardFormat::vgs, CardFormat::vmp}) {
      CardFileInfo as = info;
      as.format = format;
      Bytes bytes;
      ASSERT_FALSE(encode_card_file(*card, as, bytes));
      auto again = std::make_unique<CardImage>();
      CardFileInfo read_back;
      ASSERT_FALSE(decode_card_file(file_of(bytes), *again, read_back));
      EXPECT_EQ(again->bytes, expected.bytes) << card_format_name(format);
      EXPECT_FALSE(read_back.signature_wrong);
      for (int slot = 0; slot < kSlotCount; ++slot)
        EXPECT_EQ(comment_of(*again, read_back, slot), format == CardFormat::gme ? comment_of(*card, info, slot) : "");
    }
    std::vector<std::string> faults;
    for (const CardFault& fault : check_card_file(*card, info)) faults.push_back(fault.name);
    if (c.faults == kAnyFault)
      EXPECT_FALSE(faults.empty());
    else
      EXPECT_EQ(faults, c.faults);
  }
}

TEST_F(ThirdPartyCorpus, SignaturesVerifyAndFilesWrittenHereDifferOnlyInSeedAndSignature) {
  // The same card signed by two tools, and once with its signature zeroed:
  // its right signature is the one vita-mcr2vmp wrote.
  const Bytes vita = read("save-file-converter/Suikoden 2-vita-mcr2vmp-signature.VMP");
  const Bytes unsigned_vmp = read("save-file-converter/Suikoden 2-no-signature.VMP");
  ASSERT_EQ(vita.size(), kVmpFileSize);
  uint8_t signature[kSignatureSize];
  ASSERT_TRUE(ps1_signature(unsigned_vmp.data(), unsigned_vmp.size(), {0x0C, 0x20}, signature));
  EXPECT_EQ(Bytes(signature, signature + kSignatureSize), part(vita, 0x20, kSignatureSize));
  for (const char* path : {"Suikoden 2-psp-signature.VMP", "Suikoden 2-vita-mcr2vmp-signature.VMP",
                           "Suikoden 1-save-editor-signature.VMP", "Castlevania - Symphony of the Night (USA).0.VMP"}) {
    const Bytes vmp = read(std::string("save-file-converter/") + path);
    EXPECT_TRUE(ps1_signature_holds(vmp.data(), vmp.size(), {0x0C, 0x20})) << path;
  }

  // A VMP written here from the PSP's own: the seed and signature aside,
  // the PSP's bytes.
  const Bytes psp = read("save-file-converter/Suikoden 2-psp-signature.VMP");
  auto card = std::make_unique<CardImage>();
  CardFileInfo info;
  ASSERT_FALSE(decode_card_file(file_of(psp), *card, info));
  Bytes ours;
  ASSERT_FALSE(encode_card_file(*card, info, ours));
  ASSERT_EQ(ours.size(), psp.size());
  EXPECT_EQ(part(ours, 0, 0x0C), part(psp, 0, 0x0C));
  EXPECT_EQ(part(ours, 0x34, psp.size() - 0x34), part(psp, 0x34, psp.size() - 0x34));
  EXPECT_TRUE(ps1_signature_holds(ours.data(), ours.size(), {0x0C, 0x20}));

  // A PSV exported here from what the PS3 exported: the same but for seed
  // and signature, under the PS3's file name.
  for (const char* path : {"save-file-converter/BASLUS-011054441544131.PSV",
                           "save-file-converter/Street Fighter EX2 Plus-BASLUS-0110553595354454D.PSV",
                           "save-file-converter/Suikoden 2-BASLUS-009584753322D37.PSV"}) {
    SCOPED_TRACE(path);
    const Bytes ps3 = read(path);
    EXPECT_TRUE(ps1_signature_holds(ps3.data(), ps3.size(), kPsvSignature));
    CardImage blank = blank_card();
    ImportQuestions questions;
    bool imported = false;
    ASSERT_FALSE(import_save_file(file_of(ps3), blank, 0, questions, imported));
    ASSERT_TRUE(imported);
    Bytes exported;
    ASSERT_FALSE(export_save(blank, 0, SaveFormat::psv, exported));
    const std::string name = DirectoryFrame{directory_frame(blank, 0)}.name();
    const std::string file_name = save_file_name(name, SaveFormat::psv);
    EXPECT_EQ(std::string(path).substr(std::string(path).size() - file_name.size()), file_name);
    ASSERT_EQ(exported.size(), ps3.size());
    EXPECT_EQ(part(exported, 0, 8), part(ps3, 0, 8));
    EXPECT_EQ(part(exported, 0x30, 0x2C), part(ps3, 0x30, 0x2C));
    EXPECT_EQ(part(exported, 0x60, ps3.size() - 0x60), part(ps3, 0x60, ps3.size() - 0x60));
    // save-file-converter's own file says 0x2000 there for its 0x4000 bytes.
    const bool converters_own = std::string(path).find("Suikoden") != std::string::npos;
    EXPECT_EQ(part(exported, 0x5C, 4) == part(ps3, 0x5C, 4), !converters_own);
  }
}

TEST_F(ThirdPartyCorpus, SavesAreListedAndImportWithTheirDataIntact) {
  for (const SaveCase& c : kSaves) {
    SCOPED_TRACE(c.path);
    const Bytes bytes = read(c.path);
    const FilePrefix file = file_of(bytes);
    SaveFileSummary summary;
    ASSERT_FALSE(summarise_save_file(file, c.path, summary));
    EXPECT_EQ(summary.format, c.format);
    EXPECT_EQ(summary.blocks, c.blocks);
    EXPECT_EQ(summary.name, c.name);

    CardImage card = blank_card();
    ImportQuestions questions;
    questions.import_ragged_file = [] { return true; };
    questions.name_raw_save = [&c] {
      const std::string name = save_name_in_file_name(c.path);
      return name.empty() ? std::string("BASLUS-00000GIVEN") : name;
    };
    bool imported = false;
    ASSERT_FALSE(import_save_file(file, card, 0, questions, imported));
    ASSERT_TRUE(imported);
    Bytes data(bytes.begin() + c.header, bytes.end());
    data.resize(size_t(c.blocks) * kBlockSize, 0);
    EXPECT_EQ(Bytes(card.bytes.begin() + kBlockSize, card.bytes.begin() + kBlockSize + data.size()), data);
    EXPECT_EQ(DirectoryFrame{directory_frame(card, 0)}.name(), *c.name ? c.name : "BASLUS-00000GIVEN");
  }

  // The twins: the PSVs and raw saves hold a save another file holds.
  const Bytes sf_card = read("save-file-converter/street-fighter-ex2-plus.17782.mcr");
  const Bytes sf_psv = read("save-file-converter/Street Fighter EX2 Plus-BASLUS-0110553595354454D.PSV");
  EXPECT_EQ(part(sf_psv, 0x84, kBlockSize), part(sf_card, kBlockSize, kBlockSize));
  const Bytes suikoden = read("save-file-converter/Suikoden 2-BASLUS-00958GS2-7.srm");
  EXPECT_EQ(part(read("save-file-converter/Suikoden 2-BASLUS-009584753322D37.PSV"), 0x84, suikoden.size()),
            suikoden);
  auto gran_turismo = std::make_unique<CardImage>();
  ASSERT_FALSE(take_card_image(file_of(read("save-file-converter/gran-turismo.26537.gme")), *gran_turismo));
  int gt = -1;
  for (int slot = 0; slot < kSlotCount; ++slot)
    if (directory_frame(*gran_turismo, slot)[kDirState] == kStateFirst &&
        DirectoryFrame{directory_frame(*gran_turismo, slot)}.name() == "BASCUS-94194GT")
      gt = slot;
  ASSERT_GE(gt, 0);
  Bytes exported;
  ASSERT_FALSE(export_save(*gran_turismo, gt, SaveFormat::raw, exported));
  EXPECT_EQ(exported, read("save-file-converter/gran-turismo.26537-BASCUS-94194GT.srm"));
}

TEST_F(ThirdPartyCorpus, EveryCardReachesTheEmulatedCardByteForByte) {
  for (const CardCase& c : kCards) {
    SCOPED_TRACE(c.path);
    const CardImage card = expected_card(c);
    plug_in(stamped_card(7));
    SyncReport report;
    ASSERT_FALSE(sync_card(card, {true, false, true}, {}, {}, report));
    EXPECT_EQ(emulated_card().bytes, card.bytes);
  }
}

// DuckStation deleted a 3-block save setting every link to 0xFFFF; the same
// save is live on the DuckStation card beside it.
TEST_F(ThirdPartyCorpus, ASaveDeletedWithItsLinksClearedComesBackAsTheLiveSave) {
  auto card = std::make_unique<CardImage>();
  ASSERT_FALSE(take_card_image(file_of(read("duckstation-user/shared_card_1.mcd")), *card));
  const Bytes twin = read("duckstation-user/Vagrant Story (USA)_1.mcd");
  const CardImage deleted = *card;
  ASSERT_FALSE(undelete_save(*card, 0));
  // Frames 0..3 and blocks 1..3 are the live save's, the rest as it was.
  EXPECT_EQ(part(card_bytes(*card), 0, 4 * kFrameSize), part(twin, 0, 4 * kFrameSize));
  EXPECT_EQ(part(card_bytes(*card), kBlockSize, 3 * kBlockSize), part(twin, kBlockSize, 3 * kBlockSize));
  const size_t rest = 4 * kFrameSize;
  EXPECT_EQ(part(card_bytes(*card), rest, kBlockSize - rest), part(card_bytes(deleted), rest, kBlockSize - rest));
  EXPECT_EQ(part(card_bytes(*card), 4 * kBlockSize, kCardSize - 4 * kBlockSize),
            part(card_bytes(deleted), 4 * kBlockSize, kCardSize - 4 * kBlockSize));
}

// ChonkyStation wrote 0x42 where the header checksum 0x0E belongs.
TEST_F(ThirdPartyCorpus, ACardWithAWrongHeaderChecksumIsRefusedYetAnalysesAsItsDirectorySays) {
  const Bytes bytes = read("chonkystation/memcard1.mcd");
  auto card = std::make_unique<CardImage>();
  ASSERT_FALSE(take_card_image(file_of(bytes), *card));
  auto slots = std::make_unique<SlotTable>();
  ASSERT_TRUE(header_checksum_wrong(*card));
  EXPECT_TRUE(analyse_card_despite_header_checksum(*card, *slots, true) == std::nullopt);
  EXPECT_EQ(slots->used, 15);  // every directory frame is in use, 0x51 to 0x53
  EXPECT_EQ(card_bytes(*card), bytes);
  auto refused = std::make_unique<CardImage>(*card);
  EXPECT_EQ(analyse_card(*refused, *slots, true)->text, "Wrong Memory Card format.");
}

}  // namespace

namespace {

// The saves of a card by name, their blocks as a take gives them; `names`
// counts every save, two of one name too.
std::map<std::string, Bytes> saves_by_name(const CardImage& card, int& names) {
  std::map<std::string, Bytes> saves;
  auto copy = std::make_unique<CardImage>(card);
  auto slots = std::make_unique<SlotTable>();
  names = 0;
  if (analyse_card(*copy, *slots, false)) return saves;
  for (int slot = 0; slot < kSlotCount; ++slot) {
    if (slots->status[slot] <= 0) continue;
    SaveImport save;
    EXPECT_FALSE(take_save(card, slot, save));
    saves[DirectoryFrame{directory_frame(card, slot)}.name()] = save.data;
    ++names;
  }
  return saves;
}

}  // namespace

// Each sound card split into the per-game cards of every layout, then
// gathered back onto a blank card: every save comes back byte for byte.
TEST_F(ThirdPartyCorpus, RealCardsSplitIntoGameCardsAndGatherBackWhole) {
  const std::string root = std::filesystem::temp_directory_path() / ("quillcrest-corpus-" + std::to_string(getpid()));
  setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
  int split_cards = 0;
  for (const CardCase& c : kCards) {
    if (!c.faults.empty()) continue;
    SCOPED_TRACE(c.path);
    auto card = std::make_unique<CardImage>(expected_card(c));
    int names = 0;
    const std::map<std::string, Bytes> saves = saves_by_name(*card, names);
    if (names == 0) continue;  // nothing to split: no folder is made
    auto slots = std::make_unique<SlotTable>();
    auto analysed = std::make_unique<CardImage>(*card);
    ASSERT_FALSE(analyse_card(*analysed, *slots, false));
    for (CardLayout layout : {CardLayout::memcardpro, CardLayout::sd2psx, CardLayout::duckstation}) {
      SCOPED_TRACE(card_layout_name(layout));
      const std::string folder = root + "/" + std::to_string(split_cards++);
      SplitPlan plan;
      ASSERT_FALSE(plan_split({SplitSource{c.path, card.get(), slots.get()}}, layout, folder, plan));
      SplitWritten written;
      ASSERT_FALSE(carry_out_split(plan, written));
      EXPECT_EQ(split_count(plan, SplitOutcome::added), names);
      auto back = std::make_unique<CardImage>(blank_card());
      GatherReport report;
      ASSERT_FALSE(gather_game_cards({folder}, GatherOptions{}, *back, report));
      int gathered_names = 0;
      EXPECT_EQ(saves_by_name(*back, gathered_names), saves);
      EXPECT_EQ(gathered_names, int(saves.size()));
    }
  }
  std::filesystem::remove_all(root);
}

// The SD-card and emulator files of the corpus, named as their devices name them.
TEST_F(ThirdPartyCorpus, TheLibraryKnowsTheDevicesCardsByTheirNames) {
  std::vector<LibraryCard> cards;
  ASSERT_FALSE(scan_library(corpus("memcardpro"), false, cards));
  ASSERT_EQ(cards.size(), 3u);
  EXPECT_EQ(cards[0].path, corpus("memcardpro") + "/MemoryCard2-1.mcd");
  EXPECT_EQ(cards[0].place.layout, CardLayout::memcardpro);
  EXPECT_EQ(cards[0].place.card_name, "MemoryCard2");
  EXPECT_EQ(cards[0].place.channel, 1);
  EXPECT_EQ(cards[0].used, 15);
  EXPECT_EQ(cards[1].place.channel, 2);
  EXPECT_EQ(cards[2].place.layout, CardLayout::none);  // blank.mcd
  ASSERT_FALSE(scan_library(corpus("duckstation-user"), false, cards));
  ASSERT_EQ(cards.size(), 2u);
  EXPECT_EQ(cards[0].place.card_name, "Vagrant Story (USA)");
  EXPECT_EQ(cards[0].place.layout, CardLayout::duckstation);
  EXPECT_EQ(cards[1].place.card_name, "shared_card");
  EXPECT_EQ(cards[1].saves.size(), 1u);  // the live save; the deleted one is no save
  ASSERT_FALSE(scan_library(corpus("picomemcard"), false, cards));
  ASSERT_EQ(cards.size(), 2u);
  EXPECT_EQ(cards[1].saves.size(), 5u);
  EXPECT_EQ(cards[1].saves[0].game_id, "SLES-02083");
}
