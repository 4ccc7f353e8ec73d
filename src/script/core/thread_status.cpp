// Thread status queries over the engine's call records.
#include "script/core/thread_status.h"

#include "script/core/state.h"

bool IsThreadYielded(lua_State* L)
{
    return L->ci != L->base_ci && (L->ci->state & CI_YIELD) != 0;
}

TThreadFrame GetThreadFrame(lua_State* L)
{
    TThreadFrame frame;
    frame.mDepth = L->ci - L->base_ci;
    frame.mBase = L->base - L->stack;
    return frame;
}

const char* GetFailedResumePosition(lua_State* L)
{
    return G(L)->failedresumewhere;
}
