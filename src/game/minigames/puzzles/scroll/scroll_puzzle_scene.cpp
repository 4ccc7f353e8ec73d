// The scroll puzzle: its table, the lens over the scroll, the answers in order, the completion
// request, the click sound and its saved byte.
#include "game/minigames/puzzles/scroll/scroll_puzzle_scene.h"

#include "framework/adventure/entities/gameplay_layer.h"
#include "framework/adventure/scene/gameplay_event.h"
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

#include <algorithm>
#include <cstdio>

namespace
{
const char kSource[] = "scrollpuzzlescene";
} // namespace

ScrollPuzzleScene::ScrollPuzzleScene(GameplayFactory& factory, const TLuaTable& entityInfo,
                                     const TString& name, const TLuaTable& scene,
                                     const TLuaTable* playlist, const TLuaTable& sceneInfo,
                                     TScript& script)
    : PuzzleSceneOf(factory, entityInfo, name, scene, playlist, sceneInfo)
{
    std::unique_ptr<TLuaTable> puzzle{script.GetGlobalTable("scrollpuzzle")};
    if (puzzle == nullptr)
    {
        ReportError("Cannot find 'scrollpuzzle' table for ScrollPuzzleScene!", kSource, __LINE__,
                    true);
        return;
    }
    std::unique_ptr<TLuaTable> buttons{puzzle->GetTable("buttons")};
    if (buttons == nullptr)
    {
        ReportError("ERROR: No button table for ScrollPuzzleScene!", kSource, __LINE__, true);
        return;
    }
    for (size_t i = 0; i < kAnswers; ++i)
    {
        mButtons[i].Load(static_cast<int32_t>(i + 1), *buttons);
        AddUniqueNames(mButtons[i].GetImageNames());
    }
    std::unique_ptr<TLuaTable> glows{puzzle->GetTable("glows")};
    if (glows == nullptr)
    {
        ReportError("ERROR: No glows table for ScrollPuzzleScene!", kSource, __LINE__, true);
        return;
    }
    std::unique_ptr<TLuaTable> lens{puzzle->GetTable("crystallens")};
    if (lens == nullptr)
    {
        ReportError("ERROR: No crystal lens table for ScrollPuzzleScene!", kSource, __LINE__, true);
        return;
    }
    mLens.Load(*lens, *glows);
    AppendMissingStrings(GetExtraTextureNames(), mLens.GetImageNames());
    std::unique_ptr<TLuaTable> symbols{puzzle->GetTable("symbols")};
    if (symbols == nullptr)
    {
        ReportError("ERROR: No symbols table for ScrollPuzzleScene!", kSource, __LINE__, true);
        return;
    }
    mSymbols.Load(*symbols, &mLens.GetSprite()->GetSpec());
    AppendMissingStrings(GetExtraTextureNames(), mSymbols.GetImageNames());
    std::unique_ptr<TLuaTable> answers{symbols->GetTable("symbolanswers")};
    if (answers == nullptr)
    {
        ReportError("ERROR: No symbol answers table for ScrollPuzzleScene!", kSource, __LINE__,
                    true);
        return;
    }
    std::unique_ptr<TLuaTable> sound{puzzle->GetTable("soundclick")};
    if (sound != nullptr)
        mSoundClick = SoundEffect::Create(*sound);
    if (std::unique_ptr<TLuaTable> reset{puzzle->GetTable("soundreset")})
        mSoundReset = SoundEffect::Create(*reset);
    mResetNote = ReadStringList(*puzzle, "resetnote");
    mResetNoteTime = static_cast<uint32_t>(
        std::max(ScriptNumberToInt(puzzle->GetNumber("resetnotetime", 0)), 0));
    for (const TString& note : mResetNote)
        if (FindLayer(note) == nullptr)
            Log("ERROR: Scene '%s': no layer or text '%s' for the scroll's reset note",
                name.c_str(), note.c_str());
    for (size_t i = 0; i < kAnswers; ++i)
    {
        char key[16];
        std::snprintf(key, sizeof key, "rect%02d", static_cast<int>(i + 1));
        std::unique_ptr<TLuaTable> rect{answers->GetTable(key)};
        if (rect == nullptr)
        {
            ReportError("ERROR: No collision index table for ScrollPuzzleScene!", kSource, __LINE__,
                        true);
            return;
        }
        mAnswers[i] = ReadPuzzleRect(*rect);
    }
}

ScrollPuzzleScene::~ScrollPuzzleScene()
{
    for (const std::shared_ptr<SoundEffect>& sound : {mSoundClick, mSoundReset})
        if (sound != nullptr)
            sound->Release();
}

void ScrollPuzzleScene::Update(uint32_t elapsedMs, bool active, bool playing)
{
    GameplayScene::Update(elapsedMs, active, playing);
    if (!active || !playing)
        return;
    for (const std::shared_ptr<SoundEffect>& sound : {mSoundClick, mSoundReset})
        if (sound != nullptr)
            sound->Update(elapsedMs);
    UpdateResetNote(elapsedMs);
    if (mFound >= static_cast<int32_t>(kAnswers))
        mComplete = true;
    if (mComplete)
    {
        AskForCompletion(kCompleteEvent);
        return;
    }
    const Settings* settings = Settings::Instance();
    if (settings == nullptr)
        return;
    FollowPointer(TPoint{settings->mMouseX, settings->mMouseY});
}

