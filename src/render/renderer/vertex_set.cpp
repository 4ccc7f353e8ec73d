// The vertex-set record's builders.
#include "render/renderer/vertex_set.h"

namespace
{
TVertexSet* Make(int32_t kind, const void* vertices, uint32_t count)
{
    auto* set = new TVertexSet;
    set->mKind = kind;
    set->mVertices = vertices;
    set->mCount = count;
    return set;
}
} // namespace

TVertexSet* TVertexSet::CreateUnlit(const void* vertices, uint32_t count)
{
    return Make(kVertexUnlit, vertices, count);
}

TVertexSet* TVertexSet::CreateLit(const void* vertices, uint32_t count)
{
    return Make(kVertexLit, vertices, count);
}

TVertexSet* TVertexSet::CreateColored(const void* vertices, uint32_t count)
{
    return Make(kVertexColored, vertices, count);
}

TVertexSet* TVertexSet::CreateTransformed(const void* vertices, uint32_t count)
{
    return Make(kVertexTransformed, vertices, count);
}

void TVertexSet::Release(TVertexSet* set)
{
    delete set;
}
