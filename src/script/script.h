// TScript: a script state (or a thread of one) run as a timed task whose step resumes the script's
// coroutine, with the program's entry points into scripts (run text, run files, call functions,
// globals and typed results).
#pragma once

#include "platform/maths/geometry.h"
#include "platform/shell/task.h"
#include "platform/strings/tstring.h"
#include "script/lua.h"

#include <map>
#include <vector>

class TLuaObjectWrapper;
class TLuaTable;

// The process-wide script search path ("assets/?;?;../?;../../?" unless changed).
const TString& GetScriptSearchPath();
void SetScriptSearchPath(const TString& path);

// The conversions behind TScript's Pop functions, for any state: each reads the top value and pops
// it.
TString PopScriptString(lua_State* L);
// Elements 1 to 4 of a table as floats; all 0 for a value that is not a table.
TVec4 PopScriptVec4(lua_State* L);
// Nil false, numbers true when not 0; strings and other types are logged and read as false (a
// value that is neither nil, a boolean, a number nor a string is left on the stack).
bool PopScriptBool(lua_State* L);

// A script error as the log shows it: its line, and the "when ..." line written under it (empty
// when there is none).
struct TScriptErrorLine
{
    TString mLine;
    TString mWhen;
};

class TScript : public TAnimTask
{
public:
    // With a null state the script opens a state of its own and owns it ("_SCRIPT" names it).
    explicit TScript(lua_State* L = nullptr);
    ~TScript() override;
    TScript(const TScript&) = delete;
    TScript& operator=(const TScript&) = delete;

    // The step: resume the coroutine once; a failed or finished script suspends its task.
    bool Animate() override;
    // Offered a function (on top of the stack) that should run inside the script's coroutine.
    // This one pops it and answers false.
    virtual bool HandleValue();

    // Opens the libraries and registers the script host's globals.
    void Init();

    // Calls the function lying below its nargs arguments; answers the call's status.
    int RunFunction(int nargs, int nresults);
    void DoLuaString(const TString& text, int length = -1, int nresults = 0);
    // DoLuaString for a text run again and again for `source` (a callback each frame): an error
    // is logged once, the same error again only counted; the count is logged when the source
    // runs cleanly again, is forgotten, or the script goes. Whatever else an error does is
    // unchanged.
    void DoRepeatedLuaString(const void* source, const TString& text);
    // The same for a call of the global function `name` with one number, made directly instead of
    // through the statement text "name(%f);" (nothing to format or parse each frame): it logs and
    // counts what that statement would. Answers false, running nothing, when the global is no
    // function: the caller runs the statement, whose error names the global.
    bool CallRepeatedGlobal(const void* source, const char* name, double argument);
    void ForgetRepeatedErrors(const void* source);
    // Runs the file; false when it cannot be read, compiled or run. `error`, when given, takes
    // the error's text (its lines are logged as ever).
    bool RunScript(const TString& file, TString* error = nullptr);
    int Resume(int nargs);
    bool IsYielded() const;
    // Whether the coroutine this script started has failed (an error ends a coroutine for good),
    // and the error it failed with; a resume with no coroutine to resume is no such failure.
    bool HasCoroutineFailed() const { return mCoroutineFailed; }
    const TString& GetCoroutineError() const { return mCoroutineError; }
    // Counts the resumes of coroutines: by it a caller tells whether what it ran started one.
    unsigned GetResumeCount() const { return mResumeCount; }
    // The script deletes the object before its next run or resume (or when it is destroyed).
    void QueueDelete(TLuaObjectWrapper* object);

    double PopNumber();
    TString PopString();
    TVec4 PopVec4();
    bool PopBool();

    TString GetGlobalString(const TString& name);
    void SetGlobalString(const TString& name, const TString& value);
    void SetGlobalNumber(const TString& name, double value);
    // A new wrapper (the caller deletes it) when the global is a table, else null.
    TLuaTable* GetGlobalTable(const TString& name);
    double GetGlobalNumber(const TString& name);

    lua_State* GetState() const { return mState; }
    // For a script that runs on another script's state: the object (typically a wrapper holding
    // the thread) through which it reaches that state. The script owns and deletes it, and then
    // does not close the state.
    void SetOwnerLink(TLuaObjectWrapper* link);

private:
    void DeleteQueued();
    bool RunScriptLogged(const TString& file);
    // Runs "LUA_PATH='<path>' ;" so that `require` sees the search path.
    void SetLuaPath();
    // Starts the function on top as the script's coroutine: RunFunction does this when a call made
    // outside any coroutine returns a single function. Resumes it once; a yield leaves it running.
    void StartCoroutine();

    lua_State* mState = nullptr;
    TLuaObjectWrapper* mOwnerLink = nullptr;
    std::vector<TLuaObjectWrapper*> mDeleteQueue;
    // Stack height below the coroutine's function when this script started it, so that what a
    // finished coroutine returns can be dropped; -1 when unknown.
    int mCoroutineBase = -1;
    // Counts resumes, so that a caller can tell that the frame it pushed into was left even when
    // a new frame took the same place.
    unsigned mResumeCount = 0;
    bool mCoroutineFailed = false;
    TString mCoroutineError;
    // Keeps the error of a coroutine of this script's that failed (its value on top).
    void NoteCoroutineFailed(const TString& error);
    // The last error of each source of repeated runs, and how often it came again since.
    struct TRepeatedError
    {
        TString mKey;
        TScriptErrorLine mFirstLine;
        unsigned mCount = 0;
    };
    std::map<const void*, TRepeatedError> mRepeatedErrors;
    static void LogRepeatCount(const TRepeatedError& record);
    // Logs a repeated run's error lines, or counts them when they are the source's last ones again;
    // `text` (the run's statement) is left out of the comparison.
    void JudgeRepeatedErrors(const void* source, const std::vector<TScriptErrorLine>& lines,
                             const TString& text);
};
