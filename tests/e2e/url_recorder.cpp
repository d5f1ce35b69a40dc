// Stands in for the web browser in the link tests: the shell starts it for
// https addresses, and it appends the address it was given to the file
// named by QUILLCREST_URL_LOG.
#include <windows.h>

#include <string>

int main(int argc, char** argv) {
  char log[MAX_PATH] = {};
  if (argc < 2 || !GetEnvironmentVariableA("QUILLCREST_URL_LOG", log, MAX_PATH)) return 1;
  HANDLE file = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  const std::string line = std::string(argv[1]) + "\n";
  DWORD written = 0;
  WriteFile(file, line.data(), DWORD(line.size()), &written, nullptr);
  CloseHandle(file);
  return 0;
}
