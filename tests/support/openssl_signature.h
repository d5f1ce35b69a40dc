// The PS1 file signature (the one a PSP, Vita or PS3 checks) made by the
// openssl command-line tool alone, so that tests judge the program's
// signatures by an implementation that is not its own. Native tests only.
#pragma once

#include <cstddef>

#include "tests/support/card_maker.h"

// The 20-byte signature of `file`, whose seed lies at `seed_at` and whose
// signature field at `signature_at` counts as zero. Throws when openssl
// cannot be run.
Bytes openssl_signature(const Bytes& file, size_t seed_at, size_t signature_at);
// The file with that signature in its field.
Bytes signed_by_openssl(Bytes file, size_t seed_at, size_t signature_at);
