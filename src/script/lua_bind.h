// Member and function binding: objects offer member functions to scripts as globals while they
// live (LuaBindMember / LuaUnbindMember), each called through the adapter of its signature.
#pragma once

#include "platform/strings/tstring.h"
#include "script/lauxlib.h"
#include "script/lua.h"
#include "script/lua_object_wrapper.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <tuple>
#include <type_traits>
#include <utility>

// A string argument a function cannot do without: a string or a number is taken, as the script's
// own string functions take them; anything else, or nothing, raises the script's "bad argument"
// error instead of reaching the function as empty text.
struct TLuaRequiredString
{
    TString mText;
};

namespace luabind_detail
{

// Script number to an integer type: truncated toward zero; values no 64-bit integer holds (and
// NaN) read as 0, then the low bits are kept, so no conversion is undefined.
template <class I> I ToInteger(lua_Number n)
{
    if (!(n > -9223372036854775808.0 && n < 9223372036854775808.0))
        return static_cast<I>(0);
    return static_cast<I>(static_cast<uint64_t>(static_cast<int64_t>(n)));
}

// How one parameter type is read from the stack. `Holder` keeps what the call needs alive until
// the member returns.
template <class P, class Enable = void> struct Arg;

template <class P>
struct Arg<P, std::enable_if_t<std::is_integral_v<P> && !std::is_same_v<P, bool>>>
{
    using Holder = P;
    static Holder Get(lua_State* L, int i) { return ToInteger<P>(lua_tonumber(L, i)); }
    static P Pass(Holder& h) { return h; }
};

template <class P> struct Arg<P, std::enable_if_t<std::is_enum_v<P>>>
{
    using Holder = P;
    static Holder Get(lua_State* L, int i)
    {
        return static_cast<P>(ToInteger<std::underlying_type_t<P>>(lua_tonumber(L, i)));
    }
    static P Pass(Holder& h) { return h; }
};

template <class P> struct Arg<P, std::enable_if_t<std::is_floating_point_v<P>>>
{
    using Holder = P;
    static Holder Get(lua_State* L, int i) { return static_cast<P>(lua_tonumber(L, i)); }
    static P Pass(Holder& h) { return h; }
};

template <> struct Arg<bool>
{
    using Holder = bool;
    static Holder Get(lua_State* L, int i) { return lua_toboolean(L, i) != 0; }
    static bool Pass(Holder& h) { return h; }
};

template <> struct Arg<TString>
{
    using Holder = TString;
    static Holder Get(lua_State* L, int i) { return LuaGetString(L, i); }
    static const TString& Pass(Holder& h) { return h; }
};

template <> struct Arg<TLuaRequiredString>
{
    using Holder = TLuaRequiredString;
    static Holder Get(lua_State* L, int i)
    {
        size_t length = 0;
        const char* text = luaL_checklstring(L, i, &length);
        return TLuaRequiredString{TString(text, static_cast<unsigned>(length))};
    }
    static const TLuaRequiredString& Pass(Holder& h) { return h; }
};

// The text stays valid while the argument stays on the stack, that is for the whole call.
template <> struct Arg<const char*>
{
    using Holder = const char*;
    static Holder Get(lua_State* L, int i) { return lua_tostring(L, i); }
    static const char* Pass(Holder& h) { return h; }
};

template <> struct Arg<TLuaTable*>
{
    // Owned here only when the state has no script to hand it to.
    struct Holder
    {
        TLuaTable* mTable = nullptr;
        std::unique_ptr<TLuaTable> mOwned;
    };
    static Holder Get(lua_State* L, int i)
    {
        Holder h;
        lua_pushvalue(L, i);
        h.mTable = new TLuaTable(L);
        if (!h.mTable->DeleteLater())
            h.mOwned.reset(h.mTable);
        return h;
    }
    static TLuaTable* Pass(Holder& h) { return h.mTable; }
};

// How one result type is pushed.
template <class R> int PushResult(lua_State* L, R&& value)
{
    using D = std::decay_t<R>;
    if constexpr (std::is_same_v<D, bool>)
        lua_pushboolean(L, value ? 1 : 0);
    else if constexpr (std::is_same_v<D, TString>)
        LuaPushString(L, value);
    else if constexpr (std::is_arithmetic_v<D> || std::is_enum_v<D>)
        lua_pushnumber(L, static_cast<lua_Number>(value));
    else
        static_assert(sizeof(D) == 0, "no script form for this result type");
    return 1;
}

// Raised when a copy of a bound function outlives the object it calls.
int RaiseDestroyedObject(lua_State* L);
// Gives the userdata on top the metatable that marks member records (so unbinding knows them).
void MarkMemberRecord(lua_State* L);

// The head every member record starts with, so that unbinding can find and cut it.
struct MemberRecordHead
{
    static constexpr uint32_t kMagic = 0x4D424E44u;
    uint32_t mMagic;
    const void* mOwner; // the object as the binder passed it
    void* mObject;      // the same object as the class that declares the member; null once cut
};

template <class T, class M> struct MemberRecord
{
    MemberRecordHead mHead;
    M mMember;
};

template <class Fn> struct FunctionRecord
{
    Fn mFunction;
};

template <class R, class... A, class Invoke, size_t... I>
int CallWithArgs(lua_State* L, Invoke&& invoke, std::index_sequence<I...>)
{
    // Braced initialisation reads the arguments in order, from stack position 1 on.
    std::tuple<typename Arg<std::decay_t<A>>::Holder...> held{
        Arg<std::decay_t<A>>::Get(L, static_cast<int>(I) + 1)...};
    if constexpr (std::is_void_v<R>)
    {
        invoke(Arg<std::decay_t<A>>::Pass(std::get<I>(held))...);
        return 0;
    }
    else
    {
        return PushResult(L, invoke(Arg<std::decay_t<A>>::Pass(std::get<I>(held))...));
    }
}

template <class T, class M, class R, class... A> int MemberThunk(lua_State* L)
{
    auto* record = static_cast<MemberRecord<T, M>*>(lua_touserdata(L, lua_upvalueindex(1)));
    if (record == nullptr || record->mHead.mObject == nullptr)
        return RaiseDestroyedObject(L);
    T* object = static_cast<T*>(record->mHead.mObject);
    M member = record->mMember;
    return CallWithArgs<R, A...>(
        L,
        [object, member](auto&&... args) -> R
        { return (object->*member)(std::forward<decltype(args)>(args)...); },
        std::index_sequence_for<A...>{});
}

template <class R, class... A> int FunctionThunk(lua_State* L)
{
    using Fn = R (*)(A...);
    auto* record = static_cast<FunctionRecord<Fn>*>(lua_touserdata(L, lua_upvalueindex(1)));
    Fn fn = record->mFunction;
    return CallWithArgs<R, A...>(
        L, [fn](auto&&... args) -> R { return fn(std::forward<decltype(args)>(args)...); },
        std::index_sequence_for<A...>{});
}

// Sets globals[name] to a closure of `thunk` with the record's userdata as its one upvalue.
template <class Record>
void SetBoundGlobal(lua_State* L, const char* name, const Record& value, lua_CFunction thunk,
                    bool member)
{
    lua_pushstring(L, name);
    void* block = lua_newuserdata(L, sizeof(Record));
    new (block) Record(value);
    if (member)
        MarkMemberRecord(L);
    lua_pushcclosure(L, thunk, 1);
    lua_settable(L, LUA_GLOBALSINDEX);
}

} // namespace luabind_detail

