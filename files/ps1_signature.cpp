#include "files/ps1_signature.h"

#include <cstring>
#include <vector>

#include "files/crypto.h"

namespace {

const uint8_t kKey[kAesKeySize] = {0xAB, 0x5A, 0xBC, 0x9F, 0xC1, 0xF4, 0x9D, 0xE6,
                                   0xA0, 0x51, 0xDB, 0xAE, 0xFA, 0x51, 0x88, 0x59};
const uint8_t kMask[kAesBlockSize] = {0xB3, 0x0F, 0xFE, 0xED, 0xB7, 0xDC, 0x5E, 0xB7,
                                      0x13, 0x3D, 0xA6, 0x0D, 0x1B, 0x6B, 0x2C, 0xDC};
constexpr size_t kHmacKeySize = 20;

// The HMAC key: the seed's first 16 bytes decrypted and masked, then the
// first 4 bytes of their encryption mixed with the seed's last 4.
bool hmac_key(const uint8_t* seed, uint8_t key[kHmacKeySize]) {
  uint8_t decrypted[kAesBlockSize], encrypted[kAesBlockSize];
  if (!aes128_decrypt_block(kKey, seed, decrypted) || !aes128_encrypt_block(kKey, seed, encrypted))
    return false;
  for (size_t i = 0; i < kAesBlockSize; ++i) key[i] = decrypted[i] ^ kMask[i];
  for (size_t i = 0; i < kHmacKeySize - kAesBlockSize; ++i)
    key[kAesBlockSize + i] = encrypted[i] ^ seed[kAesBlockSize + i];
  return true;
}

}  // namespace

bool ps1_signature(const uint8_t* file, size_t size, SignatureLayout layout,
                   uint8_t signature[kSignatureSize]) {
  uint8_t key[kHmacKeySize];
  if (!hmac_key(file + layout.seed_at, key)) return false;
  std::vector<uint8_t> unsigned_file(file, file + size);
  std::memset(unsigned_file.data() + layout.signature_at, 0, kSignatureSize);
  return hmac_sha1(key, sizeof key, unsigned_file.data(), size, signature);
}

bool sign_ps1_file(uint8_t* file, size_t size, SignatureLayout layout) {
  uint8_t signature[kSignatureSize];
  if (!ps1_signature(file, size, layout, signature)) return false;
  std::memcpy(file + layout.signature_at, signature, kSignatureSize);
  return true;
}

bool ps1_signature_holds(const uint8_t* file, size_t size, SignatureLayout layout) {
  uint8_t signature[kSignatureSize];
  return ps1_signature(file, size, layout, signature) &&
         std::memcmp(signature, file + layout.signature_at, kSignatureSize) == 0;
}
