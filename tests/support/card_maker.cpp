#include "tests/support/card_maker.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace {

uint8_t xor_of(const uint8_t* f) {
  uint8_t sum = 0;
  for (int i = 0; i < 127; ++i) sum ^= f[i];
  return sum;
}

uint8_t* frame_at(CardImage& card, int number) { return card.bytes.data() + number * 128; }

}  // namespace

CardImage blank_card() {
  CardImage card;
  card.bytes[0] = 'M';
  card.bytes[1] = 'C';
  card.bytes[127] = 'M' ^ 'C';
  for (int f = 1; f <= 15; ++f) {
    uint8_t* d = frame_at(card, f);
    d[0] = 0xA0;
    d[8] = d[9] = 0xFF;
    d[127] = xor_of(d);
  }
  for (int f = 16; f < 36; ++f) {
    uint8_t* r = frame_at(card, f);
    r[0] = r[1] = r[2] = r[3] = 0xFF;
    r[8] = r[9] = 0xFF;
  }
  return card;
}

Bytes save_blocks(const SaveSpec& save) {
  Bytes data(size_t(save.blocks) * 8192);
  for (int n = 0; n < save.blocks; ++n)
    std::memset(data.data() + n * 8192, uint8_t(save.seed + n), 8192);
  uint8_t* h = data.data();
  std::memset(h, 0, 4 * 128);
  h[0] = 'S';
  h[1] = 'C';
  h[2] = uint8_t(0x10 | save.icon_frames);
  h[3] = uint8_t(save.blocks);
  std::memcpy(h + 4, save.title.data(), std::min<size_t>(save.title.size(), 64));
  for (int i = 0; i < 16; ++i) {
    h[96 + 2 * i] = uint8_t(save.colours[i]);
    h[97 + 2 * i] = uint8_t(save.colours[i] >> 8);
  }
  for (int k = 0; k < save.icon_frames; ++k)
    std::memset(h + 128 * (k + 1), save.frame_index[k] * 0x11, 128);
  return data;
}

Bytes directory_entry(const SaveSpec& save, uint8_t state, uint8_t next) {
  Bytes d(128, 0);
  d[0] = state;
  const uint32_t size = uint32_t(save.blocks) * 8192;
  for (int i = 0; i < 4; ++i) d[4 + i] = uint8_t(size >> (8 * i));
  d[8] = next;
  d[9] = next == 0xFF ? 0xFF : 0;
  std::memcpy(d.data() + 10, save.name.data(), std::min<size_t>(save.name.size(), 20));
  d[127] = xor_of(d.data());
  return d;
}

void put_save(CardImage& card, const SaveSpec& save, const std::vector<int>& slots) {
  const Bytes data = save_blocks(save);
  for (size_t n = 0; n < slots.size(); ++n) {
    const uint8_t state = n == 0 ? 0x51 : (n + 1 == slots.size() ? 0x53 : 0x52);
    const uint8_t next = n + 1 < slots.size() ? uint8_t(slots[n + 1]) : 0xFF;
    const Bytes d = directory_entry(save, state, next);
    std::memcpy(frame_at(card, slots[n] + 1), d.data(), 128);
    if (n < size_t(save.blocks))
      std::memcpy(card.bytes.data() + (slots[n] + 1) * 8192, data.data() + n * 8192, 8192);
  }
}

int add_save(CardImage& card, const SaveSpec& save) {
  std::vector<int> slots;
  for (int s = 0; s < 15 && int(slots.size()) < save.blocks; ++s)
    if (frame_at(card, s + 1)[0] == 0xA0) slots.push_back(s);
  if (int(slots.size()) < save.blocks) throw std::runtime_error("card maker: no room");
  put_save(card, save, slots);
  return slots[0];
}

void fix_checksum(CardImage& card, int f) { frame_at(card, f)[127] = xor_of(frame_at(card, f)); }

void break_checksum(CardImage& card, int f) { frame_at(card, f)[127] = uint8_t(xor_of(frame_at(card, f)) ^ 0x5A); }

void set_link(CardImage& card, int slot, uint8_t link) {
  uint8_t* d = frame_at(card, slot + 1);
  d[8] = link;
  d[9] = link == 0xFF ? 0xFF : 0;
  d[127] = xor_of(d);
}

