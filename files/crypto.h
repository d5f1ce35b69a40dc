// The platform's own cryptography, for the signatures a PSP, a PS Vita and a
// PS3 check on PS1 card and save files: OpenSSL's libcrypto on Linux, CNG
// (bcrypt) on Windows. Each returns false only when the platform's library
// itself fails.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kAesBlockSize = 16;
constexpr size_t kAesKeySize = 16;
constexpr size_t kSha1Size = 20;

// One 16-byte block through AES-128 in ECB mode, without padding.
bool aes128_encrypt_block(const uint8_t key[kAesKeySize], const uint8_t in[kAesBlockSize],
                          uint8_t out[kAesBlockSize]);
bool aes128_decrypt_block(const uint8_t key[kAesKeySize], const uint8_t in[kAesBlockSize],
                          uint8_t out[kAesBlockSize]);

bool hmac_sha1(const uint8_t* key, size_t key_size, const uint8_t* data, size_t size,
               uint8_t out[kSha1Size]);
bool sha1(const uint8_t* data, size_t size, uint8_t out[kSha1Size]);
