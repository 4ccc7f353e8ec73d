// "DevShowDialog": shows an in-scene dialog by name and runs a statement when it closes.
#include "game/dev_dialog.h"

#include "framework/adventure/dialog/gameplay_dialog.h"
#include "framework/transforms/transform_manager.h"
#include "platform/config/config.h"
#include "platform/log.h"
#include "script/lua_bind.h"
#include "ui/modal_window.h"
#include "ui/window_manager.h"
#include "ui/window_script.h"

namespace
{

const char kName[] = "DevShowDialog";

// One statement at a time: the dialog shown last owns it.
TString gStatement;

void OnClosed(void*, TM_Transform*, uint32_t value)
{
    TWindowManager* manager = GetWindowManager();
    TWindowScript* script = manager != nullptr ? manager->GetScript() : nullptr;
    if (script == nullptr)
        return;
    TString statement = gStatement;
    statement.Replace("%d", TString::Format("%u", value), kStringReplaceAll);
    script->DoLuaString(statement);
}

Callback gClosed(nullptr, &OnClosed);

} // namespace

bool DevShowDialog(const TString& name, const TString& statement)
{
    TWindowManager* manager = GetWindowManager();
    TModalWindow* top = manager != nullptr ? manager->GetTopModal() : nullptr;
    TWindow* found = top != nullptr ? top->FindChild(name, 0xFFFFFFFFu) : nullptr;
    if (found == nullptr || !found->IsKindOf(GameplayDialog::GetClassId()))
    {
        Log("ERROR: DevShowDialog: no GameplayDialog named '%s' under the top window",
            name.c_str());
        return false;
    }
    gStatement = statement;
    static_cast<GameplayDialog*>(found)->Show(&gClosed);
    return true;
}

void BindDevFunctions(lua_State* L)
{
    if (GetConfig("dev") == TString("1"))
        LuaBindFunction(L, kName, &DevShowDialog);
}

void UnbindDevFunctions(lua_State* L)
{
    LuaUnbindMember(L, kName);
}
