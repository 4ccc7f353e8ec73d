// Optional shared libraries over dlopen/dlsym, with the ".dll" to ".so" naming rule.
#include "sys/process/dynlib.h"

#include "sys/files/paths.h"

#include <dlfcn.h>
#include <sys/stat.h>

namespace sys
{

std::string NativeLibraryName(const std::string& name)
{
    const std::string dll = ".dll";
    if (name.size() >= dll.size())
    {
        std::string tail = name.substr(name.size() - dll.size());
        for (char& c : tail)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (tail == dll)
            return name.substr(0, name.size() - dll.size()) + ".so";
    }
    return name;
}

namespace
{
void* Open(const std::string& path)
{
    // The loader's own open of a FIFO waits for a writer, possibly for ever: a path that names
    // anything but a regular file is no library. A bare name is the system's search.
    struct stat st;
    if (path.find('/') != std::string::npos && stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return nullptr;
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}
} // namespace

void* LoadLibrary(const std::string& name)
{
    if (name.empty())
        return nullptr;
    std::string native = NativeLibraryName(name);
    size_t slash = native.rfind('/');
    if (slash == std::string::npos)
    {
        std::string folder = GetModuleFolder();
        if (!folder.empty() && PathAccess(folder + native, 0))
        {
            if (void* lib = Open(folder + native))
                return lib;
        }
        return Open(native);
    }
    if (void* lib = Open(native))
        return lib;
    std::string base = native.substr(slash + 1);
    return base.empty() ? nullptr : Open(base);
}

void* GetLibrarySymbol(void* library, const char* symbol)
{
    if (library == nullptr || symbol == nullptr)
        return nullptr;
    return dlsym(library, symbol);
}

void FreeLibrary(void* library)
{
    if (library != nullptr)
        dlclose(library);
}

} // namespace sys
