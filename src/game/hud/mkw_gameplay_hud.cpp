// The game's HUD: its medallions built from the style, drawn, updated with the mouse and asked
// for hits; objects merged by character; the hint selection; the four saved bytes.
#include "game/hud/mkw_gameplay_hud.h"

#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/core/delta_time.h"
#include "framework/core/settings.h"
#include "framework/widgets/framework_button.h"
#include "game/hud/gameplay_hint.h"
#include "game/inventory/mkw_gameplay_inventory.h"
#include "platform/log.h"
#include "render/renderer/renderer.h"
#include "script/lua_object_wrapper.h"
#include "ui/window_style.h"

#include <algorithm>

namespace
{

const char kSource[] = "mkwgameplayhud";

int32_t MarkOf(GameplayInventory* object)
{
    auto* game = dynamic_cast<MKWGameplayInventory*>(object);
    return game != nullptr ? game->GetCharacterMark() : MKWGameplayInventory::kNoCharacter;
}

} // namespace

MKWGameplayHud::MKWGameplayHud()
{
    mHintParticleColor.mWidth = 4;
    mHintParticles.RegisterFunction("dColor", &mHintParticleColor);
}

MKWGameplayHud::~MKWGameplayHud() = default;

TWindow* MKWGameplayHud::Create()
{
    return new MKWGameplayHud();
}

TClassId MKWGameplayHud::GetClassId()
{
    return reinterpret_cast<TClassId>(&MKWGameplayHud::Create);
}

void MKWGameplayHud::PostInit(TWindowStyle& style)
{
    // A fatal report runs a statement in the window script, which lets go of the style's table:
    // what this HUD reads of its style is taken before anything can report.
    std::unique_ptr<TLuaTable> info = style.GetTableOnly("hintinfo");
    std::unique_ptr<TLuaTable> lirae = style.GetTableOnly("hintlirae");
    std::unique_ptr<TLuaTable> thessalor = style.GetTableOnly("hintthessalor");
    const TVec4 liraeColor = style.GetColor("hintliraecolor", 0, 0, 0, 1);
    const TVec4 thessalorColor = style.GetColor("hintthessalorcolor", 0, 0, 0, 1);
    const TVec4 miniHintColor = style.GetColor("hintminicolor", 0, 0, 0, 1);

    GameplayHud::PostInit(style);
    if (info == nullptr)
    {
        ReportError("No hintinfo table for GameplayHud", kSource, __LINE__, true);
        return;
    }
    if (lirae == nullptr)
    {
        ReportError("No hintlirae table for GameplayHud", kSource, __LINE__, true);
        return;
    }
    mLiraeMedallion = std::make_shared<GameplayHint>(*lirae, *info);
    if (thessalor == nullptr)
    {
        ReportError("No hintthessalor table for GameplayHud", kSource, __LINE__, true);
        return;
    }
    mThessalorMedallion = std::make_shared<GameplayHint>(*thessalor, *info);
    mJournalButton = TVButton::Cast(FindChild("journal", 0xFFFFFFFFu));
    mLiraeColor = liraeColor;
    mThessalorColor = thessalorColor;
    mMiniHintColor = miniHintColor;
}

std::vector<GameplayHint*> MKWGameplayHud::Medallions() const
{
    std::vector<GameplayHint*> medallions;
    for (GameplayHint* medallion : {mLiraeMedallion.get(), mThessalorMedallion.get()})
        if (medallion != nullptr)
            medallions.push_back(medallion);
    return medallions;
}

TVec2 MKWGameplayHud::GetHudOffset() const
{
    return TVec2(mStripSpec.mMatrix.m[2][0], mStripSpec.mMatrix.m[2][1]);
}

TIntPoint MKWGameplayHud::ToHud(const TPoint& point) const
{
    const TVec2 offset = GetHudOffset();
    return {point.x + static_cast<int32_t>(offset.x), point.y + static_cast<int32_t>(offset.y)};
}

// --- per frame ----------------------------------------------------------------------------------

void MKWGameplayHud::Update()
{
    if (!mPaused)
    {
        DeltaTime* clock = DeltaTime::Instance();
        mHintParticles.Update(static_cast<int32_t>(clock != nullptr ? clock->GetStep() : 0));
        Settings* settings = Settings::Instance();
        const TVec2 offset = GetHudOffset();
        const float x = settings != nullptr ? static_cast<float>(settings->mMouseX) : 0.0f;
        const float y = settings != nullptr ? static_cast<float>(settings->mMouseY) : 0.0f;
        const TIntPoint point{static_cast<int32_t>(x + offset.x),
                              static_cast<int32_t>(y + offset.y)};
        for (GameplayHint* medallion : Medallions())
            medallion->Update(point);
    }
    GameplayHud::Update();
}

