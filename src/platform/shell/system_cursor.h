// The program's own cursor image, available before any asset is read.
#pragma once

#include <cstdint>

// PNG bytes of the built-in arrow cursor; `size` receives their count.
const uint8_t* GetSystemCursorPng(uint32_t* size);
