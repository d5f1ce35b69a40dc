# Cross build of the same program for 64-bit Windows: compiled by every test
# run, so that a pointer-width fault shows before a user meets it, and run
# by the tests on machines that cannot execute 32-bit programs.
set(MINGW_HOST x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Debian's /usr/bin/wine always takes the 32-bit loader once wine32 is
# installed, and the 64-bit one refuses to run through a link named wine.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
