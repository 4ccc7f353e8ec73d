// The configuration store: one process-wide ordered table of text settings, some with side effects.
#pragma once

#include "platform/strings/tstring.h"

#include <functional>

// Stores (inserts or replaces) the pair, then runs the key's side effects.
void SetConfig(const TString& key, const TString& value);
// The stored value when the key exists (even when empty), else `defaultValue`.
TString GetConfig(const TString& key, const TString& defaultValue = TString());
// The value read as an integer (`TString::ToInt`) is not 0.
bool IsEnabled(const TString& key);
// Teardown empties the whole store.
void ClearConfig();

// Set by the first "legacylinewrap" setting, whatever its value, and never cleared.
bool IsLegacyLineWrap();

// The web host that receives the exit statistics when "site" is not set.
extern const char* const kDefaultConfigSite;

// The application facade's option handler. Settings made while one is installed reach the display
// ("vsync": value as integer != 0) and hosted mode's viewport ("viewportscale": value as float);
// before the facade exists there is none and those keys have no side effect.
struct TConfigOptionHandler
{
    std::function<void(bool)> mSetVSync;
    std::function<void(float)> mSetViewportScale;
};
void SetConfigOptionHandler(const TConfigOptionHandler& handler);
void ClearConfigOptionHandler();
