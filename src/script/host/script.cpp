// TScript: the script task, its entry points into scripts and the globals every script state of
// the host gets ("_ALERT", "DebugOut", "toparams", "DumpTable", "GetClosure", "LUA_PATH").
#include "script/script.h"

#include "platform/files/file_layer.h"
#include "platform/log.h"
#include "script/lauxlib.h"
#include "script/lua_bind.h"
#include "script/lua_object_wrapper.h"
#include "script/lualib.h"
#include "script/script_code.h"
#include "script/core/thread_status.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace
{

TString& SearchPath()
{
    static TString path("assets/?;?;../?;../../?");
    return path;
}

// "DumpTable" and its two helpers, defined in every host state. Each entry is one line; a table
// value opens with "{" and closes with "}" at its entry's indentation, two spaces deeper per level,
// and a table met deeper than ten spaces shows "..." instead of its entries.
const char kDumpTableDefinition[] =
    "function _Internal_DumpEntry( indent, k, v )\n"
    "  if type( v ) == \"table\" then\n"
    "    return indent .. tostring( k ) .. \" -> {\\n\" .. _Internal_DumpTable( v, indent .. \"  "
    "\" )"
    " .. indent .. \"}\\n\"\n"
    "  end\n"
    "  return indent .. tostring( k ) .. \" -> \" .. tostring( v ) .. \"\\n\"\n"
    "end\n"
    "function _Internal_DumpTable( t, indent )\n"
    "  if string.len( indent ) > 10 then\n"
    "    return indent .. \"...\\n\"\n"
    "  end\n"
    "  local out = \"\"\n"
    "  table.foreach( t, function( k, v ) out = out .. _Internal_DumpEntry( indent, k, v ) end )\n"
    "  return out\n"
    "end\n"
    "function DumpTable( t )\n"
    "  DebugOut( \"Dump Table: \\n\" .. _Internal_DumpTable( t, \"  \" ) )\n"
    "end\n";

const char kGetClosureDefinition[] =
    "function GetClosure( f, ... ) return function() return f( arg[1], arg[2], arg[3], arg[4], "
    "arg[5], arg[6] ); end; end";

// The error value on top as a log text: a string or number as itself; any other value by its type
// and the place it was raised (`where`, empty when unknown), without calling into it.
TString ErrorText(lua_State* L, const char* where)
{
    if (lua_gettop(L) == 0)
        return "(null)";
    if (lua_isstring(L, -1))
        return lua_tostring(L, -1);
    return TString::Format("an error value of type %s, raised at %s",
                           lua_typename(L, lua_type(L, -1)), where[0] != 0 ? where : "(unknown)");
}

// Where the innermost Lua function of the running stack stands, as "source:line"; empty when none.
TString StackPosition(lua_State* L)
{
    lua_Debug ar;
    for (int level = 1; lua_getstack(L, level, &ar); ++level)
    {
        lua_getinfo(L, "Sl", &ar);
        if (ar.currentline > 0)
            return TString::Format("%s:%d", ar.short_src, ar.currentline);
    }
    return TString();
}

// Runs a statement of the host's own; a failure is dropped with its message.
void RunStatement(lua_State* L, const char* text, size_t size)
{
    int status = luaL_loadbuffer(L, text, size, text);
    if (status == 0)
        status = lua_pcall(L, 0, 0, 0);
    if (status != 0)
        lua_pop(L, 1);
}

void RunStatement(lua_State* L, const char* text)
{
    RunStatement(L, text, std::strlen(text));
}

// Calls the global handler with one text, protected: a handler that is missing or raises must not
// take the process down.
void CallGlobalWithText(lua_State* L, const char* global, const TString& text)
{
    lua_getglobal(L, global);
    LuaPushString(L, text);
    if (lua_pcall(L, 1, 0, 0) != 0)
        lua_pop(L, 1);
}

// The error lines of a repeated run are collected here instead of logged, for the run to judge.
std::vector<TScriptErrorLine>* gCollectedErrors = nullptr;

void WriteScriptError(const TScriptErrorLine& error)
{
    if (error.mWhen.Length() == 0)
        Log("%s", error.mLine.c_str());
    else
        LogLines(error.mLine.c_str(), {error.mWhen});
}

void LogScriptError(const TScriptErrorLine& error)
{
    if (gCollectedErrors != nullptr)
        gCollectedErrors->push_back(error);
    else
        WriteScriptError(error);
}

// The error line of a failed run of `chunk` in `phase` ("parsing", "running"), its "when" line
// written by itself: the chunk's text comes from content, and no line break in it starts a line.
TScriptErrorLine RunError(const char* error, const char* phase, const char* chunk)
{
    return {TString("DoLuaString Lua Error: ") + error,
            TString::Format("\twhen %s %s", phase, chunk)};
}

int AlertFunction(lua_State* L)
{
    LogScriptError({TString("Lua error: ") + ErrorText(L, StackPosition(L).c_str()), TString()});
    return 0;
}

void DebugOutFunction(const char* text)
{
    (void)text;
}

int ToParamsFunction(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TTABLE);
    int n = std::max(lua_getn(L, 1), 0);
    luaL_checkstack(L, n, "too many results to unpack");
    for (int i = 1; i <= n; ++i)
        lua_rawgeti(L, 1, i);
    return n;
}

