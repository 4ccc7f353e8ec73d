// String library internals shared by its parts (the stock functions and lualex, patterns, format,
// pack and unpack): number conversions, positions and the functions each part registers.
#pragma once

#include "script/lua.h"

#include <cstddef>
#include <cstdint>

namespace string_lib
{

using uchar = unsigned char;

// The escape of patterns and of format items.
constexpr char kEsc = '%';

int32_t TruncToInt32(double d);
int64_t TruncToInt64(double d);
uint32_t TruncLow32(double d);
long PosRelative(lua_Number arg, size_t len);

// lib_string_patterns.cpp
int StrFind(lua_State* L);
int StrGfind(lua_State* L);
int StrGsub(lua_State* L);

// lib_string_format.cpp
int StrFormat(lua_State* L);

// lib_string_pack.cpp
int StrPack(lua_State* L);
int StrUnpack(lua_State* L);

} // namespace string_lib
