// The game's particle effects: start, advance and drop.
#include "game/effects/game_particles.h"

#include "framework/widgets/particle_functions.h"
#include "particles/lua_particle_system.h"
#include "platform/log.h"
#include "script/script.h"

namespace game_particles
{

std::shared_ptr<TLuaParticleSystem> Start(const TString& script,
                                          std::initializer_list<Input> inputs,
                                          std::initializer_list<NodeType> nodes)
{
    if (script.Length() == 0)
        return nullptr;
    auto system = std::make_shared<TLuaParticleSystem>();
    for (const Input& input : inputs)
        system->RegisterFunction(input.first, input.second);
    for (NodeType node : nodes)
    {
        if (node == kColorAdjust)
            system->RegisterNodeType("ColorAdjust", &ParticleColorAdjust::Create);
        else
            system->RegisterNodeType("fNormalize", &ParticleNormalize::Create);
    }
    if (!system->Load(script) || system->GetScript() == nullptr)
    {
        Log("ERROR: The particle script '%s' did not load", script.c_str());
        return nullptr;
    }
    system->GetScript()->SetGlobalNumber("gActive", 1);
    return system;
}

void Advance(std::shared_ptr<TLuaParticleSystem>& system, uint32_t ms)
{
    if (system == nullptr)
        return;
    system->Update(static_cast<int32_t>(ms));
    TScript* script = system->GetScript();
    if (system->GetParticleCount() == 0 &&
        (script == nullptr || script->GetGlobalNumber("gActive") == 0))
        system.reset();
}

void Switch(const std::shared_ptr<TLuaParticleSystem>& system, bool on)
{
    if (system == nullptr)
        return;
    if (TScript* script = system->GetScript())
        script->SetGlobalNumber("gActive", on ? 1 : 0);
}

} // namespace game_particles