void PopIfAny(lua_State* L)
{
    if (lua_gettop(L) > 0)
        lua_pop(L, 1);
}

} // namespace

const TString& GetScriptSearchPath()
{
    return SearchPath();
}

void SetScriptSearchPath(const TString& path)
{
    SearchPath() = path;
}

TScript::TScript(lua_State* L) : TAnimTask(nullptr), mState(L)
{
    Suspend();
    if (mState == nullptr)
    {
        mState = lua_open();
        lua_pushstring(mState, "_SCRIPT");
        lua_pushlightuserdata(mState, this);
        lua_settable(mState, LUA_GLOBALSINDEX);
    }
    Init();
}

TScript::~TScript()
{
    for (const auto& [source, record] : mRepeatedErrors)
        LogRepeatCount(record);
    DeleteQueued();
    if (mOwnerLink == nullptr)
    {
        lua_close(mState);
        return;
    }
    lua_pushstring(mState, "_SCRIPT");
    lua_rawget(mState, LUA_GLOBALSINDEX);
    TScript* owner = lua_islightuserdata(mState, -1)
                         ? static_cast<TScript*>(lua_touserdata(mState, -1))
                         : nullptr;
    lua_pop(mState, 1);
    if (owner != nullptr && owner != this)
        owner->DeleteQueued();
    delete mOwnerLink;
}

void TScript::SetOwnerLink(TLuaObjectWrapper* link)
{
    if (link != mOwnerLink)
        delete mOwnerLink;
    mOwnerLink = link;
}

void TScript::Init()
{
    lua_State* L = mState;
    int top = lua_gettop(L);
    luaopen_base(L);
    luaopen_string(L);
    luaopen_table(L);
    lua_settop(L, top);
    lua_register(L, "_ALERT", AlertFunction);
    LuaBindFunction(L, "DebugOut", &DebugOutFunction);
    lua_register(L, "toparams", ToParamsFunction);
    RunStatement(L, kDumpTableDefinition);
    lua_settop(L, top);
}

void TScript::DeleteQueued()
{
    // Taken out first: a destructor may queue again, and that belongs to the next round.
    std::vector<TLuaObjectWrapper*> queued;
    queued.swap(mDeleteQueue);
    for (TLuaObjectWrapper* object : queued)
        delete object;
}

void TScript::QueueDelete(TLuaObjectWrapper* object)
{
    mDeleteQueue.push_back(object);
}

bool TScript::IsYielded() const
{
    return IsThreadYielded(mState);
}

bool TScript::HandleValue()
{
    PopIfAny(mState);
    return false;
}

bool TScript::Animate()
{
    if (Resume(0) != 0)
        Suspend();
    if (!IsYielded())
        Suspend();
    return true;
}

int TScript::Resume(int nargs)
{
    lua_State* L = mState;
    DeleteQueued();
    ++mResumeCount;
    const bool hadCoroutine = IsYielded();
    int status = lua_resume(L, nargs);
    if (status != 0)
    {
        const TString error = ErrorText(L, GetFailedResumePosition(L));
        Log("lua_resume ERROR: %s", error.c_str());
        if (hadCoroutine)
            NoteCoroutineFailed(error);
        PopIfAny(L);
        mCoroutineBase = -1;
    }
    else if (!IsYielded() && mCoroutineBase >= 0 && GetThreadFrame(L).mDepth == 0)
    {
        // The coroutine this script started has returned: what it returned is nobody's.
        lua_settop(L, std::min(mCoroutineBase, lua_gettop(L)));
        mCoroutineBase = -1;
    }
    return status;
}

void TScript::NoteCoroutineFailed(const TString& error)
{
    // The first failure is the one to tell: a later one can only follow from it.
    if (mCoroutineFailed)
        return;
    mCoroutineFailed = true;
    mCoroutineError = error;
}

