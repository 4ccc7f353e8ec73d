// The scroll puzzle: its table, the lens over the scroll, the answers in order, the completion
// request, the click sound and its saved byte.
#include "game/minigames/puzzles/scroll/scroll_puzzle_scene.h"

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
    if (mSoundClick != nullptr)
        mSoundClick->Release();
}

void ScrollPuzzleScene::Update(uint32_t elapsedMs, bool active, bool playing)
{
    GameplayScene::Update(elapsedMs, active, playing);
    if (!active || !playing)
        return;
    if (mSoundClick != nullptr)
        mSoundClick->Update(elapsedMs);
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
    const TPoint mouse{settings->mMouseX, settings->mMouseY};
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
    mLens.UnlightGlows();
    for (ScrollButton& button : mButtons)
        button.SetLit(false);
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

bool ScrollPuzzleScene::OnMouseDown(TPoint)
{
    if (!mLensOverScroll)
        return false;
    // Once solved a press would otherwise start again on an answer index that never matches,
    // losing the solved puzzle before its completion is saved.
    if (mComplete || mFound >= static_cast<int32_t>(kAnswers))
        return false;
    const TRect& lens = mLens.GetCollisionRect();
    for (size_t i = 0; i < kAnswers; ++i)
    {
        if (!RectsTouch(lens, mAnswers[i]))
            continue;
        if (static_cast<int32_t>(i) != mFound)
        {
            Reset();
            continue;
        }
        ++mFound;
        mButtons[i].SetLit(true);
        mLens.LightNextGlow();
        ArmSoundEffect(mSoundClick.get());
        return true;
    }
    Reset();
    return true;
}

bool ScrollPuzzleScene::OnMouseUp(TPoint)
{
    return false;
}

void ScrollPuzzleScene::Pause(bool active)
{
    if (mSoundClick != nullptr)
        mSoundClick->Pause();
    GameplayScene::Pause(active);
}

void ScrollPuzzleScene::Resume(bool active)
{
    if (mSoundClick != nullptr)
        mSoundClick->Resume();
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
}

TString ScrollPuzzleScene::GetCursorName() const
{
    if (!mComplete && mLensOverScroll)
        return TString();
    return GameplayScene::GetCursorName();
}
