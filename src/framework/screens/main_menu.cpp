// The main menu screen's greeting.
#include "framework/screens/main_menu.h"

#include "framework/core/settings.h"
#include "platform/shell/application.h"
#include "platform/strings/string_table.h"
#include "script/lua_bind.h"
#include "script/window_script_seam.h"
#include "ui/text_window.h"

namespace
{
const char kSetWelcomeName[] = "SetWelcomeName";
const char kMissingText[] = "#####";
} // namespace

TMainMenu::TMainMenu()
{
    if (lua_State* L = GetWindowScriptState())
    {
        LuaBindMember(L, kSetWelcomeName, this, &TMainMenu::SetWelcomeName);
        mBound = true;
    }
}

TMainMenu::~TMainMenu()
{
    if (mBound)
        if (lua_State* L = GetWindowScriptState())
            LuaUnbindMemberIfBound(L, kSetWelcomeName, this);
}

TWindow* TMainMenu::Create()
{
    return new TMainMenu();
}

TClassId TMainMenu::GetClassId()
{
    return reinterpret_cast<TClassId>(&TMainMenu::Create);
}

void TMainMenu::SetWelcomeName()
{
    TWindow* welcome = FindChild("welcome", 0xFFFFFFFFu);
    if (welcome == nullptr)
        return;
    TApplication* app = TApplication::Get();
    TStringTable* table = app != nullptr ? app->GetStringTable() : nullptr;
    if (table == nullptr)
        return;
    // Probing for "welcomeempty" must not log a missing label.
    table->SetQuiet(true);
    const TString name =
        Settings::Instance() != nullptr ? Settings::Instance()->GetCurrentUserName() : TString();
    const bool useEmpty =
        table->GetString("welcomeempty") != TString(kMissingText) && name.Length() == 0;
    const TString text =
        useEmpty ? table->GetString("welcomeempty") : table->GetString("welcome", name);
    if (welcome->IsKindOf(TText::GetClassId()))
        static_cast<TText*>(welcome)->SetText(text);
    table->SetQuiet(false);
}
