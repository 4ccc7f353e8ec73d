// The optional locale library's collation entry ("qmCollate" in "qmlocale.dll", looked up in the
// program's folder): its loader and the handler that keeps the library loaded.
#pragma once

#include <string>

using TCollateFn = int (*)(const char*, const char*);

// The optional locale library's collation entry, holding the library loaded while it lives.
class TDllCollateHandler
{
public:
    TDllCollateHandler(void* module, TCollateFn collate) : mModule(module), mCollate(collate) {}
    TDllCollateHandler(TDllCollateHandler&& other) noexcept;
    TDllCollateHandler& operator=(TDllCollateHandler&& other) noexcept;
    TDllCollateHandler(const TDllCollateHandler&) = delete;
    TDllCollateHandler& operator=(const TDllCollateHandler&) = delete;
    virtual ~TDllCollateHandler();

    TCollateFn GetCollate() const { return mCollate; }

private:
    void* mModule = nullptr;
    TCollateFn mCollate = nullptr;
};

// Loads `library` (default: "qmlocale.dll" in the executable's folder) and its entry "qmCollate";
// null, with nothing kept loaded, when either is missing.
TDllCollateHandler* LoadCollateHandler(const std::string& library = std::string());

// The entry of the library loaded on first use and kept for the process's life; null without one.
TCollateFn FindCollateFunction();