void TScript::StartCoroutine()
{
    lua_State* L = mState;
    bool wasSuspended = IsSuspended();
    if (wasSuspended)
        SetTiming(0, true, true, false);
    int base = lua_gettop(L) - 1;
    TThreadFrame frame = GetThreadFrame(L);
    ++mResumeCount;
    int status = lua_resume(L, 0);
    if (status != 0)
    {
        const TString error = ErrorText(L, GetFailedResumePosition(L));
        Log("lua_resume error: %s", error.c_str());
        NoteCoroutineFailed(error);
        if (GetThreadFrame(L) == frame)
            lua_settop(L, std::max(0, std::min(base, lua_gettop(L) - 1)));
        mCoroutineBase = -1;
    }
    else if (IsYielded())
    {
        mCoroutineBase = base;
        return;
    }
    else if (GetThreadFrame(L) == frame)
    {
        lua_settop(L, std::min(base, lua_gettop(L)));
    }
    // Finished or failed at once: nothing is left to resume, so the task must not keep resuming
    // whatever else lies on the stack.
    if (wasSuspended)
        Suspend();
}

int TScript::RunFunction(int nargs, int nresults)
{
    lua_State* L = mState;
    DeleteQueued();
    if (IsYielded() && nresults <= 1)
    {
        TThreadFrame frame = GetThreadFrame(L);
        unsigned resumes = mResumeCount;
        lua_getglobal(L, "_ALERT");
        lua_insert(L, 1);
        lua_getglobal(L, "GetClosure");
        if (lua_isnil(L, -1))
        {
            lua_pop(L, 1);
            RunStatement(L, kGetClosureDefinition);
            lua_getglobal(L, "GetClosure");
        }
        lua_insert(L, -(nargs + 2));
        int status = lua_pcall(L, nargs + 1, 1, 1);
        if (status != 0)
        {
            lua_remove(L, 1);
            return status;
        }
        std::unique_ptr<TLuaFunction> closure(new TLuaFunction(L));
        closure->Push();
        if (HandleValue())
        {
            // The value resumed the coroutine; the frame the handler was put in may be gone.
            if (mResumeCount == resumes && GetThreadFrame(L) == frame && lua_gettop(L) > 0)
                lua_remove(L, 1);
            return 0;
        }
        closure->Push();
        closure.reset();
        lua_remove(L, 1);
        nargs = 0;
    }

    lua_getglobal(L, "_ALERT");
    lua_insert(L, 1);
    int status = lua_pcall(L, nargs, nresults, 1);
    lua_remove(L, 1);
    if (status == 0)
    {
        if (!IsYielded() && nresults == 1 && lua_isfunction(L, -1))
            StartCoroutine();
        return 0;
    }
    if (nresults >= 2)
        Log("TScript::RunFunction failure. Too many return results? (%d, FAILURE CODE %d)",
            nresults, status);
    return status;
}

void TScript::SetLuaPath()
{
    TString statement = TString("LUA_PATH='") + GetScriptSearchPath() + "' ;";
    RunStatement(mState, statement.c_str());
}

void TScript::DoLuaString(const TString& text, int length, int nresults)
{
    lua_State* L = mState;
    int top = lua_gettop(L);
    TThreadFrame frame = GetThreadFrame(L);
    unsigned resumes = mResumeCount;
    SetLuaPath();

    const char* chunk = text.c_str();
    size_t size = std::strlen(chunk);
    if (length >= 0)
    {
        // A precompiled chunk holds zero bytes, so its length is given; it cannot reach past the
        // string's own storage.
        const TStringData* data = text.GetData();
        size_t room = data != nullptr && data->mCapacity > 0 ? data->mCapacity - 1 : 0;
        size = std::min(static_cast<size_t>(length), room);
    }

    const char* phase = "parsing";
    int status = luaL_loadbuffer(L, chunk, size, chunk);
    if (status == 0)
    {
        phase = "running";
        status = RunFunction(0, nresults == 0 ? 1 : nresults);
        if (status == 0)
        {
            if (nresults == 0 && mResumeCount == resumes && GetThreadFrame(L) == frame)
                lua_settop(L, top);
            return;
        }
    }
    if (lua_type(L, -1) == LUA_TSTRING)
    {
        TString message = TString::Format("Lua Error: %s\n\twhen %s", lua_tostring(L, -1), phase);
        LogScriptError(RunError(lua_tostring(L, -1), phase, chunk));
        lua_getglobal(L, "LuaErrorMessage");
        bool defined = !lua_isnil(L, -1);
        lua_pop(L, 1);
        if (defined)
            CallGlobalWithText(L, "LuaErrorMessage", message);
    }
    if (mResumeCount == resumes && GetThreadFrame(L) == frame)
        lua_settop(L, top);
}

