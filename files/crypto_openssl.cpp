// The cryptography of files/crypto.h through OpenSSL's libcrypto.
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include "files/crypto.h"

namespace {

bool aes128_block(bool encrypt, const uint8_t* key, const uint8_t* in, uint8_t* out) {
  EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
  if (!context) return false;
  int written = 0, finished = 0;
  const bool done = EVP_CipherInit_ex(context, EVP_aes_128_ecb(), nullptr, key, nullptr, encrypt) == 1 &&
                    EVP_CIPHER_CTX_set_padding(context, 0) == 1 &&
                    EVP_CipherUpdate(context, out, &written, in, int(kAesBlockSize)) == 1 &&
                    EVP_CipherFinal_ex(context, out + written, &finished) == 1 &&
                    size_t(written + finished) == kAesBlockSize;
  EVP_CIPHER_CTX_free(context);
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
  unsigned int length = 0;
  return HMAC(EVP_sha1(), key, int(key_size), data, size, out, &length) && length == kSha1Size;
}

bool sha1(const uint8_t* data, size_t size, uint8_t out[kSha1Size]) {
  unsigned int length = 0;
  return EVP_Digest(data, size, out, &length, EVP_sha1(), nullptr) == 1 && length == kSha1Size;
}
