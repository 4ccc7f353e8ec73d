// TLocalScoreServer: the optional local score server module "qmservlet_stub.dll" that a
// distributor may place beside the game, configured at start and released at the end.
#pragma once

#include "platform/strings/tstring.h"

// The module's entries (C linkage); results are ignored except the server object.
using TCreateLocalServerEntry = void* (*)();
using TLoadServerDefFileEntry = void (*)(void* server);
using TSetServerInfoEntry = void (*)(void* server, const char* gameHandle, const char* key,
                                     const char** modes, int modeCount, const char** medals,
                                     int medalCount);
using TFreeLocalServerEntry = void (*)(void* server);

class TLocalScoreServer
{
public:
    TLocalScoreServer() = default;
    // Frees the server object through the module, then the module.
    ~TLocalScoreServer();
    TLocalScoreServer(const TLocalScoreServer&) = delete;
    TLocalScoreServer& operator=(const TLocalScoreServer&) = delete;

    // Loads the module and makes and configures its server from "qmgamehandle" and the numbered
    // "qmgamemodename" and "qmgamemedalname" values. A missing module or entry is skipped
    // without a word.
    void Load(const TString& gameHandle, const TString& encryptionKey);

    bool IsLoaded() const { return mModule != nullptr; }

private:
    void* mModule = nullptr;
    void* mServer = nullptr;
};