void TScript::DoRepeatedLuaString(const void* source, const TString& text)
{
    std::vector<TScriptErrorLine> lines;
    std::vector<TScriptErrorLine>* outer = gCollectedErrors;
    gCollectedErrors = &lines;
    DoLuaString(text);
    gCollectedErrors = outer;
    JudgeRepeatedErrors(source, lines, text);
}

bool TScript::CallRepeatedGlobal(const void* source, const char* name, double argument)
{
    lua_State* L = mState;
    int top = lua_gettop(L);
    TThreadFrame frame = GetThreadFrame(L);
    unsigned resumes = mResumeCount;
    // Read raw: a read through the globals' metatable could raise outside any protection. A
    // function found only that way is not found here, and the statement runs as before.
    lua_pushstring(L, name);
    lua_rawget(L, LUA_GLOBALSINDEX);
    if (!lua_isfunction(L, -1))
    {
        lua_settop(L, top);
        return false;
    }
    lua_pushnumber(L, argument);
    std::vector<TScriptErrorLine> lines;
    std::vector<TScriptErrorLine>* outer = gCollectedErrors;
    gCollectedErrors = &lines;
    // No result is asked for, as the statement returns none: nothing returned starts a coroutine.
    int status = RunFunction(1, 0);
    // What DoLuaString adds to a failed run whose error value survived as a string (the handler
    // failing): the statement's text, made only then.
    TString text;
    if (status != 0 && lua_type(L, -1) == LUA_TSTRING)
    {
        text = TString::Format("%s(%f);", name, argument);
        TString message = TString::Format("Lua Error: %s\n\twhen running", lua_tostring(L, -1));
        LogScriptError(RunError(lua_tostring(L, -1), "running", text.c_str()));
        lua_getglobal(L, "LuaErrorMessage");
        bool defined = !lua_isnil(L, -1);
        lua_pop(L, 1);
        if (defined)
            CallGlobalWithText(L, "LuaErrorMessage", message);
    }
    gCollectedErrors = outer;
    if (mResumeCount == resumes && GetThreadFrame(L) == frame)
        lua_settop(L, top);
    JudgeRepeatedErrors(source, lines, text);
    return true;
}

void TScript::JudgeRepeatedErrors(const void* source, const std::vector<TScriptErrorLine>& lines,
                                  const TString& text)
{
    auto found = mRepeatedErrors.find(source);
    if (lines.empty())
    {
        if (found != mRepeatedErrors.end())
        {
            LogRepeatCount(found->second);
            mRepeatedErrors.erase(found);
        }
        return;
    }
    // The text itself may differ from run to run (a time step), and error messages quote it.
    TString key;
    for (const TScriptErrorLine& line : lines)
        key += line.mLine + "\n" + line.mWhen + "\n";
    if (text.Length() != 0)
        key.Replace(text, TString(), kStringReplaceAll);
    TRepeatedError& record = mRepeatedErrors[source];
    if (record.mKey.Length() != 0 && record.mKey == key)
    {
        ++record.mCount;
        return;
    }
    LogRepeatCount(record);
    for (const TScriptErrorLine& line : lines)
        LogScriptError(line);
    record.mKey = key;
    record.mFirstLine = lines.front();
    record.mCount = 0;
}

void TScript::ForgetRepeatedErrors(const void* source)
{
    auto found = mRepeatedErrors.find(source);
    if (found == mRepeatedErrors.end())
        return;
    LogRepeatCount(found->second);
    mRepeatedErrors.erase(found);
}

void TScript::LogRepeatCount(const TRepeatedError& record)
{
    if (record.mCount > 0)
        WriteScriptError({TString::Format("The same error came %u more times: %s", record.mCount,
                                          record.mFirstLine.mLine.c_str()),
                          record.mFirstLine.mWhen});
}

bool TScript::RunScript(const TString& file, TString* error)
{
    if (error == nullptr)
        return RunScriptLogged(file);
    // The error lines are collected on their way to the log, the first one kept for the caller.
    std::vector<TScriptErrorLine> lines;
    std::vector<TScriptErrorLine>* outer = gCollectedErrors;
    gCollectedErrors = &lines;
    const bool ok = RunScriptLogged(file);
    gCollectedErrors = outer;
    for (const TScriptErrorLine& line : lines)
        LogScriptError(line);
    static const TString kPrefix("Lua error: ");
    *error = lines.empty() ? TString() : lines.front().mLine;
    if (error->Find(kPrefix) == 0)
        *error = error->Substr(kPrefix.Length());
    return ok;
}

