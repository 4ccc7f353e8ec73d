// The game's scene runner.
#include "game/runner/mkw_gameplay.h"

#include "game/runner/mkw_gameplay_factory.h"

#include <new>

TWindow* MKWGameplay::Create()
{
    return new (std::nothrow) MKWGameplay();
}

TClassId MKWGameplay::GetClassId()
{
    return reinterpret_cast<TClassId>(&MKWGameplay::Create);
}

std::shared_ptr<GameplayFactory> MKWGameplay::CreateFactory()
{
    return std::make_shared<MKWGameplayFactory>();
}
