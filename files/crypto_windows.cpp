// The cryptography of files/crypto.h through Windows' CNG (bcrypt), which
// every Windows since Vista has.
#include <windows.h>

#include <bcrypt.h>

#include <cstring>
#include <cwchar>

#include "files/crypto.h"

namespace {

bool succeeded(NTSTATUS status) { return status >= 0; }

// An algorithm provider, closed when it goes out of scope.
struct Provider {
  BCRYPT_ALG_HANDLE handle = nullptr;
  Provider(LPCWSTR algorithm, ULONG flags) {
    if (!succeeded(BCryptOpenAlgorithmProvider(&handle, algorithm, nullptr, flags))) handle = nullptr;
  }
  ~Provider() {
    if (handle) BCryptCloseAlgorithmProvider(handle, 0);
  }
};

bool aes128_block(bool encrypt, const uint8_t* key, const uint8_t* in, uint8_t* out) {
  Provider aes(BCRYPT_AES_ALGORITHM, 0);
  if (!aes.handle) return false;
  const wchar_t* ecb = BCRYPT_CHAIN_MODE_ECB;
  if (!succeeded(BCryptSetProperty(aes.handle, BCRYPT_CHAINING_MODE, (PUCHAR)ecb,
                                   ULONG((std::wcslen(ecb) + 1) * sizeof(wchar_t)), 0)))
    return false;
  BCRYPT_KEY_HANDLE key_handle = nullptr;
  if (!succeeded(BCryptGenerateSymmetricKey(aes.handle, &key_handle, nullptr, 0, (PUCHAR)key,
                                            ULONG(kAesKeySize), 0)))
    return false;
  UCHAR input[kAesBlockSize];
  std::memcpy(input, in, kAesBlockSize);
  ULONG written = 0;
  const NTSTATUS status =
      encrypt ? BCryptEncrypt(key_handle, input, ULONG(kAesBlockSize), nullptr, nullptr, 0, out,
                              ULONG(kAesBlockSize), &written, 0)
              : BCryptDecrypt(key_handle, input, ULONG(kAesBlockSize), nullptr, nullptr, 0, out,
                              ULONG(kAesBlockSize), &written, 0);
  BCryptDestroyKey(key_handle);
  return succeeded(status) && written == kAesBlockSize;
}

bool sha1_of(const uint8_t* key, size_t key_size, const uint8_t* data, size_t size, uint8_t* out) {
  Provider sha(BCRYPT_SHA1_ALGORITHM, key ? BCRYPT_ALG_HANDLE_HMAC_FLAG : 0);
  if (!sha.handle) return false;
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (!succeeded(BCryptCreateHash(sha.handle, &hash, nullptr, 0, (PUCHAR)key, ULONG(key_size), 0)))
    return false;
  bool done = true;
  // BCryptHashData takes a ULONG length: feed large inputs in pieces.
  while (done && size > 0) {
    const ULONG piece = size > 0x40000000 ? 0x40000000 : ULONG(size);
    done = succeeded(BCryptHashData(hash, (PUCHAR)data, piece, 0));
    data += piece;
    size -= piece;
  }
  done = done && succeeded(BCryptFinishHash(hash, out, ULONG(kSha1Size), 0));
  BCryptDestroyHash(hash);
  return done;
}

}  // namespace

bool aes128_encrypt_block(const uint8_t key[kAesKeySize], const uint8_t in[kAesBlockSize],
                          uint8_t out[kAesBlockSize]) {
  return aes128_block(true, key, in, out);
}

bool aes128_decrypt_block(const uint8_t key[kAesKeySize], const uint8_t in[kAesBlockSize],
                          uint8_t out[kAesBlockSize]) {
  return aes128_block(false, key, in, out);
}

bool hmac_sha1(const uint8_t* key, size_t key_size, const uint8_t* data, size_t size,
               uint8_t out[kSha1Size]) {
  static const uint8_t kEmptyKey = 0;
  return sha1_of(key_size ? key : &kEmptyKey, key_size, data, size, out);
}

bool sha1(const uint8_t* data, size_t size, uint8_t out[kSha1Size]) {
  return sha1_of(nullptr, 0, data, size, out);
}
