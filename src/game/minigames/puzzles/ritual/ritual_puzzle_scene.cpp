// The ritual puzzle: its tables, the pattern advance and its beams, the answers, the completion
// request, the open-hand cursor and its one saved byte.
#include "game/minigames/puzzles/ritual/ritual_puzzle_scene.h"

#include "framework/adventure/entities/gameplay_layer.h"
#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "framework/sound/sound_effect.h"
#include "game/minigames/puzzles/puzzle_scene.h"
#include "platform/log.h"
#include "render/renderer/draw_spec.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace
{
const char kSource[] = "ritualpuzzlescene";
// Where the game's puzzle rows read the ritual's tables from, named so a fault there is found.
const char kScriptFile[] = "scripts/minigames/ritualpuzzle.lua";

// The first step of a pattern that names no crystal, as written: "step03 = 9", "no step04".
TString BadStep(const RitualPattern& pattern, const TLuaTable& table)
{
    for (size_t k = 0; k < RitualPattern::kSteps; ++k)
    {
        const int32_t crystal = pattern.GetStep(k);
        if (crystal >= 1 && crystal <= static_cast<int32_t>(RitualPattern::kCrystals))
            continue;
        const TString key = TString::Format("step%02d", static_cast<int>(k + 1));
        const TString written = table.GetString(key.c_str(), "");
        return written.Length() == 0 ? TString::Format("no %s", key.c_str())
                                     : TString::Format("%s = %s", key.c_str(), written.c_str());
    }
    return TString();
}
} // namespace

const char* const RitualPuzzleScene::kPatternLayers[kPatterns] = {
    "ritual_whitegreen", "ritual_blueyellow", "ritual_bluegreen", "ritual_whitered",
    "ritual_yellowred"};

RitualPuzzleScene::RitualPuzzleScene(GameplayFactory& factory, const TLuaTable& entityInfo,
                                     const TString& name, const TLuaTable& scene,
                                     const TLuaTable* playlist, const TLuaTable& sceneInfo,
                                     TScript& script)
    : PuzzleSceneOf(factory, entityInfo, name, scene, playlist, sceneInfo)
{
    mCursorHandOpen = script.GetGlobalString("gs_cursorHandOpen");

    std::unique_ptr<TLuaTable> ritual{script.GetGlobalTable("ritualpuzzle")};
    if (ritual == nullptr)
    {
        ReportError("Cannot find 'ritualpuzzle' table for RitualPuzzleScene!", kSource, __LINE__,
                    true);
        return;
    }
    std::unique_ptr<TLuaTable> crystals{ritual->GetTable("crystals")};
    if (crystals == nullptr)
    {
        ReportError("ERROR: No crystal table for RitualPuzzleScene!", kSource, __LINE__, true);
        return;
    }
    std::unique_ptr<TLuaTable> crystalInfo{ritual->GetTable("crystalinfo")};
    if (crystalInfo == nullptr)
    {
        ReportError("ERROR: No crystalinfo table for RitualPuzzleScene!", kSource, __LINE__, true);
        return;
    }
    for (size_t i = 0; i < kCrystals; ++i)
    {
        char key[16];
        std::snprintf(key, sizeof key, "crystal%02d", static_cast<int>(i));
        std::unique_ptr<TLuaTable> crystal{crystals->GetTable(key)};
        if (crystal == nullptr)
        {
            ReportError("ERROR: No crystal table!", kSource, __LINE__, true);
            return;
        }
        mCrystals[i].Load(*crystal, *crystalInfo);
        if (mCrystals[i].GetImage().Length() != 0)
            AddUniqueNames({mCrystals[i].GetImage()});
    }
    std::unique_ptr<TLuaTable> patterns{ritual->GetTable("patterns")};
    if (patterns == nullptr)
    {
        ReportError("ERROR: No pattern table for RitualPuzzleScene!", kSource, __LINE__, true);
        return;
    }
    std::unique_ptr<TLuaTable> patternInfo{ritual->GetTable("patterninfo")};
    if (patternInfo == nullptr)
    {
        ReportError("ERROR: No patterninfo table for RitualPuzzleScene!", kSource, __LINE__, true);
        return;
    }
    for (size_t n = 0; n < kPatterns; ++n)
    {
        char key[16];
        std::snprintf(key, sizeof key, "pattern%02d", static_cast<int>(n + 1));
        std::unique_ptr<TLuaTable> pattern{patterns->GetTable(key)};
        if (pattern == nullptr)
        {
            ReportError("ERROR: No pattern index table for RitualPuzzleScene!", kSource, __LINE__,
                        true);
            return;
        }
        // A step naming no crystal would light nothing and could never be answered.
        if (!mPatterns[n].Load(*pattern, *patternInfo, mCrystals.data()))
        {
            ReportError(TString::Format("ERROR: Bad step in pattern%02d for RitualPuzzleScene! "
                                        "The pattern in %s has %s; the crystals are 1 to %d",
                                        static_cast<int>(n + 1), kScriptFile,
                                        BadStep(mPatterns[n], *pattern).c_str(),
                                        static_cast<int>(kCrystals))
                            .c_str(),
                        kSource, __LINE__, true);
            return;
        }
    }
    mPatterns[0].StartDemonstration();
}

RitualPuzzleScene::~RitualPuzzleScene() = default;

void RitualPuzzleScene::PutOutAll()
{
    for (RitualCrystal& crystal : mCrystals)
        crystal.SetLit(false);
}

