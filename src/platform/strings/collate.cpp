// The optional locale library's collation: loading it, the handler that holds it, and the lookup
// made once for the life of the process.
#include "platform/strings/collate.h"

#include "sys/process/dynlib.h"
#include "sys/files/paths.h"

TDllCollateHandler::TDllCollateHandler(TDllCollateHandler&& other) noexcept
    : mModule(other.mModule), mCollate(other.mCollate)
{
    other.mModule = nullptr;
    other.mCollate = nullptr;
}

TDllCollateHandler& TDllCollateHandler::operator=(TDllCollateHandler&& other) noexcept
{
    if (this != &other)
    {
        sys::FreeLibrary(mModule);
        mModule = other.mModule;
        mCollate = other.mCollate;
        other.mModule = nullptr;
        other.mCollate = nullptr;
    }
    return *this;
}

TDllCollateHandler::~TDllCollateHandler()
{
    sys::FreeLibrary(mModule);
}

TDllCollateHandler* LoadCollateHandler(const std::string& library)
{
    std::string path = !library.empty() ? library : sys::GetModuleFolder() + "qmlocale.dll";
    void* module = sys::LoadLibrary(path);
    if (module == nullptr)
        return nullptr;
    auto collate = reinterpret_cast<TCollateFn>(sys::GetLibrarySymbol(module, "qmCollate"));
    if (collate == nullptr)
    {
        sys::FreeLibrary(module);
        return nullptr;
    }
    return new TDllCollateHandler(module, collate);
}

TCollateFn FindCollateFunction()
{
    // Kept for the process's life so the library stays loaded.
    static TDllCollateHandler* handler = LoadCollateHandler();
    return handler != nullptr ? handler->GetCollate() : nullptr;
}
