// What the script host needs to know of a thread's call records without seeing the engine's
// internals: whether it is suspended in a yield, and which frame the stack API works in.
#pragma once

#include "script/lua.h"

#include <cstddef>

// True when the thread's current call record is not its base record and carries the yield mark.
bool IsThreadYielded(lua_State* L);

// The frame the stack API currently addresses; two marks are equal when stack indices taken in
// one still mean the same slots in the other.
struct TThreadFrame
{
    ptrdiff_t mDepth = 0; // call records above the base record
    ptrdiff_t mBase = 0;  // the frame's first slot, counted from the bottom of the stack

    bool operator==(const TThreadFrame& other) const = default;
};
TThreadFrame GetThreadFrame(lua_State* L);

// Where the last failed resume in the thread's universe stopped ("source:line"), when its error
// value was not a string; empty when it was, or when no Lua function was running.
const char* GetFailedResumePosition(lua_State* L);
