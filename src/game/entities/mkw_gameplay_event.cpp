// The game's event: its two journal lists.
#include "game/entities/mkw_gameplay_event.h"

#include "platform/log.h"
#include "script/lua_object_wrapper.h"

#include <memory>

namespace
{

// The text and number values of table[key]; any other value is logged and left out, rather than
// becoming the text of a script handle.
std::vector<TString> ReadJournalList(const TLuaTable& table, const char* key, const TString& event)
{
    std::vector<TString> values;
    std::unique_ptr<TLuaTable> list(table.GetTable(key));
    if (list == nullptr)
        return values;
    TLuaObjectWrapper* at = nullptr;
    while (TLuaTable* raw = list->Next(&at))
    {
        std::unique_ptr<TLuaTable> value(raw);
        lua_State* L = value->GetState();
        value->Push();
        const int type = lua_type(L, -1);
        lua_pop(L, 1);
        if (type == LUA_TSTRING || type == LUA_TNUMBER)
            values.push_back(value->ToString());
        else
            Log("ERROR: Event '%s' has a \"%s\" entry that is neither text nor a number",
                event.c_str(), key);
    }
    return values;
}

} // namespace

MKWGameplayEvent::MKWGameplayEvent(const TLuaTable& table) : GameplayEvent(table)
{
    mJournalToActivate = ReadJournalList(table, "journaltoactivate", mName);
    mJournalToDeactivate = ReadJournalList(table, "journaltodeactivate", mName);
}

MKWGameplayEvent::~MKWGameplayEvent() = default;
