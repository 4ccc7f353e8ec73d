// Compiling a script file to a precompiled chunk in a scratch state, and finding it again in the
// asset cache while it is held.
#include "script/script_code.h"

#include "platform/files/asset_manager.h"
#include "script/lauxlib.h"
#include "script/lua.h"

#include <cstring>
#include <string>

namespace
{
// The search path used for compiling when the caller gives none.
const char kDefaultCompilePath[] = "assets/?;../?;?";

int AppendChunkBytes(lua_State* L, const void* p, size_t size, void* ud)
{
    (void)L;
    auto* buffer = static_cast<std::string*>(ud);
    buffer->reserve(buffer->size() + size);
    buffer->append(static_cast<const char*>(p), size);
    return 0;
}

void RunStatement(lua_State* L, const TString& text)
{
    int status = luaL_loadbuffer(L, text.c_str(), static_cast<size_t>(text.Length()), text.c_str());
    if (status == 0)
        status = lua_pcall(L, 0, 0, 0);
    if (status != 0)
        lua_pop(L, 1);
}
} // namespace

TScriptCode::TScriptCode(const char* bytes, int size)
    : mCode(bytes, static_cast<unsigned>(size)), mSize(size)
{
}

std::shared_ptr<TScriptCode> TScriptCode::DynamicCast(const std::shared_ptr<TAsset>& asset)
{
    if (asset == nullptr || !asset->IsKindOf(GetClassId()))
        return nullptr;
    return std::static_pointer_cast<TScriptCode>(asset);
}

std::shared_ptr<TScriptCode> TScriptCode::Get(const TString& file, const TString& searchPath,
                                              TString* error)
{
    if (file.Length() == 0)
        return nullptr;
    TAssetManager* manager = GetAssetManager();
    if (manager != nullptr)
    {
        std::shared_ptr<TScriptCode> cached = DynamicCast(manager->GetAsset(file));
        if (cached != nullptr)
            return cached;
    }

    std::shared_ptr<TScriptCode> code;
    lua_State* L = lua_open();
    if (L == nullptr)
    {
        if (error != nullptr)
            *error = "not enough memory";
        return nullptr;
    }
    TString path = searchPath.Length() > 0 ? searchPath : TString(kDefaultCompilePath);
    RunStatement(L, TString("LUA_PATH='") + path + "' ;");
    if (luaL_loadfile(L, file.c_str()) == 0)
    {
        std::string bytes;
        lua_dump(L, AppendChunkBytes, &bytes);
        code = std::make_shared<TScriptCode>(bytes.data(), static_cast<int>(bytes.size()));
    }
    else if (error != nullptr)
    {
        const char* message = lua_tostring(L, -1);
        *error = message != nullptr ? message : "";
    }
    lua_close(L);
    if (manager != nullptr)
        manager->AddAsset(file, code);
    return code;
}
