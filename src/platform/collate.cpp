// Lookup of the locale library's collation entry, made once for the life of the process.
#include "platform/collate.h"

#include "platform/data_folders.h"

TCollateFn FindCollateFunction()
{
    // Kept for the process's life so the library stays loaded.
    static TDllCollateHandler* handler = LoadCollateHandler();
    return handler != nullptr ? handler->GetCollate() : nullptr;
}
