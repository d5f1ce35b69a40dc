#include "tests/support/openssl_signature.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include <unistd.h>

namespace {

// The published key and mask of the PS1 signature.
const char kKey[] = "AB5ABC9FC1F49DE6A051DBAEFA518859";
const uint8_t kMask[16] = {0xB3, 0x0F, 0xFE, 0xED, 0xB7, 0xDC, 0x5E, 0xB7,
                           0x13, 0x3D, 0xA6, 0x0D, 0x1B, 0x6B, 0x2C, 0xDC};

void run(const std::string& command) {
  if (std::system(command.c_str()) != 0) throw std::runtime_error("openssl failed: " + command);
}

std::string hex(const Bytes& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (uint8_t b : bytes) {
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  return text;
}

}  // namespace

Bytes openssl_signature(const Bytes& file, size_t seed_at, size_t signature_at) {
  char pattern[] = "/tmp/quillcrest-openssl-XXXXXX";
  if (!mkdtemp(pattern)) throw std::runtime_error("no temporary folder");
  const std::string folder = pattern;
  const Bytes seed(file.begin() + seed_at, file.begin() + seed_at + 20);
  write_file(folder + "/seed", Bytes(seed.begin(), seed.begin() + 16));
  const std::string aes = "openssl enc -aes-128-ecb -nopad -K " + std::string(kKey) + " -in " + folder + "/seed";
  run(aes + " -d -out " + folder + "/decrypted");
  run(aes + " -e -out " + folder + "/encrypted");
  const Bytes decrypted = read_file(folder + "/decrypted");
  const Bytes encrypted = read_file(folder + "/encrypted");
  if (decrypted.size() != 16 || encrypted.size() != 16) throw std::runtime_error("openssl: no block");
  Bytes key(20);
  for (int i = 0; i < 16; ++i) key[i] = decrypted[i] ^ kMask[i];
  for (int i = 0; i < 4; ++i) key[16 + i] = encrypted[i] ^ seed[16 + i];
  Bytes unsigned_file = file;
  std::fill(unsigned_file.begin() + signature_at, unsigned_file.begin() + signature_at + 20, 0);
  write_file(folder + "/file", unsigned_file);
  run("openssl dgst -sha1 -mac HMAC -macopt hexkey:" + hex(key) + " -binary -out " + folder +
      "/signature " + folder + "/file");
  const Bytes signature = read_file(folder + "/signature");
  run("rm -rf '" + folder + "'");
  if (signature.size() != 20) throw std::runtime_error("openssl: no signature");
  return signature;
}

Bytes signed_by_openssl(Bytes file, size_t seed_at, size_t signature_at) {
  const Bytes signature = openssl_signature(file, seed_at, signature_at);
  std::copy(signature.begin(), signature.end(), file.begin() + signature_at);
  return file;
}
