// Optional shared libraries: loading one by name, finding an entry point in it, freeing it.
#pragma once

#include <string>

namespace sys
{

// Loads a shared library. A name ending ".dll" is looked for as the same name ending ".so": a bare
// name first beside the executable, then through the normal library search; a name with a folder
// first at that path, then its file name through the normal search. Null when nothing loads.
void* LoadLibrary(const std::string& name);
// The address of an exported entry, or null.
void* GetLibrarySymbol(void* library, const char* symbol);
// Null is allowed.
void FreeLibrary(void* library);

// The ".so" name that LoadLibrary uses for a ".dll" name (other names unchanged).
std::string NativeLibraryName(const std::string& name);

} // namespace sys
