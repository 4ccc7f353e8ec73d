// The developer's script function "DevShowDialog", bound only with the configuration "dev" = "1":
// no script function of the game shows an in-scene dialog, so development screens reach one
// through it.
#pragma once

#include "platform/strings/tstring.h"
#include "script/lua.h"

// Shows the GameplayDialog of that name under the top modal window (any depth); when the dialog
// calls back, runs `statement` in the window script with "%d" replaced by the value. Another name
// or another kind of window: one log line and false.
bool DevShowDialog(const TString& name, const TString& statement);

// Binds "DevShowDialog" when the configuration holds "dev" = "1".
void BindDevFunctions(lua_State* L);
void UnbindDevFunctions(lua_State* L);
