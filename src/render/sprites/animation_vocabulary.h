// The animation-script vocabulary (delay, frames, fades, run...), carried in the program as Lua
// source and compiled into a script state on request.
#pragma once

struct lua_State;

// Defines the vocabulary's globals in the state; false (and a log line) when it does not compile.
// The state's owner registers the host functions the words call.
bool LoadAnimationVocabulary(lua_State* L);
