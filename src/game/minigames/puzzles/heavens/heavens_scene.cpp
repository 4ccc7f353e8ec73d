// The heavens puzzle: its table, the lens over the sky, finds in any order, the constellation
// layers, the completion request, the found sound and its saved plate bits.
#include "game/minigames/puzzles/heavens/heavens_scene.h"

#include "framework/adventure/entities/gameplay_layer.h"
#include "framework/adventure/scene/gameplay_factory.h"
#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "framework/sound/sound_effect.h"
#include "game/minigames/puzzles/puzzle_scene.h"
#include "platform/log.h"
#include "render/renderer/draw_spec.h"
#include "render/sprites/sprite.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"

#include <cstdio>

namespace
{
const char kSource[] = "heavensscene";
} // namespace

const std::array<const char*, HeavensScene::kAnswers> HeavensScene::kLayerNames = {
    "heavens_pisces", "heavens_gemini", "heavens_leo", "heavens_scorpio", "heavens_draco"};

HeavensScene::HeavensScene(GameplayFactory& factory, const TLuaTable& entityInfo,
                           const TString& name, const TLuaTable& scene, const TLuaTable* playlist,
                           const TLuaTable& sceneInfo, TScript& script)
    : PuzzleSceneOf(factory, entityInfo, name, scene, playlist, sceneInfo)
{
    std::unique_ptr<TLuaTable> puzzle{script.GetGlobalTable("searchingtheheavens")};
    if (puzzle == nullptr)
    {
        ReportError("Cannot find 'searchingtheheavens' table for HeavensScene!", kSource, __LINE__,
                    true);
        return;
    }
    std::unique_ptr<TLuaTable> plates{puzzle->GetTable("plates")};
    if (plates == nullptr)
    {
        ReportError("ERROR: No plates table for HeavensScene!", kSource, __LINE__, true);
        return;
    }
    std::unique_ptr<TLuaTable> lens{puzzle->GetTable("lens")};
    if (lens == nullptr)
    {
        ReportError("ERROR: No lens table for HeavensScene!", kSource, __LINE__, true);
        return;
    }
    mLens.Load(*lens, *plates);
    AppendMissingStrings(GetExtraTextureNames(), mLens.GetImageNames());
    const TDrawSpec* lensSpec = &mLens.GetSprite()->GetSpec();
    std::unique_ptr<TLuaTable> background{puzzle->GetTable("background")};
    if (background == nullptr)
    {
        ReportError("ERROR: No background table for HeavensScene!", kSource, __LINE__, true);
        return;
    }
    mBackground.Load(*background, lensSpec);
    AppendMissingStrings(GetExtraTextureNames(), mBackground.GetImageNames());
    std::unique_ptr<TLuaTable> constellations{puzzle->GetTable("constalations")};
    if (constellations == nullptr)
    {
        ReportError("ERROR: No constellations table for HeavensScene!", kSource, __LINE__, true);
        return;
    }
    for (size_t i = 0; i < kAnswers; ++i)
    {
        mConstellations[i].Load(static_cast<int32_t>(i + 1), *constellations, lensSpec);
        AppendMissingStrings(GetExtraTextureNames(), mConstellations[i].GetImageNames());
        AddUniqueNames(mConstellations[i].GetEntries());
    }
    std::unique_ptr<TLuaTable> answers{background->GetTable("backgroundanswers")};
    if (answers == nullptr)
    {
        ReportError("ERROR: No background answers table for HeavensScene!", kSource, __LINE__,
                    true);
        return;
    }
    for (size_t i = 0; i < kAnswers; ++i)
    {
        char key[16];
        std::snprintf(key, sizeof key, "rect%02d", static_cast<int>(i + 1));
        std::unique_ptr<TLuaTable> rect{answers->GetTable(key)};
        if (rect == nullptr)
        {
            ReportError("ERROR: No collision index table for HeavensScene!", kSource, __LINE__,
                        true);
            return;
        }
        mAnswers[i] = ReadPuzzleRect(*rect);
    }
    std::unique_ptr<TLuaTable> sound{puzzle->GetTable("soundfound")};
    if (sound != nullptr)
        mSoundFound = SoundEffect::Create(*sound);
}

