// The installed source of the window manager's script.
#include "script/window_script_seam.h"

#include "script/script.h"

namespace
{
TWindowScriptSource gWindowScriptSource = nullptr;
}

void SetWindowScriptSource(TWindowScriptSource source)
{
    gWindowScriptSource = source;
}

TScript* GetWindowScript()
{
    return gWindowScriptSource != nullptr ? gWindowScriptSource() : nullptr;
}

lua_State* GetWindowScriptState()
{
    TScript* script = GetWindowScript();
    return script != nullptr ? script->GetState() : nullptr;
}