void ScrollPuzzleScene::FollowPointer(const TPoint& mouse)
{
    mLensOverScroll = mSymbols.HitTest(mouse);
    if (mLensOverScroll)
        mLens.FollowMouse(mouse);
}

void ScrollPuzzleScene::Draw(const TDrawSpec&)
{
    GameplayScene::Draw(TDrawSpec());
    for (const ScrollButton& button : mButtons)
        button.Draw();
    mSymbols.Draw();
    mLens.Draw();
}

void ScrollPuzzleScene::Reset()
{
    mFound = 0;
    mSecondPress.Forget();
    mLens.UnlightGlows();
    for (ScrollButton& button : mButtons)
        button.SetLit(false);
}

void ScrollPuzzleScene::AnnounceReset()
{
    ArmSoundEffect(mSoundReset.get());
    if (mResetNoteLeft == 0)
        for (const TString& name : mResetNote)
            if (GameplayLayer* note = FindLayer(name))
                note->Activate(true, nullptr);
    mResetNoteLeft = std::max(mResetNoteTime, 1u);
    mResetNoteDue = true;
}

void ScrollPuzzleScene::UpdateResetNote(uint32_t elapsedMs)
{
    if (mResetNoteLeft > elapsedMs)
    {
        mResetNoteLeft -= elapsedMs;
        return;
    }
    mResetNoteLeft = 0;
    if (!mResetNoteDue)
        return;
    mResetNoteDue = false;
    for (const TString& name : mResetNote)
        if (GameplayLayer* note = FindLayer(name);
            note != nullptr && (note->GetFlags() & GameplayEntity::kActive) != 0)
            note->Deactivate(true, nullptr);
}

void ScrollPuzzleScene::Show(int32_t found)
{
    Reset();
    mFound = found;
    for (int32_t k = 0; k < found; ++k)
    {
        mLens.LightNextGlow();
        mButtons[static_cast<size_t>(k)].SetLit(true);
    }
}

bool ScrollPuzzleScene::OnMouseDown(TPoint point)
{
    // Once solved a press would otherwise start again on an answer index that never matches,
    // losing the solved puzzle before its completion is saved.
    if (mComplete || mFound >= static_cast<int32_t>(kAnswers))
        return false;
    // The lens last followed the pointer at the frame before: a press that came with the
    // pointer's arrival is judged where it was pressed, not where the lens was drawn.
    FollowPointer(point);
    if (!mLensOverScroll)
        return false;
    const TRect& lens = mLens.GetCollisionRect();
    if (mFound > 0 && RectsTouch(lens, mAnswers[static_cast<size_t>(mFound - 1)]) &&
        mSecondPress.Repeats(mFound - 1))
        return true;
    for (size_t i = 0; i < kAnswers; ++i)
    {
        if (!RectsTouch(lens, mAnswers[i]))
            continue;
        if (static_cast<int32_t>(i) != mFound)
        {
            if (mFound > 0)
                AnnounceReset();
            Reset();
            continue;
        }
        ++mFound;
        mSecondPress.Took(static_cast<int32_t>(i));
        mButtons[i].SetLit(true);
        mLens.LightNextGlow();
        ArmSoundEffect(mSoundClick.get());
        return true;
    }
    if (mFound > 0)
        AnnounceReset();
    Reset();
    return true;
}

bool ScrollPuzzleScene::OnMouseUp(TPoint)
{
    return false;
}

void ScrollPuzzleScene::Pause(bool active)
{
    for (const std::shared_ptr<SoundEffect>& sound : {mSoundClick, mSoundReset})
        if (sound != nullptr)
            sound->Pause();
    GameplayScene::Pause(active);
}

void ScrollPuzzleScene::Resume(bool active)
{
    for (const std::shared_ptr<SoundEffect>& sound : {mSoundClick, mSoundReset})
        if (sound != nullptr)
            sound->Resume();
    GameplayScene::Resume(active);
}

void ScrollPuzzleScene::LoadTextures()
{
    for (ScrollButton& button : mButtons)
        button.LoadTexture();
    mSymbols.LoadTexture();
    mLens.LoadTextures();
    GameplayScene::LoadTextures();
}

void ScrollPuzzleScene::ReleaseTextures()
{
    for (ScrollButton& button : mButtons)
        button.ReleaseTexture();
    mSymbols.ReleaseTexture();
    mLens.ReleaseTextures();
    GameplayScene::ReleaseTextures();
}

void ScrollPuzzleScene::SaveOwnState(std::vector<uint8_t>& out)
{
    out.push_back(static_cast<uint8_t>(mFound));
}

void ScrollPuzzleScene::LoadOwnState(const uint8_t* data)
{
    int32_t found = data[0];
    if (found > static_cast<int32_t>(kAnswers))
    {
        // Never written by the puzzle; more would light parts that do not exist.
        Log("Scene '%s': %d scroll symbols saved as found; taken as %zu", mName.c_str(),
            static_cast<int>(found), kAnswers);
        found = static_cast<int32_t>(kAnswers);
    }
    Show(found);
    mResetNoteLeft = 0;
    mResetNoteDue = true;
}

TString ScrollPuzzleScene::GetCursorName() const
{
    if (!mComplete && mLensOverScroll)
        return TString();
    return GameplayScene::GetCursorName();
}
