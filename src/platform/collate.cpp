// Lookup of the locale library's collation entry.
#include "platform/collate.h"

TCollateFn FindCollateFunction()
{
    return nullptr;
}
