// The program's version, shown in the file's properties on Windows.
#pragma once

#define QUILLCREST_VERSION_NUMBERS 1, 0, 0, 0
#define QUILLCREST_VERSION_TEXT "1.0.0.0"