void RitualPuzzleScene::Update(uint32_t elapsedMs, bool active, bool playing)
{
    GameplayScene::Update(elapsedMs, active, playing);
    if (!active || !playing)
        return;
    if (mCurrentPattern < kPatterns && mPatterns[mCurrentPattern].IsSolved())
    {
        ++mCurrentPattern;
        PutOutAll();
        if (GameplayLayer* beam = FindLayer(kPatternLayers[mCurrentPattern - 1]))
            beam->Activate(true, nullptr);
        if (mCurrentPattern < kPatterns)
            mPatterns[mCurrentPattern].StartDemonstration();
        else
            mComplete = true;
    }
    if (mCurrentPattern < kPatterns)
        mPatterns[mCurrentPattern].Update(elapsedMs);
    for (RitualCrystal& crystal : mCrystals)
        if (crystal.GetSound() != nullptr)
            crystal.GetSound()->Update(elapsedMs);
    if (!mComplete)
        return;
    // Saturates: a long session must not wrap back below the delay.
    mCompletionTimer =
        elapsedMs > UINT32_MAX - mCompletionTimer ? UINT32_MAX : mCompletionTimer + elapsedMs;
    if (mCompletionTimer >= kCompletionDelayMs)
        AskForCompletion(kCompleteEvent);
}

void RitualPuzzleScene::Draw(const TDrawSpec&)
{
    GameplayScene::Draw(TDrawSpec());
    for (const RitualCrystal& crystal : mCrystals)
        crystal.Draw();
}

bool RitualPuzzleScene::TakesAnswers() const
{
    if (mComplete || mCurrentPattern >= kPatterns)
        return false;
    const RitualPattern& pattern = mPatterns[mCurrentPattern];
    return !pattern.IsShowing() && !pattern.IsSolved();
}

int32_t RitualPuzzleScene::FindCrystal(const TPoint& point) const
{
    for (size_t i = 0; i < kCrystals; ++i)
        if (mCrystals[i].HitTest(point))
            return static_cast<int32_t>(i + 1);
    return 0;
}

bool RitualPuzzleScene::OnMouseDown(TPoint point)
{
    if (!TakesAnswers())
        return false;
    const int32_t crystal = FindCrystal(point);
    if (crystal == 0)
        return false;
    // A pattern may name one crystal twice in a row, and then a quick second press is its step.
    RitualPattern& pattern = mPatterns[mCurrentPattern];
    if (mSecondPress.Repeats(crystal) && pattern.GetDue() != crystal)
        return true;
    if (pattern.Answer(crystal))
        mSecondPress.Took(crystal);
    else
        mSecondPress.Forget();
    return true;
}

TString RitualPuzzleScene::GetCursorName() const
{
    const Settings* settings = Settings::Instance();
    if (TakesAnswers() && settings != nullptr &&
        FindCrystal(TPoint{settings->mMouseX, settings->mMouseY}) != 0)
        return mCursorHandOpen;
    return GameplayScene::GetCursorName();
}

void RitualPuzzleScene::Pause(bool active)
{
    for (RitualCrystal& crystal : mCrystals)
        crystal.Pause();
    GameplayScene::Pause(active);
}

void RitualPuzzleScene::Resume(bool active)
{
    if (active)
        for (RitualCrystal& crystal : mCrystals)
            crystal.Resume();
    GameplayScene::Resume(active);
}

void RitualPuzzleScene::LoadTextures()
{
    for (RitualCrystal& crystal : mCrystals)
        crystal.LoadTexture();
    GameplayScene::LoadTextures();
}

void RitualPuzzleScene::ReleaseTextures()
{
    for (RitualCrystal& crystal : mCrystals)
        crystal.ReleaseTexture();
    GameplayScene::ReleaseTextures();
}

void RitualPuzzleScene::SaveOwnState(std::vector<uint8_t>& out)
{
    const uint32_t pattern = std::min<uint32_t>(mCurrentPattern, kPatterns);
    // The crystals of the pattern under way answered so far: a record stored between two clicks
    // takes the pattern up where the player stood, not from its first crystal.
    uint32_t answered = 0;
    if (pattern < kPatterns && !mPatterns[pattern].IsSolved())
        answered = static_cast<uint32_t>(mPatterns[pattern].GetAnswered());
    out.push_back(static_cast<uint8_t>(pattern | (answered << kAnsweredShift)));
}

void RitualPuzzleScene::LoadOwnState(const uint8_t* data)
{
    uint32_t pattern = data[0] & kPatternMask;
    uint32_t answered = static_cast<uint32_t>(data[0]) >> kAnsweredShift;
    if (pattern > kPatterns || answered >= RitualPattern::kSteps ||
        (pattern == kPatterns && answered > 0))
    {
        Log("Scene '%s': saved ritual pattern %u is past the last; taken as all answered",
            mName.c_str(), static_cast<unsigned>(data[0]));
        pattern = static_cast<uint32_t>(kPatterns);
        answered = 0;
    }
    mCurrentPattern = pattern;
    PutOutAll();
    // Completion is not saved: a puzzle saved after its fifth answer must still end.
    mComplete = pattern == kPatterns;
    mCompletionTimer = 0;
    if (pattern < kPatterns && answered > 0)
        mPatterns[pattern].TakeAnswersFrom(static_cast<int32_t>(answered));
}
