// Entry point of the compiler front end (lexer, parser, code generator) used by the chunk loader.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "script/compiler/codegen.h"
#include "script/compiler/lexer.h"
#include "script/core/object.h"
#include "script/lua.h"

// Compiles the source text in buffer[0..size), followed by the blocks reader gives when there is
// one (read as the lexer needs them), into the main function's prototype. The loader passes text
// only (precompiled chunks never reach here). When the text begins with the bytes FF FE (both in
// buffer) it is UTF-16LE: those two bytes are skipped and the rest is read as 16-bit units.
// Syntax errors push their message and raise LUA_ERRSYNTAX through luaD_throw. Nothing is
// collected while a chunk compiles.
Proto* ParseChunk(lua_State* L, const char* buffer, size_t size, const char* chunkname,
                  lua_Chunkreader reader = nullptr, void* data = nullptr);

namespace script
{

// Compiles a chunk without a state: the main function and its nested functions, or a thrown
// SyntaxError with the complete message. wideSource: the text is UTF-16LE without its mark.
std::unique_ptr<FunctionPrototype> CompileChunk(const char* buffer, size_t size, bool wideSource,
                                                const std::string& chunkName,
                                                SourceRefill refill = {});

} // namespace script
