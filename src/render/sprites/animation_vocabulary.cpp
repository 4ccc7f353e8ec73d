// Loading the embedded animation-script vocabulary into a script state.
#include "render/sprites/animation_vocabulary.h"

#include "platform/log.h"
#include "script/lauxlib.h"
#include "script/lua.h"

extern const unsigned char kAnimationVocabulary[];
extern const unsigned long kAnimationVocabularySize;

bool LoadAnimationVocabulary(lua_State* L)
{
    if (!L)
        return false;
    const int top = lua_gettop(L);
    const int status = lua_dobuffer(L, reinterpret_cast<const char*>(kAnimationVocabulary),
                                    kAnimationVocabularySize, "animation vocabulary");
    lua_settop(L, top);
    if (status != 0)
    {
        Log("The animation vocabulary could not be loaded (status %d)", status);
        return false;
    }
    return true;
}