void MKWGameplayHud::Draw()
{
    TRenderer* renderer = TRenderer::Instance();
    if (renderer == nullptr)
        return;
    const bool entered = !renderer->InBegin2d() && renderer->Begin2d();
    GameplayHud::Draw();
    for (GameplayHint* medallion : Medallions())
        medallion->DrawTrackers(TDrawSpec());
    // The effect is drawn in screen coordinates and is not clipped to the HUD.
    const TRect clip = renderer->GetClipRect();
    const TRect viewport = renderer->GetViewport();
    renderer->PopClipRect();
    renderer->PopViewport();
    mHintParticles.Draw(TVec3(0.0f, 0.0f, 0.0f));
    renderer->PushClipRect(clip);
    renderer->PushViewport(viewport);
    if (entered)
        renderer->End2d();
}

void MKWGameplayHud::DrawHints()
{
    for (GameplayHint* medallion : Medallions())
        medallion->DrawMedallion(TDrawSpec());
}

void MKWGameplayHud::Pause()
{
    GameplayHud::Pause();
    for (GameplayHint* medallion : Medallions())
        medallion->Pause();
}

void MKWGameplayHud::Resume()
{
    GameplayHud::Resume();
    for (GameplayHint* medallion : Medallions())
        medallion->Resume();
}

void MKWGameplayHud::SetButtonsEnabled(bool enabled)
{
    if (mJournalButton != nullptr)
        mJournalButton->SetEnabled(enabled, true);
    if (enabled == mButtonsEnabled)
        return;
    mButtonsEnabled = enabled;
    EnableScrollButtons(true);
}

// --- the strip ----------------------------------------------------------------------------------

bool MKWGameplayHud::MergePendingInventory(bool animate, WaitHandle&& report)
{
    if (mPending.empty())
        return false;
    size_t first = mRangeFirst;
    size_t last = mRangeLast;
    for (GameplayInventory* object : mPending)
        object->RefreshCollisionMask();
    bool toFront = false;
    for (GameplayInventory* object : mPending)
    {
        const int32_t mark = MarkOf(object);
        if (mark == MKWGameplayInventory::kLirae)
        {
            mShown.push_back(object);
        }
        else if (mark == MKWGameplayInventory::kThessalor)
        {
            mShown.insert(mShown.begin(), object);
            ++first;
            ++last;
            toFront = true;
        }
    }
    const size_t count = mShown.size();
    mRangeFirst = count != 0 && first >= count ? first - 1 : first;
    mRangeLast = count != 0 && last >= count ? last - 1 : last;
    if (toFront)
        ArrangeInventory(static_cast<int32_t>(mRangeFirst), animate, nullptr);
    else
        ArrangeInventory(-static_cast<int32_t>(count - 1 - std::min(mRangeLast, count - 1)),
                         animate, nullptr);
    for (size_t i = 0; i < mShown.size(); ++i)
    {
        GameplayInventory* object = mShown[i];
        if (std::find(mPending.begin(), mPending.end(), object) == mPending.end())
            continue;
        if (animate && i >= mRangeFirst && i <= mRangeLast)
        {
            object->PlaceInHud(std::move(report), true);
        }
        else
        {
            // Shown and visible at once (flags 0x81), its mask refreshed.
            object->PlaceInHud(nullptr, false);
        }
    }
    // No object took the report (all unmarked, or none in view): its caller is not left waiting.
    CallLater(std::move(report));
    mPending.clear();
    return true;
}

// --- saved state --------------------------------------------------------------------------------

void MKWGameplayHud::SaveState(std::vector<uint8_t>& out)
{
    out.push_back(mLiraeMedallion != nullptr ? mLiraeMedallion->GetAvailableMask() : 0);
    out.push_back(mThessalorMedallion != nullptr ? mThessalorMedallion->GetAvailableMask() : 0);
    GameplayHud::SaveState(out);
}

bool MKWGameplayHud::LoadState(const uint8_t* data, size_t size)
{
    if (data == nullptr || size < GetSavedStateSize())
    {
        Log("ERROR: The HUD's saved state needs %u bytes, %u are left",
            static_cast<unsigned>(GetSavedStateSize()), static_cast<unsigned>(size));
        return false;
    }
    if (mLiraeMedallion != nullptr)
        mLiraeMedallion->SetAvailableMask(data[0]);
    if (mThessalorMedallion != nullptr)
        mThessalorMedallion->SetAvailableMask(data[1]);
    mProgressMax = data[2];
    SetProgress(data[3]);
    return true;
}

// --- hint selection -----------------------------------------------------------------------------

bool MKWGameplayHud::TestHintClick(const TPoint& point, bool availableOnly)
{
    const TIntPoint at{point.x, point.y};
    for (GameplayHint* medallion : Medallions())
        if (medallion->HitTracker(at, TDrawSpec(), availableOnly))
            return true;
    return false;
}

