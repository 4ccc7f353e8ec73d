// The game's particle effects' life cycle, shared by its areas, items and inventory objects: a
// system made with its inputs and node types and started by its script's "gActive", advanced each
// frame and dropped once switched off and empty.
#pragma once

#include "platform/strings/tstring.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <utility>

class ParticleVector;
class TLuaParticleSystem;

namespace game_particles
{

// The node types the game's scripts may use.
enum NodeType : uint8_t
{
    kColorAdjust,
    kNormalize
};

// A named input of the system, owned by the caller and outliving the system.
using Input = std::pair<const char*, ParticleVector*>;

// A new system with the inputs and node types registered, the script loaded and "gActive" set to
// 1. Null for an empty name, and for a script that does not load: a system with nothing to run
// would only wait for a switch-off that never matters.
std::shared_ptr<TLuaParticleSystem> Start(const TString& script,
                                          std::initializer_list<Input> inputs,
                                          std::initializer_list<NodeType> nodes);
// Advances the system by `ms`; drops it when it has no live particle and is switched off.
void Advance(std::shared_ptr<TLuaParticleSystem>& system, uint32_t ms);
// Sets "gActive" of a present system.
void Switch(const std::shared_ptr<TLuaParticleSystem>& system, bool on);

} // namespace game_particles
