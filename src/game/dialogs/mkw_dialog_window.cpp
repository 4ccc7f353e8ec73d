// The game's dialog: the extra style keys, the streak countdown and its bound, and the streaks
// drawn across the whole screen's clip in the dialog's drawing space.
#include "game/dialogs/mkw_dialog_window.h"

#include "framework/core/delta_time.h"
#include "game/dialogs/blood_streak.h"
#include "platform/log.h"
#include "render/renderer/renderer.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/lua_object_wrapper.h"
#include "ui/window_style.h"

#include <algorithm>
#include <cmath>

namespace
{
// The whole screen, so streaks may run past the dialog's face.
const TRect kScreenClip(0, 0, 800, 600);
} // namespace

MKWDialogWindow::MKWDialogWindow()
{
    mRandom.Seed(DeltaTime::Now());
}

MKWDialogWindow::~MKWDialogWindow()
{
    mBlood.reset();
    mStreaks.clear();
}

TWindow* MKWDialogWindow::Create()
{
    return new MKWDialogWindow();
}

TClassId MKWDialogWindow::GetClassId()
{
    return reinterpret_cast<TClassId>(&MKWDialogWindow::Create);
}

void MKWDialogWindow::Init(TWindowStyle& style)
{
    DialogWindow::Init(style);
    mTimeBloodMin = style.GetInt("timebloodmin", 0);
    mTimeBloodMax = style.GetInt("timebloodmax", 0);
    if (std::unique_ptr<TLuaTable> blood = style.GetTableOnly("blood"))
        mBlood = std::move(blood);
    TString actual = style.GetString("actualimage", "");
    if (actual.Length() != 0)
    {
        std::shared_ptr<TTexture> texture = TTexture::Get(actual, 0);
        if (texture == nullptr)
        {
            Log("MKWDialogWindow: cannot load \"%s\"; the dialog keeps its image", actual.c_str());
        }
        else
        {
            float x = static_cast<float>(style.GetNumber("xoffset", 0));
            float y = static_cast<float>(style.GetNumber("yoffset", 0));
            SetSize(static_cast<int32_t>(texture->GetWidth()),
                    static_cast<int32_t>(texture->GetHeight()));
            SetImage(std::isfinite(x) ? x : 0, std::isfinite(y) ? y : 0, texture);
        }
    }
}

void MKWDialogWindow::PostInit(TWindowStyle& style)
{
    DialogWindow::PostInit(style);
    SpawnStreak();
}

void MKWDialogWindow::SpawnStreak()
{
    if (mBlood == nullptr)
        return;
    // A longest interval below the shortest would wrap to weeks: the shortest holds.
    int64_t span = std::max<int64_t>(0, int64_t{mTimeBloodMax} - mTimeBloodMin);
    double next = mTimeBloodMin + std::trunc(mRandom.NextDouble() * (span + 1.0));
    mTimeToNextBlood = next > 0 ? static_cast<uint32_t>(std::min(next, 4294967295.0)) : 0;

    std::shared_ptr<BloodStreak> streak = BloodStreak::Create(*mBlood);
    if (streak == nullptr)
    {
        if (!mReportedMissingImages)
            Log("MKWDialogWindow \"%s\": the streak's images cannot be loaded; no streaks",
                GetName().c_str());
        mReportedMissingImages = true;
        return;
    }
    if (IsPaused())
        streak->Pause();
    mStreaks.push_back(streak);
    // Short intervals would otherwise grow the list and the draw without end.
    for (size_t i = 0; i < mStreaks.size() && mStreaks.size() > kMaxStreaks;)
    {
        if (mStreaks[i]->IsFinished())
            mStreaks.erase(mStreaks.begin() + static_cast<std::ptrdiff_t>(i));
        else
            ++i;
    }
    if (mStreaks.size() > kMaxStreaks)
        mStreaks.erase(mStreaks.begin(), mStreaks.begin() + static_cast<std::ptrdiff_t>(
                                                                mStreaks.size() - kMaxStreaks));
}

bool MKWDialogWindow::Update()
{
    // A paused dialog's streaks stand still, and no new one starts under a covering window.
    if (!IsPaused())
    {
        DeltaTime* clock = DeltaTime::Instance();
        uint32_t step = clock != nullptr ? clock->GetStep() : 0;
        if (mTimeToNextBlood > step)
            mTimeToNextBlood -= step;
        else
            SpawnStreak();
        for (const std::shared_ptr<BloodStreak>& streak : mStreaks)
            streak->Reveal();
    }
    return DialogWindow::Update();
}

void MKWDialogWindow::PostDraw()
{
    TRenderer* renderer = TRenderer::Existing();
    if (!mStreaks.empty() && renderer != nullptr)
    {
        bool entered = !renderer->InBegin2d() && renderer->Begin2d();
        TRect clip = renderer->GetClipRect();
        renderer->SetClipRect(kScreenClip);
        for (const std::shared_ptr<BloodStreak>& streak : mStreaks)
            streak->Draw(TDrawSpec());
        renderer->SetClipRect(clip);
        if (entered)
            renderer->End2d();
    }
    DialogWindow::PostDraw();
}

void MKWDialogWindow::Pause()
{
    for (const std::shared_ptr<BloodStreak>& streak : mStreaks)
        streak->Pause();
    DialogWindow::Pause();
}

void MKWDialogWindow::Resume()
{
    for (const std::shared_ptr<BloodStreak>& streak : mStreaks)
        streak->Resume();
    DialogWindow::Resume();
}
