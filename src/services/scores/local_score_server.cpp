// Loading, configuring and releasing the local score server module.
#include "services/scores/local_score_server.h"

#include "platform/config/config.h"
#include "sys/process/dynlib.h"

#include <vector>

namespace
{

// The values of prefix1, prefix2, ... up to the first empty one.
std::vector<TString> NumberedValues(const char* prefix)
{
    std::vector<TString> values;
    for (int i = 1;; ++i)
    {
        TString value = GetConfig(TString::Format("%s%d", prefix, i));
        if (value.Length() == 0)
            return values;
        values.push_back(value);
    }
}

std::vector<const char*> Pointers(const std::vector<TString>& texts)
{
    std::vector<const char*> pointers;
    for (const TString& text : texts)
        pointers.push_back(text.c_str());
    return pointers;
}

template <typename Entry> Entry Find(void* module, const char* name)
{
    return reinterpret_cast<Entry>(sys::GetLibrarySymbol(module, name));
}

} // namespace

void TLocalScoreServer::Load(const TString& gameHandle, const TString& encryptionKey)
{
    mModule = sys::LoadLibrary("qmservlet_stub.dll");
    if (mModule == nullptr)
        return;
    auto create = Find<TCreateLocalServerEntry>(mModule, "HiscoreServer_CreateLocalServer");
    if (create == nullptr)
        return;
    mServer = create();
    // A module that made no server is given nothing to configure.
    if (mServer == nullptr)
        return;
    if (GetConfig("qmgamehandle").Length() == 0)
    {
        if (auto load = Find<TLoadServerDefFileEntry>(mModule, "HiscoreServer_LoadServerDefFile"))
            load(mServer);
        return;
    }
    std::vector<TString> modes = NumberedValues("qmgamemodename");
    std::vector<TString> medals = NumberedValues("qmgamemedalname");
    if (modes.empty())
        return;
    auto setInfo = Find<TSetServerInfoEntry>(mModule, "HiscoreServer_SetServerInfo");
    if (setInfo == nullptr)
        return;
    std::vector<const char*> modeTexts = Pointers(modes);
    std::vector<const char*> medalTexts = Pointers(medals);
    setInfo(mServer, gameHandle.c_str(), encryptionKey.c_str(), modeTexts.data(),
            static_cast<int>(modeTexts.size()), medalTexts.empty() ? nullptr : medalTexts.data(),
            static_cast<int>(medalTexts.size()));
}

TLocalScoreServer::~TLocalScoreServer()
{
    if (mModule == nullptr)
        return;
    if (mServer != nullptr)
    {
        if (auto release = Find<TFreeLocalServerEntry>(mModule, "HiscoreServer_FreeLocalServer"))
            release(mServer);
        mServer = nullptr;
    }
    sys::FreeLibrary(mModule);
    mModule = nullptr;
}