void MKWGameplayHud::SelectHint(const TPoint& point)
{
    const TIntPoint at{point.x, point.y};
    for (GameplayHint* medallion : Medallions())
        medallion->SelectTrackerAt(at, TDrawSpec());
    const struct
    {
        GameplayHint* medallion;
        const TVec4& colour;
    } choices[] = {{mLiraeMedallion.get(), mLiraeColor},
                   {mThessalorMedallion.get(), mThessalorColor}};
    for (const auto& choice : choices)
    {
        if (choice.medallion == nullptr || choice.medallion->GetSelectedMask() == 0)
            continue;
        for (int i = 0; i < 3; ++i)
            mHintParticleColor.mValue[i] = (&choice.colour.x)[i];
        mSelectedMedallion = choice.medallion;
        return;
    }
}

void MKWGameplayHud::EndHintSelect(bool spend)
{
    for (GameplayHint* medallion : Medallions())
    {
        const uint8_t selected = medallion->GetSelectedMask();
        if (selected == 0)
            continue;
        if (spend)
            medallion->SetAvailableMask(
                static_cast<uint8_t>(medallion->GetAvailableMask() & ~selected));
        medallion->SetSelectedMask(0);
        return;
    }
}

TVec2 MKWGameplayHud::GetClickedHintPosition()
{
    const TVec2 offset = GetHudOffset();
    const TDrawSpec toScreen(TVec2(-offset.x, -offset.y));
    for (GameplayHint* medallion : Medallions())
    {
        if (medallion->GetSelectedMask() == 0)
            continue;
        const TIntPoint at = medallion->GetClickedPosition(toScreen);
        return TVec2(static_cast<float>(at.x), static_cast<float>(at.y));
    }
    ReportError("GameplayHud::GetClickedHintPosition() with no clicked hints!", kSource, __LINE__,
                false);
    return TVec2(0, 0);
}

void MKWGameplayHud::FadeInHintBackground()
{
    if (mLiraeMedallion != nullptr && mLiraeMedallion->GetSelectedMask() != 0)
        mHintColor = mLiraeColor;
    else if (mThessalorMedallion != nullptr && mThessalorMedallion->GetSelectedMask() != 0)
        mHintColor = mThessalorColor;
    GameplayHud::FadeInHintBackground();
}

// --- medallions for the scene runner ------------------------------------------------------------

bool MKWGameplayHud::ContainsPoint(const TPoint& point)
{
    return HitMedallionsIfMissing(ToHud(point), false) || GameplayHud::ContainsPoint(point);
}

int32_t MKWGameplayHud::HitMedallions(const TIntPoint& point)
{
    if (mLiraeMedallion != nullptr && mLiraeMedallion->HitMedallion(point, TDrawSpec(), false))
        return 2;
    if (mThessalorMedallion != nullptr &&
        mThessalorMedallion->HitMedallion(point, TDrawSpec(), false))
        return 1;
    return 0;
}

int32_t MKWGameplayHud::HitTrackers(const TIntPoint& point)
{
    if (mLiraeMedallion != nullptr && mLiraeMedallion->HitTracker(point, TDrawSpec(), false))
        return 2;
    if (mThessalorMedallion != nullptr &&
        mThessalorMedallion->HitTracker(point, TDrawSpec(), false))
        return 1;
    return 0;
}

void MKWGameplayHud::SpinMedallion(int32_t mark, bool play)
{
    if (mark != 1 && mark != 2)
        return;
    if (GameplayHint* medallion = Medallion(mark))
        medallion->Spin(play);
}

void MKWGameplayHud::RequestMedallionGlow(int32_t mark)
{
    if (mark != 1 && mark != 2)
        return;
    if (GameplayHint* medallion = Medallion(mark))
        medallion->RequestHover();
}

bool MKWGameplayHud::HitMedallionsIfMissing(const TIntPoint& point, bool onlyIfMissing)
{
    for (GameplayHint* medallion : Medallions())
        if (medallion->HitMedallion(point, TDrawSpec(), onlyIfMissing))
            return true;
    return false;
}

int32_t MKWGameplayHud::GetFirstMissingTracker(int32_t mark)
{
    GameplayHint* medallion = Medallion(mark);
    return medallion != nullptr ? medallion->GetFirstMissingTracker() : -1;
}

TIntPoint MKWGameplayHud::GetMissingTrackerPosition(int32_t mark, int32_t index)
{
    TIntPoint at;
    if (GameplayHint* medallion = Medallion(mark))
        at = medallion->GetTrackerPosition(index);
    else
        ReportError("No missing trackers!", kSource, __LINE__, false);
    const TVec2 offset = GetHudOffset();
    return {at.x - static_cast<int32_t>(offset.x), at.y - static_cast<int32_t>(offset.y)};
}

std::shared_ptr<TAnimatedTexture> MKWGameplayHud::GetMissingTrackerTexture(int32_t mark,
                                                                           int32_t index)
{
    GameplayHint* medallion = Medallion(mark);
    if (medallion == nullptr)
    {
        ReportError("No missing trackers!", kSource, __LINE__, false);
        return nullptr;
    }
    return medallion->GetTrackerTexture(index);
}
