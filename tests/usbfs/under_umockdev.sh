#!/bin/sh
# Runs a test program under umockdev-wrapper, which preloads umockdev's
# library. Under the sanitizers that library comes before ASan's runtime,
# which ASan allows only when told.
ASAN_OPTIONS="verify_asan_link_order=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}" exec umockdev-wrapper "$@"
