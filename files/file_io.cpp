#include "files/file_io.h"

#include <cctype>
#include <cstdio>
#include <new>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

const char* const kCannotOpen = "Cannot open file !";
const char* const kCannotCreate = "Cannot create file !";
const char* const kCannotWrite = "Cannot write file !";
const char* const kNoMemory = "Not enough memory ! (seriously ?)";

// 64-bit file positions, so that files over 2 GiB report their true length.
bool seek_end_and_tell(FILE* file, uint64_t& length) {
#if defined(_WIN32)
  if (_fseeki64(file, 0, SEEK_END) != 0) return false;
  const long long position = _ftelli64(file);
  if (position < 0 || _fseeki64(file, 0, SEEK_SET) != 0) return false;
#else
  if (fseeko(file, 0, SEEK_END) != 0) return false;
  const off_t position = ftello(file);
  if (position < 0 || fseeko(file, 0, SEEK_SET) != 0) return false;
#endif
  length = uint64_t(position);
  return true;
}

// The bytes leave the C library's buffer with fflush, and the system's
// cache only with this: without it a power cut after the rename could leave
// a renamed file whose blocks were never written.
bool flush_to_disk(FILE* file) {
#if defined(_WIN32)
  return _commit(_fileno(file)) == 0;
#else
  return fsync(fileno(file)) == 0;
#endif
}

}  // namespace

Failure read_file_prefix(const std::string& path, size_t limit, FilePrefix& out) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return fail(kCannotOpen, "File Error");
  uint64_t length = 0;
  if (!seek_end_and_tell(file, length)) {
    std::fclose(file);
    return fail(kCannotOpen, "File Error");
  }
  const size_t wanted = length < limit ? size_t(length) : limit;
  try {
    out.bytes.assign(wanted, 0);
  } catch (const std::bad_alloc&) {
    std::fclose(file);
    return fail(kNoMemory, "Memory Error");
  }
  // A file that shrank since its length was taken keeps only what arrived.
  out.bytes.resize(wanted ? std::fread(out.bytes.data(), 1, wanted, file) : 0);
  out.length = length;
  out.whole = out.bytes.size() == wanted;
  std::fclose(file);
  return std::nullopt;
}

Failure write_file_replacing(const std::string& path, const uint8_t* bytes, size_t size) {
  const std::string temporary = path + ".quillcrest-tmp";
  FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) return fail(kCannotCreate, "File Error");
  const bool written = std::fwrite(bytes, 1, size, file) == size;
  const bool flushed = std::fflush(file) == 0 && flush_to_disk(file);
  const bool closed = std::fclose(file) == 0;
  if (!written || !flushed || !closed || !replace_file(temporary, path)) {
    std::remove(temporary.c_str());
    return fail(kCannotWrite, "File Error");
  }
  return std::nullopt;
}

std::string lowercase_extension(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return ascii_lowercase(path.substr(dot));
}

std::string ascii_lowercase(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return text;
}

bool same_ignoring_case(const std::string& a, const std::string& b) {
  return a.size() == b.size() && ascii_lowercase(a) == ascii_lowercase(b);
}
