// TWindowStyle: typed reads with defaults from a window's script description table, falling back
// to the default style ("gCurrentDefaultStyle") and its "parent" chain.
#pragma once

#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"
#include "script/lua.h"

#include <cstdint>
#include <memory>

class TLuaFunction;
class TLuaObjectWrapper;
class TLuaTable;

class TWindowStyle
{
public:
    // The style reads through the wrapper's state; it does not own the wrapper.
    explicit TWindowStyle(TLuaObjectWrapper* table) : mTable(table) {}
    virtual ~TWindowStyle() = default;

    // Every getter leaves the stack as it found it.
    double GetNumber(const TString& key, double def) const;
    // Truncated toward zero; NaN reads as 0 and values no int holds saturate.
    int32_t GetInt(const TString& key, int32_t def) const;
    TString GetString(const TString& key, const TString& def) const;
    TVec4 GetColor(const TString& key, float r, float g, float b, float a) const;
    bool GetBool(const TString& key, bool def) const;
    // New wrappers owned by the caller; null when the key is not found.
    TLuaTable* GetTable(const TString& key) const;
    TLuaFunction* GetFunction(const TString& key) const;
    // The value when it is a table; a value of another type counts as missing.
    std::unique_ptr<TLuaTable> GetTableOnly(const TString& key) const;

    // A wrapper of the style's own table that the caller owns: it outlives the script's queued
    // deletions, which a nested script call (a fatal report's quit request) runs. Null without a
    // table.
    std::unique_ptr<TLuaTable> CopyTable() const;

    // With the table to search on top: pushes the value found and answers true, else leaves the
    // stack as it was and answers false.
    static bool Find(lua_State* L, const TString& key, bool useDefault);

private:
    // Pushes the style table and searches; on success the value is on top.
    bool PushValue(const TString& key) const;

    TLuaObjectWrapper* mTable;
};
