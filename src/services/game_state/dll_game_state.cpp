// Add-on module handlers: loading a ".qmmod" module and forwarding the handler calls to its object.
#include "services/game_state/dll_game_state.h"

#include "platform/files/file_layer.h"
#include "services/game_state/game_state.h"
#include "sys/process/dynlib.h"

TDllGameState::TDllGameState() : mRecord(new ModuleRecord()) {}

TDllGameState::~TDllGameState()
{
    // The module made the object, so the module destroys it, before its code goes away.
    if (mRecord->mObject != nullptr && mRecord->mDestroyEntry != nullptr)
    {
        mRecord->mDestroyEntry(mRecord->mObject);
        mRecord->mObject = nullptr;
    }
    if (mRecord->mModule != nullptr)
    {
        sys::FreeLibrary(mRecord->mModule);
        mRecord->mModule = nullptr;
        mRecord->mCreateEntry = nullptr;
        mRecord->mDestroyEntry = nullptr;
    }
    delete mRecord;
}

bool TDllGameState::Load(TString name)
{
    TString path = ResolvePath(name, true);
    if (path.Length() == 0)
        return false;
    mRecord->mModule = sys::LoadLibrary(path.c_str());
    if (mRecord->mModule == nullptr)
        return false;
    mRecord->mCreateEntry = reinterpret_cast<TCreateHandlerEntry>(
        sys::GetLibrarySymbol(mRecord->mModule, "CreateHandler"));
    if (mRecord->mCreateEntry == nullptr)
        return false;
    mRecord->mDestroyEntry = reinterpret_cast<TDestroyHandlerEntry>(
        sys::GetLibrarySymbol(mRecord->mModule, "DestroyHandler"));
    if (mRecord->mDestroyEntry == nullptr)
        return false;
    mRecord->mObject = mRecord->mCreateEntry();
    return mRecord->mObject != nullptr;
}

bool TDllGameState::OnSetState(const char* name, const char* value)
{
    return mRecord->mObject != nullptr && mRecord->mObject->OnSetState(name, value);
}

const char* TDllGameState::FilterGetState(const char* name, const char* value)
{
    if (mRecord->mObject == nullptr)
        return value;
    return mRecord->mObject->FilterGetState(name, value);
}

bool TDllGameState::QueryRestartMode()
{
    return mRecord->mObject != nullptr && mRecord->mObject->QueryRestartMode();
}

bool TDllGameState::QueryJumpToMenu()
{
    return mRecord->mObject != nullptr && mRecord->mObject->QueryJumpToMenu();
}

bool TDllGameState::QueryMute()
{
    return mRecord->mObject != nullptr && mRecord->mObject->QueryMute();
}

bool TDllGameState::QueryHostPause()
{
    return mRecord->mObject != nullptr && mRecord->mObject->QueryHostPause();
}

int LoadAddOnModules()
{
    int added = 0;
    TString cursor;
    while (NextFileInFolder(TString(), cursor, false))
    {
        if (cursor == TString("glintview.qmmod") || cursor.Find(".qmmod") < 0)
            continue;
        // Only the asset folder's own files: a data-folder name the layer happens to remember
        // ("user:...") is never loaded as code.
        if (cursor.FindChar(':') >= 0)
            continue;
        TDllGameState* handler = new TDllGameState();
        if (!handler->Load(cursor))
        {
            delete handler;
            continue;
        }
        TGameState::AddHandler(handler);
        ++added;
    }
    return added;
}
