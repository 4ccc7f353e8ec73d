// Test support for the compiler front end: compiling a chunk without a state, listing the
// instructions of a function and catching syntax errors.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "script/core/opcodes.h"
#include "script/compiler/parser.h"

namespace compiler_test
{

inline const char* OpName(OpCode op)
{
    static const char* const kNames[] = {
        "MOVE",      "LOADK",    "LOADBOOL", "LOADNIL",  "GETUPVAL", "GETGLOBAL", "GETTABLE",
        "SETGLOBAL", "SETUPVAL", "SETTABLE", "NEWTABLE", "SELF",     "ADD",       "SUB",
        "MUL",       "DIV",      "BAND",     "BOR",      "SHL",      "SHR",       "POW",
        "UNM",       "NOT",      "CONCAT",   "JMP",      "EQ",       "LT",        "LE",
        "TEST",      "CALL",     "TAILCALL", "RETURN",   "FORLOOP",  "TFORLOOP",  "TFORPREP",
        "SETLIST",   "SETLISTO", "CLOSE",    "CLOSURE"};
    return op < NUM_OPCODES ? kNames[op] : "?";
}

// "OP A B C", "OP A Bx" or "OP A sBx" by the operation's format.
inline std::string Disassemble(Instruction i)
{
    OpCode op = GET_OPCODE(i);
    std::string s = std::string(OpName(op)) + " " + std::to_string(GETARG_A(i));
    switch (op)
    {
    case OP_LOADK:
    case OP_GETGLOBAL:
    case OP_SETGLOBAL:
    case OP_SETLIST:
    case OP_SETLISTO:
    case OP_CLOSURE:
        return s + " " + std::to_string(GETARG_Bx(i));
    case OP_JMP:
    case OP_FORLOOP:
    case OP_TFORPREP:
        return s + " " + std::to_string(GETARG_sBx(i));
    default:
        return s + " " + std::to_string(GETARG_B(i)) + " " + std::to_string(GETARG_C(i));
    }
}

inline std::vector<std::string> Listing(const script::FunctionPrototype& f)
{
    std::vector<std::string> lines;
    for (Instruction i : f.code)
        lines.push_back(Disassemble(i));
    return lines;
}

inline std::unique_ptr<script::FunctionPrototype> Compile(const std::string& text)
{
    return script::CompileChunk(text.data(), text.size(), false, "=t");
}

inline std::vector<std::string> CompileListing(const std::string& text)
{
    return Listing(*Compile(text));
}

// The syntax error message of the chunk, or "(no error)".
inline std::string CompileError(const std::string& text)
{
    try
    {
        Compile(text);
    }
    catch (const script::SyntaxError& e)
    {
        return e.message;
    }
    return "(no error)";
}

// Each chunk's syntax error message (or "(no error)") against the one expected; a failure names
// the chunk.
inline void ExpectCompileErrors(std::initializer_list<std::pair<std::string, std::string>> cases)
{
    for (const auto& [text, message] : cases)
        EXPECT_EQ(CompileError(text), message) << text;
}

} // namespace compiler_test
