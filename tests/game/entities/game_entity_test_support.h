// Shared by the game's entity tests: a particle script that names itself in its global "which"
// and makes square particles of one colour at the locus, living 100 ms, while "gActive" is 1.
#pragma once

#include <string>

namespace gameentitytest
{

inline std::string Script(const std::string& tag, const std::string& colour = "1, 1, 1, 1")
{
    return "which = '" + tag +
           "' SetNumParticles(8) pAge = Allocate(1) pAge:Anim(pAge + fTimeScale(1)) "
           "Anim(fExpire(fLess(0.1, pAge))) pPosition:Init(dLocus) pScale:Init(6) "
           "pColor:Init(ColorAdjust(0, 0, Color(" +
           colour + "))) function Update(s) if gActive == 1 then CreateParticles(1) end end";
}

} // namespace gameentitytest
