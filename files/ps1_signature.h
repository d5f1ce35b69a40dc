// The signature a PSP or PS Vita checks on a VMP card and a PS3 on the PSV
// file of a PS1 save: HMAC-SHA1 over the whole file, keyed from a 20-byte
// seed the file itself holds. The key and mask are the same for every
// console, so any file can be signed.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kSeedSize = 20;
constexpr size_t kSignatureSize = 20;

// Where a file keeps its seed and signature.
struct SignatureLayout {
  size_t seed_at;
  size_t signature_at;
};

// The signature of `file` (its signature bytes read as zero). False when the
// platform's cryptography failed. The file must hold both fields.
bool ps1_signature(const uint8_t* file, size_t size, SignatureLayout layout,
                   uint8_t signature[kSignatureSize]);

// Writes the signature into the file's signature field.
bool sign_ps1_file(uint8_t* file, size_t size, SignatureLayout layout);

// Whether the file's signature field holds its signature.
bool ps1_signature_holds(const uint8_t* file, size_t size, SignatureLayout layout);