HeavensScene::~HeavensScene()
{
    if (mSoundFound != nullptr)
        mSoundFound->Release();
}

void HeavensScene::Update(uint32_t elapsedMs, bool active, bool playing)
{
    GameplayScene::Update(elapsedMs, active, playing);
    if (mSoundFound != nullptr)
        mSoundFound->Update(elapsedMs);
    if (!active || !playing)
    {
        mLensActive = false;
        return;
    }
    const Settings* settings = Settings::Instance();
    const TPoint mouse = settings != nullptr ? TPoint{settings->mMouseX, settings->mMouseY}
                                             : TPoint{mLens.GetX(), mLens.GetY()};
    FollowPointer(mouse);
    for (HeavensConstellation& constellation : mConstellations)
        constellation.Update();
    if (mFound >= static_cast<int32_t>(kAnswers))
        mComplete = true;
    if (mComplete)
        AskForCompletion(kCompleteEvent);
}

void HeavensScene::Draw(const TDrawSpec&)
{
    mBackground.Draw();
    GameplayScene::Draw(TDrawSpec());
    for (const HeavensConstellation& constellation : mConstellations)
        constellation.Draw();
    mLens.Draw();
}

void HeavensScene::FollowPointer(const TPoint& mouse)
{
    mLensActive = mouse.y <= kSkyBottom;
    if (mLensActive)
        mLens.FollowMouse(mouse);
}

bool HeavensScene::OnMouseDown(TPoint point)
{
    // The lens last followed the pointer at the frame before: a press that came with the
    // pointer's arrival is judged where it was pressed, not where the lens was drawn.
    FollowPointer(point);
    const TRect& lens = mLens.GetCollisionRect();
    for (size_t i = 0; i < kAnswers; ++i)
    {
        if (mLens.GetPlate(i).IsLit() || !RectsTouch(lens, mAnswers[i]))
            continue;
        mLens.SetPlateLit(i, true);
        ++mFound;
        ArmSoundEffect(mSoundFound.get());
        if (GameplayLayer* layer = FindLayer(kLayerNames[i]))
            layer->Activate(true, nullptr);
        else
            Log("Scene '%s': no layer '%s' to show the constellation found", mName.c_str(),
                kLayerNames[i]);
        return true;
    }
    return mLensActive;
}

bool HeavensScene::OnMouseUp(TPoint)
{
    return false;
}

void HeavensScene::Pause(bool active)
{
    if (mSoundFound != nullptr)
        mSoundFound->Pause();
    GameplayScene::Pause(active);
}

void HeavensScene::Resume(bool active)
{
    if (mSoundFound != nullptr)
        mSoundFound->Resume();
    GameplayScene::Resume(active);
}

void HeavensScene::LoadTextures()
{
    for (HeavensConstellation& constellation : mConstellations)
        constellation.LoadTextures();
    mBackground.LoadTexture();
    mLens.LoadTextures();
    GameplayScene::LoadTextures();
}

void HeavensScene::ReleaseTextures()
{
    for (HeavensConstellation& constellation : mConstellations)
        constellation.ReleaseTextures();
    mBackground.ReleaseTexture();
    mLens.ReleaseTextures();
    GameplayScene::ReleaseTextures();
}

void HeavensScene::SaveOwnState(std::vector<uint8_t>& out)
{
    uint8_t bits = 0;
    for (size_t i = 0; i < kAnswers; ++i)
        if (mLens.GetPlate(i).IsLit())
            bits = static_cast<uint8_t>(bits | (1u << i));
    out.push_back(bits);
}

void HeavensScene::LoadOwnState(const uint8_t* data)
{
    mFound = 0;
    for (size_t i = 0; i < kAnswers; ++i)
    {
        const bool lit = (data[0] & (1u << i)) != 0;
        mLens.SetPlateLit(i, lit);
        mFound += lit ? 1 : 0;
    }
}