// Makes globals[name] call object->member; a later binding under the same name replaces it.
template <class O, class T, class R, class... A>
void LuaBindMember(lua_State* L, const char* name, O* object, R (T::*member)(A...))
{
    static_assert(std::is_base_of_v<T, O>, "the member must belong to the object's class");
    using M = R (T::*)(A...);
    T* declaring = object;
    luabind_detail::MemberRecord<T, M> record{
        {luabind_detail::MemberRecordHead::kMagic, object, declaring}, member};
    luabind_detail::SetBoundGlobal(L, name, record, &luabind_detail::MemberThunk<T, M, R, A...>,
                                   true);
}

template <class O, class T, class R, class... A>
void LuaBindMember(lua_State* L, const char* name, O* object, R (T::*member)(A...) const)
{
    static_assert(std::is_base_of_v<T, O>, "the member must belong to the object's class");
    using M = R (T::*)(A...) const;
    void* declaring = const_cast<T*>(static_cast<const T*>(object));
    luabind_detail::MemberRecord<const T, M> record{
        {luabind_detail::MemberRecordHead::kMagic, object, declaring}, member};
    luabind_detail::SetBoundGlobal(L, name, record,
                                   &luabind_detail::MemberThunk<const T, M, R, A...>, true);
}

// Makes globals[name] call a plain native function through the adapter of its signature.
template <class R, class... A> void LuaBindFunction(lua_State* L, const char* name, R (*fn)(A...))
{
    using Fn = R (*)(A...);
    luabind_detail::SetBoundGlobal(L, name, luabind_detail::FunctionRecord<Fn>{fn},
                                   &luabind_detail::FunctionThunk<R, A...>, false);
}

// Sets globals[name] to nil. When the global still calls a member of `object`, that binding is
// cut as well, so a copy a script kept raises an error instead of calling a destroyed object.
void LuaUnbindMember(lua_State* L, const char* name, const void* object = nullptr);
// As LuaUnbindMember, but only when the global still calls a member of `object`: a later object
// that took the name keeps it. True when the global was set to nil.
bool LuaUnbindMemberIfBound(lua_State* L, const char* name, const void* object);
