// The configuration store and the side effects of "encryptionkey", "cheatcode", "legacylinewrap",
// "vsync" and "viewportscale".
#include "platform/config/config.h"

#include "platform/config/cipher.h"

#include <map>
#include <optional>

const char* const kDefaultConfigSite = "localhost";

namespace
{
std::map<TString, TString>& Store()
{
    static std::map<TString, TString> store;
    return store;
}

bool gLegacyLineWrap = false;
std::optional<TConfigOptionHandler> gOptionHandler;

// The developer cheat: "cheatcode" is the machine identifier enciphered with the game's key.
void RunCheatSwitch()
{
    auto& store = Store();
    // Reading the two keys creates them, empty, when they are absent.
    const TString code = store["cheatcode"];
    const TString key = store["encryptionkey"];
    if (code.Length() == 0 || key.Length() == 0)
        return;
    TCipher cipher(key);
    TString plain = cipher.DecryptString(code, true);
    TString computerId = GetConfig("computerid", "");
    SetConfig("cheatmode", plain == computerId ? "1" : "0");
}

void RunOptionHandler(const TString& key, const TString& value)
{
    if (!gOptionHandler)
        return;
    if (key == "vsync")
    {
        if (gOptionHandler->mSetVSync)
            gOptionHandler->mSetVSync(value.ToInt() != 0);
    }
    else if (key == "viewportscale")
    {
        if (gOptionHandler->mSetViewportScale)
            gOptionHandler->mSetViewportScale(value.ToFloat());
    }
}
} // namespace

void SetConfig(const TString& key, const TString& value)
{
    // Copies: the arguments may be references into the store itself.
    const TString storedKey = key;
    const TString storedValue = value;
    Store()[storedKey] = storedValue;
    if (storedKey == "encryptionkey" || storedKey == "cheatcode")
        RunCheatSwitch();
    if (storedKey == "legacylinewrap")
        gLegacyLineWrap = true;
    RunOptionHandler(storedKey, storedValue);
}

TString GetConfig(const TString& key, const TString& defaultValue)
{
    const auto& store = Store();
    auto found = store.find(key);
    return found == store.end() ? defaultValue : found->second;
}

bool IsEnabled(const TString& key)
{
    // Asked on every draw: no copy of the value, no default made.
    const auto& store = Store();
    auto found = store.find(key);
    return found != store.end() && found->second.ToInt() != 0;
}

void ClearConfig()
{
    Store().clear();
}

bool IsLegacyLineWrap()
{
    return gLegacyLineWrap;
}

void SetConfigOptionHandler(const TConfigOptionHandler& handler)
{
    gOptionHandler = handler;
}

void ClearConfigOptionHandler()
{
    gOptionHandler.reset();
}
