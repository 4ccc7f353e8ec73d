// IllustrationPanelParticle: the effect's functions and vectors from the table, its script, the
// burn-out switch and drawing at the cell's position.
#include "game/cutscenes/illustration_panel_particle.h"

#include "framework/widgets/particle_functions.h"
#include "game/cutscenes/cutscene_keys.h"
#include "particles/lua_particle_system.h"
#include "platform/log.h"
#include "render/renderer/draw_spec.h"
#include "script/lua_object_wrapper.h"

#include <algorithm>

namespace
{
// A vector holds at most four components.
constexpr int32_t kMaxComponents = 4;
} // namespace

IllustrationPanelParticle::IllustrationPanelParticle(const TLuaTable& table)
    : IllustrationPanelEntity(table),
      mEndWithNoParticles(table.GetBool("endwithnoparticles", false)),
      mSystem(std::make_shared<TLuaParticleSystem>())
{
    if (table.PushField("functions"))
    {
        lua_pop(table.GetState(), 1);
        std::unique_ptr<TLuaTable> functions(table.GetTable("functions"));
        if (functions != nullptr)
            RegisterParticleTables(*mSystem, functions.get(), nullptr, mVectors);
        else
            Log("IllustrationPanelParticle: 'functions' is not a table");
    }
    if (table.PushField("data"))
    {
        lua_pop(table.GetState(), 1);
        std::unique_ptr<TLuaTable> data(table.GetTable("data"));
        if (data != nullptr)
            RegisterVectors(*data);
        else
            Log("IllustrationPanelParticle: 'data' is not a table");
    }
    mSystem->Load(table.GetString("script", TString()));
}

IllustrationPanelParticle::~IllustrationPanelParticle()
{
    // The system reads the vectors until it goes.
    mSystem.reset();
    mVectors.clear();
}

void IllustrationPanelParticle::RegisterVectors(const TLuaTable& data)
{
    TLuaObjectWrapper* key = nullptr;
    while (TLuaTable* entry = data.Next(&key))
    {
        std::unique_ptr<TLuaTable> list(entry);
        const TString name = key->ToString();
        if (!cutscene::IsTable(*list))
        {
            Log("IllustrationPanelParticle: data '%s' is not a list of numbers", name.c_str());
            continue;
        }
        auto vector = std::make_shared<ParticleVector>();
        mVectors.push_back(vector);
        int32_t width = cutscene::ArrayLength(*list);
        if (width > kMaxComponents)
        {
            // A wider vector could not hold its own values; the scripts read the first four.
            Log("IllustrationPanelParticle: data '%s' has %d numbers; the first %d are used",
                name.c_str(), width, kMaxComponents);
            width = kMaxComponents;
        }
        vector->mWidth = static_cast<uint8_t>(width);
        for (int32_t i = 0; i < width; ++i)
            vector->mValue[i] = static_cast<float>(list->GetNumberAt(i + 1, 0));
        mSystem->RegisterFunction(name, vector.get());
    }
}

void IllustrationPanelParticle::Update(uint32_t elapsed)
{
    if (!IsActive())
        return;
    mSystem->Update(static_cast<int32_t>(std::min<uint32_t>(elapsed, 0x7FFFFFFF)));
    const unsigned count = mSystem->GetParticleCount();
    if (!mHadParticles && count > 0)
        mHadParticles = true;
    if (mEndWithNoParticles && mHadParticles && count == 0)
        Deactivate();
}

void IllustrationPanelParticle::Draw(const TDrawSpec& spec)
{
    if (!IsActive())
        return;
    mSystem->Draw(TVec3(spec.mMatrix.m[2][0], spec.mMatrix.m[2][1], 0));
}

void IllustrationPanelParticle::DrawInactive(const TDrawSpec& spec)
{
    Draw(spec);
}
