// The electronic lock: its table, the flip rule, the completion request, the hand cursors, the
// toggle sound and its two saved bytes.
#include "game/minigames/puzzles/electronic_lock/electronic_lock_scene.h"

#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "framework/sound/sound_effect.h"
#include "game/minigames/puzzles/puzzle_scene.h"
#include "platform/log.h"
#include "render/renderer/draw_spec.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"

namespace
{
const char kSource[] = "electroniclockscene";
} // namespace

ElectronicLockScene::ElectronicLockScene(GameplayFactory& factory, const TLuaTable& entityInfo,
                                         const TString& name, const TLuaTable& scene,
                                         const TLuaTable* playlist, const TLuaTable& sceneInfo,
                                         TScript& script)
    : PuzzleSceneOf(factory, entityInfo, name, scene, playlist, sceneInfo)
{
    mCursorHandClosed = script.GetGlobalString("gs_cursorHandClosed");
    mCursorHandOpen = script.GetGlobalString("gs_cursorHandOpen");

    std::unique_ptr<TLuaTable> lock{script.GetGlobalTable("electroniclock")};
    if (lock == nullptr)
    {
        ReportError("Cannot find 'electroniclock' table for ElectronicLockScene!", kSource,
                    __LINE__, true);
        return;
    }
    std::unique_ptr<TLuaTable> buttons{lock->GetTable("buttons")};
    if (buttons == nullptr)
    {
        ReportError("ERROR: No button table for ElectronicLockScene!", kSource, __LINE__, true);
        return;
    }
    for (size_t cell = 0; cell < kCells; ++cell)
    {
        mButtons[cell].Load(static_cast<int32_t>(cell + 1), *buttons);
        AddUniqueNames(mButtons[cell].GetImageNames());
    }
    std::unique_ptr<TLuaTable> sound{lock->GetTable("soundtoggle")};
    if (sound != nullptr)
        mSoundToggle = SoundEffect::Create(*sound);
}

ElectronicLockScene::~ElectronicLockScene()
{
    if (mSoundToggle != nullptr)
        mSoundToggle->Release();
}

bool ElectronicLockScene::AllLit() const
{
    for (const ElectronicLockButton& button : mButtons)
        if (!button.IsLit())
            return false;
    return true;
}

void ElectronicLockScene::Update(uint32_t elapsedMs, bool active, bool playing)
{
    GameplayScene::Update(elapsedMs, active, playing);
    if (mSoundToggle != nullptr)
        mSoundToggle->Update(elapsedMs);
    if (!active || !playing || !AllLit())
        return;
    AskForCompletion(kCompleteEvent);
    OnMouseUp(TPoint{0, 0});
}

void ElectronicLockScene::Draw(const TDrawSpec&)
{
    GameplayScene::Draw(TDrawSpec());
    for (const ElectronicLockButton& button : mButtons)
        button.Draw();
}

int32_t ElectronicLockScene::FindCell(const TPoint& point) const
{
    for (size_t cell = 0; cell < kCells; ++cell)
        if (mButtons[cell].Contains(point))
            return static_cast<int32_t>(cell);
    return -1;
}

void ElectronicLockScene::Flip(size_t row, size_t column)
{
    mButtons[row * kSide + column].Toggle();
}

bool ElectronicLockScene::OnMouseDown(TPoint point)
{
    mMouseHeld = true;
    const int32_t cell = FindCell(point);
    if (cell < 0)
        return false;
    const size_t row = static_cast<size_t>(cell) / kSide;
    const size_t column = static_cast<size_t>(cell) % kSide;
    Flip(row, column);
    if (row == 1)
    {
        Flip(0, column);
        Flip(2, column);
    }
    else
        Flip(1, column);
    if (column == 1)
    {
        Flip(row, 0);
        Flip(row, 2);
    }
    else
        Flip(row, 1);
    ArmSoundEffect(mSoundToggle.get());
    return true;
}

bool ElectronicLockScene::OnMouseUp(TPoint)
{
    mMouseHeld = false;
    return false;
}

void ElectronicLockScene::Pause(bool active)
{
    if (mSoundToggle != nullptr)
        mSoundToggle->Pause();
    GameplayScene::Pause(active);
}

void ElectronicLockScene::Resume(bool active)
{
    if (mSoundToggle != nullptr && active)
        mSoundToggle->Resume();
    GameplayScene::Resume(active);
}

void ElectronicLockScene::LoadTextures()
{
    for (ElectronicLockButton& button : mButtons)
        button.LoadTexture();
    GameplayScene::LoadTextures();
}

void ElectronicLockScene::ReleaseTextures()
{
    for (ElectronicLockButton& button : mButtons)
        button.ReleaseTexture();
    GameplayScene::ReleaseTextures();
}

void ElectronicLockScene::SaveOwnState(std::vector<uint8_t>& out)
{
    uint8_t low = 0;
    for (size_t cell = 0; cell < 8; ++cell)
        if (mButtons[cell].IsLit())
            low = static_cast<uint8_t>(low | (1u << cell));
    out.push_back(low);
    out.push_back(mButtons[8].IsLit() ? 1 : 0);
}

void ElectronicLockScene::LoadOwnState(const uint8_t* data)
{
    if ((data[1] & 1) != 0)
        mButtons[8].SetLit(true);
    for (size_t cell = 0; cell < 8; ++cell)
        if ((data[0] & (1u << cell)) != 0)
            mButtons[cell].SetLit(true);
}

TString ElectronicLockScene::GetCursorName() const
{
    const Settings* settings = Settings::Instance();
    if (settings != nullptr && FindCell(TPoint{settings->mMouseX, settings->mMouseY}) >= 0)
        return mMouseHeld ? mCursorHandClosed : mCursorHandOpen;
    return GameplayScene::GetCursorName();
}
