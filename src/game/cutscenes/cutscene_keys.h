// Reading the cut-scene tables: numbers that must be numbers (a value of another type is logged
// and read as the default), integers truncated toward zero, array lengths and the string table.
#pragma once

#include "platform/strings/tstring.h"
#include "script/lua_object_wrapper.h"

#include <cstdint>
#include <memory>

namespace cutscene
{

// The number under `key`; a value that is neither a number nor a numeric string is logged with
// the owner's name and gives `def`.
double ReadNumber(const TLuaTable& table, const char* key, double def, const char* owner);
// The same, truncated toward zero.
int32_t ReadInt(const TLuaTable& table, const char* key, int32_t def, const char* owner);
// The length of the table's array part (0 for a value that is not a table).
int32_t ArrayLength(const TLuaTable& table);
// Whether the wrapped value is a table.
bool IsTable(const TLuaTable& value);
// Calls `visit` with each value of the list that is a table, in iteration order; other values
// are skipped.
template <class Visit> void ForEachTable(const TLuaTable& list, Visit visit)
{
    TLuaObjectWrapper* key = nullptr;
    while (TLuaTable* entry = list.Next(&key))
    {
        std::unique_ptr<TLuaTable> owned(entry);
        if (IsTable(*owned))
            visit(*owned);
    }
}
// The application string table's text for the label; the label itself without a string table.
TString LocalizedText(const TString& label);

} // namespace cutscene
