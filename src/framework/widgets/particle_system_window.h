// ParticleSystemWindow: a window that runs and shows one particle effect named by its style
// table, with the framework's extra node types and the constant vectors the style supplies.
#pragma once

#include "framework/widgets/particle_functions.h"
#include "particles/lua_particle_system.h"
#include "ui/window.h"

#include <memory>
#include <vector>

class ParticleSystemWindow : public TWindow
{
public:
    ParticleSystemWindow();
    ~ParticleSystemWindow() override;

    // The creator the game registers for "ParticleWindow"; its address is the class id.
    static TWindow* Create();
    static TClassId GetClassId();

    const char* GetClassName() const override { return "ParticleSystemWindow"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || TWindow::IsKindOf(id);
    }
    // Reads "functions", "data", "script" and "initialstarttime"; no sizing to children.
    void PostInit(TWindowStyle& style) override;
    // Particle positions are screen coordinates: drawn at (0, 0, 0), not at the window.
    void Draw() override;
    // Advances the effect by the frame clock's last step; always keeps running.
    bool Animate() override;

    TLuaParticleSystem& GetSystem() { return *mSystem; }
    const std::vector<std::shared_ptr<ParticleVector>>& GetVectors() const { return mVectors; }

private:
    // Declared first so the system, which holds plain pointers to them, goes before them.
    std::vector<std::shared_ptr<ParticleVector>> mVectors;
    std::unique_ptr<TLuaParticleSystem> mSystem;
};
