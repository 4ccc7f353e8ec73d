// The installed maker of high-score stores.
#include "framework/core/hiscore_store.h"

#include <utility>

namespace
{

THiscoreStoreFactory& Factory()
{
    static THiscoreStoreFactory factory;
    return factory;
}

} // namespace

void SetHiscoreStoreFactory(THiscoreStoreFactory factory)
{
    Factory() = std::move(factory);
}

std::unique_ptr<THiscoreStore> CreateHiscoreStore(bool saveEnabled)
{
    if (!Factory())
        return nullptr;
    return Factory()(saveEnabled);
}