void set_state(CardImage& card, int slot, uint8_t state) {
  uint8_t* d = frame_at(card, slot + 1);
  d[0] = state;
  d[127] = xor_of(d);
}

Bytes card_bytes(const CardImage& card) { return Bytes(card.bytes.begin(), card.bytes.end()); }

Bytes gme_file(const CardImage& card) {
  Bytes file(3904 + card.bytes.size(), 0);
  const char tag[] = "123-456-STD";
  std::memcpy(file.data(), tag, sizeof tag - 1);
  std::memset(file.data() + 64, 0xEE, 3904 - 64);  // anything: the reader skips it
  std::memcpy(file.data() + 3904, card.bytes.data(), card.bytes.size());
  return file;
}

void set_gme_comment(Bytes& gme, int slot, const std::string& text) {
  uint8_t* comment = gme.data() + 64 + 256 * slot;
  std::memset(comment, 0, 256);
  std::memcpy(comment, text.data(), std::min<size_t>(text.size(), 255));
}

namespace {

Bytes behind_header(Bytes header, const CardImage& card) {
  header.insert(header.end(), card.bytes.begin(), card.bytes.end());
  return header;
}

void put_le32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = uint8_t(value >> (8 * i));
}

}  // namespace

Bytes vgs_file(const CardImage& card) {
  Bytes header(64, 0);
  std::memcpy(header.data(), "VgsM", 4);
  header[4] = header[8] = header[12] = 1;
  header[17] = 2;
  return behind_header(header, card);
}

Bytes magazine_file(const CardImage& card) {
  Bytes header(256, 0x3A);
  std::memcpy(header.data(), "PSV", 3);
  return behind_header(header, card);
}

Bytes vmp_file(const CardImage& card, uint8_t seed_first) {
  Bytes header(0x80, 0);
  const uint8_t tag[] = {0x00, 'P', 'M', 'V'};
  std::memcpy(header.data(), tag, 4);
  header[4] = 0x80;
  for (int i = 0; i < 20; ++i) header[0x0C + i] = uint8_t(seed_first + i);
  return behind_header(header, card);
}

Bytes psx_file(const SaveSpec& save) {
  Bytes file(54, 0);
  std::memcpy(file.data(), save.name.data(), std::min<size_t>(save.name.size(), 20));
  std::memcpy(file.data() + 0x15, save.title.data(), std::min<size_t>(save.title.size(), 32));
  const Bytes data = save_blocks(save);
  file.insert(file.end(), data.begin(), data.end());
  return file;
}

Bytes psv_file(const SaveSpec& save, uint8_t seed_first) {
  Bytes file(0x84, 0);
  const uint8_t tag[] = {0x00, 'V', 'S', 'P'};
  std::memcpy(file.data(), tag, 4);
  for (int i = 0; i < 20; ++i) file[0x08 + i] = uint8_t(seed_first + i);
  const uint32_t size = uint32_t(save.blocks) * 8192;
  put_le32(&file[0x38], 0x14);
  put_le32(&file[0x3C], 1);
  put_le32(&file[0x40], size);
  put_le32(&file[0x44], 0x84);
  put_le32(&file[0x48], 0x200);
  put_le32(&file[0x5C], size);
  put_le32(&file[0x60], 0x9003);
  std::memcpy(file.data() + 0x64, save.name.data(), std::min<size_t>(save.name.size(), 20));
  const Bytes data = save_blocks(save);
  file.insert(file.end(), data.begin(), data.end());
  return file;
}

Bytes mcs_file(const SaveSpec& save) {
  Bytes file = directory_entry(save, 0x51, 0xFF);
  const Bytes data = save_blocks(save);
  file.insert(file.end(), data.begin(), data.end());
  return file;
}

Bytes raw_save_file(const SaveSpec& save) { return save_blocks(save); }

void write_file(const std::string& path, const Bytes& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error("card maker: cannot create " + path);
  const size_t written = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  if (written != bytes.size()) throw std::runtime_error("card maker: short write " + path);
}

Bytes read_file(const std::string& path) {
  Bytes bytes;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  std::fclose(f);
  return bytes;
}
