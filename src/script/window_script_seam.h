// Where the script layer finds the window manager's script: the toolkit, which owns the window
// manager, installs the source; objects then register their script functions in that state.
#pragma once

#include "script/lua.h"

class TScript;

using TWindowScriptSource = TScript* (*)();

// The toolkit installs a function answering its window manager's script; null removes it.
void SetWindowScriptSource(TWindowScriptSource source);
// The window manager's script, or null before the toolkit has one.
TScript* GetWindowScript();
// Its state, or null.
lua_State* GetWindowScriptState();
