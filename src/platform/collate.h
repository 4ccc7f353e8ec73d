// The optional locale library's collation entry, looked up in the program's folder.
#pragma once

using TCollateFn = int (*)(const char*, const char*);

TCollateFn FindCollateFunction();
