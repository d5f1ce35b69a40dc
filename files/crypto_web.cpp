// The cryptography of files/crypto.h through the browser's WebCrypto
// (crypto.subtle), which answers with promises: the calls wait for them
// through Asyncify, so the core sees them as the synchronous calls they are
// on the other systems. WebCrypto has no AES in ECB mode; one block of it is
// the first block of AES-CBC with a zero IV, and the inverse is the CBC
// decryption of that block followed by one that decrypts to a whole padding
// block (made by encrypting the padding XOR the block).
#include <emscripten.h>

#include "files/crypto.h"

namespace {

// 1 when the promise resolved, the bytes copied to `out`; 0 on any failure.
EM_ASYNC_JS(int, web_aes_block, (int encrypt, const uint8_t* key, const uint8_t* input, uint8_t* out), {
  try {
    const subtle = globalThis.crypto.subtle;
    const k = await subtle.importKey("raw", HEAPU8.slice(key, key + 16), {name: "AES-CBC"}, false,
                                     ["encrypt", "decrypt"]);
    const iv = new Uint8Array(16);
    const block = HEAPU8.slice(input, input + 16);
    let result;
    if (encrypt) {
      result = new Uint8Array(await subtle.encrypt({name: "AES-CBC", iv}, k, block)).subarray(0, 16);
    } else {
      const padding = new Uint8Array(16).fill(16);
      for (let i = 0; i < 16; ++i) padding[i] ^= block[i];
      const tail = new Uint8Array(await subtle.encrypt({name: "AES-CBC", iv}, k, padding)).subarray(0, 16);
      const two = new Uint8Array(32);
      two.set(block, 0);
      two.set(tail, 16);
      result = new Uint8Array(await subtle.decrypt({name: "AES-CBC", iv}, k, two));
      if (result.length != 16) return 0;
    }
    HEAPU8.set(result, out);
    return 1;
  } catch (e) {
    return 0;
  }
});

EM_ASYNC_JS(int, web_sha1, (const uint8_t* key, int key_size, const uint8_t* data, int size, uint8_t* out), {
  try {
    const subtle = globalThis.crypto.subtle;
    const bytes = HEAPU8.slice(data, data + size);
    let digest;
    if (key_size >= 0) {
      const k = await subtle.importKey("raw", HEAPU8.slice(key, key + key_size), {name: "HMAC", hash: "SHA-1"},
                                       false, ["sign"]);
      digest = await subtle.sign("HMAC", k, bytes);
    } else {
      digest = await subtle.digest("SHA-1", bytes);
    }
    HEAPU8.set(new Uint8Array(digest), out);
    return 1;
  } catch (e) {
    return 0;
  }
});

}  // namespace

bool aes128_encrypt_block(const uint8_t key[kAesKeySize], const uint8_t in[kAesBlockSize],
                          uint8_t out[kAesBlockSize]) {
  return web_aes_block(1, key, in, out) == 1;
}

bool aes128_decrypt_block(const uint8_t key[kAesKeySize], const uint8_t in[kAesBlockSize],
                          uint8_t out[kAesBlockSize]) {
  return web_aes_block(0, key, in, out) == 1;
}

bool hmac_sha1(const uint8_t* key, size_t key_size, const uint8_t* data, size_t size,
               uint8_t out[kSha1Size]) {
  return web_sha1(key, int(key_size), data, int(size), out) == 1;
}

bool sha1(const uint8_t* data, size_t size, uint8_t out[kSha1Size]) {
  return web_sha1(nullptr, -1, data, int(size), out) == 1;
}
