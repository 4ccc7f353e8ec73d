// Precompiled chunks: writing a prototype as a binary chunk and reading one back (either byte
// order), with the 22-byte header and 4-byte size fields.
#pragma once

#include "script/core/state.h"

// Header constants.
constexpr unsigned char LUA_SIGNATURE[4] = {27, 'L', 'u', 'a'};
constexpr int LUAC_VERSION = 0x50;
constexpr double LUAC_TEST_NUMBER = 31415926.535897933;

// Writes f through w, one call per field; returns the writer's last result.
int luaU_dump(lua_State* L, const Proto* f, lua_Chunkwriter w, void* data);
// Reads a chunk held in memory; raises the load errors as run-time errors.
Proto* luaU_undump(lua_State* L, const char* buffer, size_t size, const char* chunkname);
