// Fuzz target: ".mesh" models read through the file layer from a memory block; a mesh that loads
// must have every index inside its vertex array.
#include "platform/files/file_layer.h"
#include "render/renderer/model.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RegisterMemoryFileName("fuzz.mesh", data, static_cast<uint32_t>(size));
    TModel model;
    if (model.Init("fuzz.mesh"))
    {
        const TMeshData& mesh = *model.GetMesh();
        for (uint16_t index : mesh.mIndices)
            if (index >= mesh.GetVertexCount())
                std::abort();
    }
    RegisterMemoryFileName("fuzz.mesh", nullptr, 0);
    return 0;
}
