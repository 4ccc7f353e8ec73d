// Wrappers that keep one script value alive in the registry (keyed by the wrapper's own address)
// and let program objects read it: TLuaObjectWrapper, TLuaFunction and TLuaTable.
#pragma once

#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"
#include "script/lua.h"

class TLuaObjectWrapper
{
public:
    // Takes the value on top of L's stack into the registry and pops it.
    explicit TLuaObjectWrapper(lua_State* L);
    virtual ~TLuaObjectWrapper();
    TLuaObjectWrapper(const TLuaObjectWrapper&) = delete;
    TLuaObjectWrapper& operator=(const TLuaObjectWrapper&) = delete;

    // Pushes the held value.
    void Push() const;
    // The script text of the held value (numbers converted); empty for values without one.
    TString ToString() const;
    // Hands the wrapper to the script that owns the state ("_SCRIPT"), which deletes it before its
    // next run or resume. False when the state has no owning script; the caller keeps it then.
    bool DeleteLater();

    lua_State* GetState() const { return mState; }

protected:
    lua_State* mState;
};

class TLuaFunction : public TLuaObjectWrapper
{
public:
    explicit TLuaFunction(lua_State* L) : TLuaObjectWrapper(L) {}
};

class TLuaTable : public TLuaObjectWrapper
{
public:
    explicit TLuaTable(lua_State* L) : TLuaObjectWrapper(L) {}

    // A wrapper over a copy of the value at idx, deleted by the owning script before it resumes
    // (on a state without an owning script the caller deletes it).
    static TLuaTable* Wrap(lua_State* L, int idx);

    // Push t[key] (through metamethods) and answer true when it is not nil; else push nothing.
    bool PushField(const char* key) const;
    bool PushIndex(double key) const;

    TString GetString(const char* key, const TString& def = TString()) const;
    TString GetStringAt(double key, const TString& def = TString()) const;
    double GetNumber(const char* key, double def = 0) const;
    double GetNumberAt(double key, double def = 0) const;
    bool GetBool(const char* key, bool def = false) const;
    // A new wrapper (the caller deletes it) when the entry is a table, else null.
    TLuaTable* GetTable(const char* key) const;
    TLuaTable* GetTableAt(double key) const;
    // Entries [1] to [4] of the sub-table; each missing one comes from the default.
    TVec4 GetVec4(const TString& key, const TVec4& def) const;
    TVec4 GetVec4At(double key, const TVec4& def) const;

    void ClearField(const TString& key);
    void SetString(const TString& key, const TString& value);
    void SetNumber(const TString& key, double value);

    // One step of iteration. `key` is the previous key's wrapper (null to start); it is deleted
    // here and replaced by the new key's wrapper. Answers the value's wrapper (the caller deletes
    // it), or null at the end, when `key` is left null.
    TLuaTable* Next(TLuaObjectWrapper** key) const;

private:
    // Pushes t[key], where the key lies on top of the stack (it is replaced by the value).
    void IndexWithKeyOnTop() const;
    bool PushFieldWithKeyOnTop() const;
    TVec4 Vec4FromTable(TLuaTable* table, const TVec4& def) const;
};

// A TString of the script text at idx (empty when the value has none).
TString LuaGetString(lua_State* L, int idx);
void LuaPushString(lua_State* L, const TString& text);