bool TScript::RunScriptLogged(const TString& file)
{
    if (file.Length() == 0 || !FileExists(file))
        return false;
    lua_State* L = mState;
    int top = lua_gettop(L);
    TThreadFrame frame = GetThreadFrame(L);
    unsigned resumes = mResumeCount;

    TString error;
    bool ok = false;
    std::shared_ptr<TScriptCode> code = TScriptCode::Get(file, GetScriptSearchPath(), &error);
    int status = LUA_ERRFILE;
    if (code != nullptr)
    {
        TString bytes = code->GetCode();
        status =
            luaL_loadbuffer(L, bytes.c_str(), static_cast<size_t>(code->GetSize()), file.c_str());
    }
    if (code != nullptr && status == 0)
    {
        status = RunFunction(0, 1);
        if (status == 0)
            ok = true;
        else
            Log("Failed to run script %s: %d", file.c_str(), status);
    }
    else
    {
        TString message = error;
        if (message.Length() == 0 && code != nullptr)
            message = LuaGetString(L, -1);
        CallGlobalWithText(L, "_ALERT", message);
    }
    if (mResumeCount == resumes && GetThreadFrame(L) == frame)
        lua_settop(L, top);
    return ok;
}

double TScript::PopNumber()
{
    double value = lua_gettop(mState) > 0 ? lua_tonumber(mState, -1) : 0;
    PopIfAny(mState);
    return value;
}

TString TScript::PopString()
{
    return PopScriptString(mState);
}

TVec4 TScript::PopVec4()
{
    return PopScriptVec4(mState);
}

bool TScript::PopBool()
{
    return PopScriptBool(mState);
}

TString PopScriptString(lua_State* L)
{
    TString value = lua_gettop(L) > 0 ? LuaGetString(L, -1) : TString();
    PopIfAny(L);
    return value;
}

TVec4 PopScriptVec4(lua_State* L)
{
    TVec4 value;
    if (lua_istable(L, -1))
    {
        for (int i = 1; i <= 4; ++i)
            lua_rawgeti(L, -i, i);
        value =
            TVec4(static_cast<float>(lua_tonumber(L, -4)), static_cast<float>(lua_tonumber(L, -3)),
                  static_cast<float>(lua_tonumber(L, -2)), static_cast<float>(lua_tonumber(L, -1)));
        lua_pop(L, 5);
        return value;
    }
    PopIfAny(L);
    return value;
}

bool PopScriptBool(lua_State* L)
{
    int type = lua_type(L, -1);
    bool value = false;
    switch (type)
    {
    case LUA_TNIL:
        break;
    case LUA_TBOOLEAN:
        value = lua_toboolean(L, -1) != 0;
        break;
    case LUA_TNUMBER:
        value = lua_tonumber(L, -1) != 0;
        break;
    case LUA_TSTRING:
        Log("PopBool used on lua string %s", lua_tostring(L, -1));
        break;
    default:
        Log("PopBool used on a type that isn't a number, a boolean, or nil. (type: %d)", type);
        return false;
    }
    lua_pop(L, 1);
    return value;
}

TString TScript::GetGlobalString(const TString& name)
{
    lua_getglobal(mState, name.c_str());
    TString value = LuaGetString(mState, -1);
    lua_pop(mState, 1);
    return value;
}

void TScript::SetGlobalString(const TString& name, const TString& value)
{
    lua_pushstring(mState, name.c_str());
    LuaPushString(mState, value);
    lua_settable(mState, LUA_GLOBALSINDEX);
}

void TScript::SetGlobalNumber(const TString& name, double value)
{
    lua_pushstring(mState, name.c_str());
    lua_pushnumber(mState, value);
    lua_settable(mState, LUA_GLOBALSINDEX);
}

TLuaTable* TScript::GetGlobalTable(const TString& name)
{
    lua_getglobal(mState, name.c_str());
    if (!lua_istable(mState, -1))
    {
        lua_pop(mState, 1);
        return nullptr;
    }
    return new TLuaTable(mState);
}

double TScript::GetGlobalNumber(const TString& name)
{
    lua_getglobal(mState, name.c_str());
    double value = lua_tonumber(mState, -1);
    lua_pop(mState, 1);
    return value;
}
