// Tutorial prompts: built from the shared "info" look and each entry, the text fitted into its
// bounds, the fades and the endless bob of the arrow; the controller over a location's prompts.
#include "framework/adventure/tutorials/gameplay_tutorial.h"

#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "framework/transforms/transform_instructions.h"
#include "platform/log.h"
#include "platform/shell/application.h"
#include "platform/strings/string_table.h"
#include "render/renderer/renderer.h"
#include "render/sprites/sprite.h"
#include "render/text/text_sprite.h"
#include "render/textures/texture.h"
#include "script/lua_object_wrapper.h"

#include <algorithm>
#include <cmath>

namespace
{

const char kSource[] = "Framework\\src\\casual adventure\\gameplaytutorialcontroller";
constexpr float kSmoothing = -0.5f;
// A nudge: two dips to a third of the prompt's alpha, 120 ms down and 120 ms up each.
constexpr uint32_t kNudgeBlinks = 2;
constexpr uint32_t kNudgeStepMs = 120;
constexpr float kNudgeAlpha = 0.35f;

uint32_t Duration(int32_t ms)
{
    return static_cast<uint32_t>(std::max(ms, 0));
}

float Number(const TLuaTable& table, const char* key)
{
    return static_cast<float>(table.GetNumber(key, 0));
}

bool IsTable(const TLuaObjectWrapper& value)
{
    lua_State* L = value.GetState();
    value.Push();
    const bool table = lua_istable(L, -1);
    lua_pop(L, 1);
    return table;
}

TM_InstructionList* MoveList(uint32_t ms, const TVec2& from, const TVec2& to)
{
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Move(ms, true, to, from, 0, kSmoothing));
    return list;
}

} // namespace

GameplayTutorial::GameplayTutorial()
    : mArrowSprite(TSprite::Create(0)), mArrowTransform(&mArrowSprite->GetSpec()),
      mDialogSprite(TSprite::Create(0))
{
}

GameplayTutorial::~GameplayTutorial()
{
    if (TransformManager* transforms = TransformManager::Instance())
    {
        transforms->RemoveTransforms(&mArrowTransform);
        transforms->RemoveTransforms(&mSpecTransform);
    }
}

std::shared_ptr<GameplayTutorial> GameplayTutorial::Create(const TLuaTable& info,
                                                           const TLuaTable& entry)
{
    auto tutorial = std::make_shared<GameplayTutorial>();
    if (!tutorial->Build(info, entry))
        return nullptr;
    return tutorial;
}

bool GameplayTutorial::Build(const TLuaTable& info, const TLuaTable& entry)
{
    mName = entry.GetString("name");
    mIndex = ScriptNumberToInt(entry.GetNumber("index", 0));
    mFadeTime = ScriptNumberToInt(info.GetNumber("fadetime", 0));
    mArrowTime = ScriptNumberToInt(info.GetNumber("arrowtime", 0));
    mArrowDist = Number(info, "arrowdist");
    std::unique_ptr<TLuaTable> bounds(info.GetTable("bounds"));
    if (bounds == nullptr)
    {
        ReportError("No bounds table.", kSource, 36, true);
        return false;
    }
    std::unique_ptr<TLuaTable> font(info.GetTable("font"));
    if (font == nullptr)
    {
        ReportError("No font table.", kSource, 44, true);
        return false;
    }
    mFontSize = ScriptNumberToInt(font->GetNumberAt(2, 0));
    const float rotation = Number(entry, "arrowrotation");

    // Turned before it is placed: the framework's rotation turns the translation as well.
    mArrowSprite->SetTexture(TTexture::Get(info.GetString("arrowimage"), 0));
    mArrowTransform.SetRotationZ(-rotation);
    mArrowTransform.SetPosition(Number(entry, "arrowx"), Number(entry, "arrowy"), 1.0f);
    TDrawSpec& arrow = mArrowSprite->GetSpec();
    arrow.mOrigin = TVec2(Number(info, "arrowcenterx"), Number(info, "arrowcentery"));
    arrow.mFlags |= kDrawOrigin;

    const TString dialogName = info.GetString("dialog");
    std::shared_ptr<TTexture> dialog = TTexture::Get(dialogName, 0);
    if (dialog == nullptr)
        Log("ERROR: Tutorial '%s' has no dialog picture '%s'; it is drawn without one",
            mName.c_str(), dialogName.c_str());
    mDialogSprite->SetTexture(dialog);
    TDrawSpec& box = mDialogSprite->GetSpec();
    box.mMatrix.m[2][0] = Number(entry, "dialogx");
    box.mMatrix.m[2][1] = Number(entry, "dialogy");
    const uint32_t width = dialog != nullptr ? dialog->GetWidth() : 0;
    const uint32_t height = dialog != nullptr ? dialog->GetHeight() : 0;
    box.mOrigin = TVec2(static_cast<float>(width / 2), static_cast<float>(height / 2));
    box.mFlags |= kDrawOrigin;

    mTextSprite = TTextSprite::Create(
        ScriptNumberToInt(bounds->GetNumber("w", 0)), ScriptNumberToInt(bounds->GetNumber("h", 0)),
        0, font->GetStringAt(1), mFontSize, font->GetVec4At(3, TVec4(0, 0, 0, 0)), 0);
    TDrawSpec& text = mTextSprite->GetSpec();
    text.mMatrix.m[2][0] = Number(*bounds, "x");
    text.mMatrix.m[2][1] = Number(*bounds, "y");
    mDialogSprite->AddChild(mTextSprite);
    TApplication* application = TApplication::Get();
    TStringTable* strings = application != nullptr ? application->GetStringTable() : nullptr;
    mTextSprite->SetText(strings != nullptr ? strings->GetString(mName) : mName);
    // Shrunk a size at a time while lines do not fit, down to the floor.
    while (mFontSize > kMinFontSize && mTextSprite->CountFittingLines(TDrawSpec()) > 0)
        mTextSprite->SetFontSize(--mFontSize);
    mTextSprite->SetAlignment(5);

    mArrowBase = TVec2(mArrowTransform.GetX(), mArrowTransform.GetY());
    const float a = rotation * 6.2831854820251465f;
    mArrowTip =
        TVec2(mArrowBase.x + mArrowDist * std::cos(a), mArrowBase.y + mArrowDist * std::sin(a));
    return true;
}

void GameplayTutorial::Show(const TVec2& position)
{
    if (position.x != 0.0f || position.y != 0.0f)
    {
        mArrowTip = TVec2(position.x + (mArrowTip.x - mArrowBase.x),
                          position.y + (mArrowTip.y - mArrowBase.y));
        mArrowBase = position;
    }
    TransformManager* transforms = TransformManager::Instance();
    if (transforms != nullptr)
    {
        auto* fade = new TM_InstructionList;
        fade->push_back(new TM_Alpha(Duration(mFadeTime), 1.0f, 0.0f, 0, kSmoothing));
        transforms->AddTransform(&mSpecTransform, fade,
                                 new Callback(this, &GameplayTutorial::OnShown));
        // One bob at a time: a second showing would otherwise add another endless one.
        transforms->RemoveTransforms(&mArrowTransform);
        const uint32_t id = transforms->AddTransform(
            &mArrowTransform, MoveList(Duration(mArrowTime), mArrowTip, mArrowBase));
        transforms->FindTransform(id, MoveList(Duration(mArrowTime), mArrowBase, mArrowTip));
        transforms->SetLooping(id);
    }
    mState = kFadingIn;
}

void GameplayTutorial::Hide(WaitHandle&& report)
{
    mState = kFadingOut;
    if (report.IsHeld())
        mPendingReport = std::move(report);
    TransformManager* transforms = TransformManager::Instance();
    if (transforms == nullptr)
    {
        // Nothing would end a fade: hidden at once.
        OnHidden(this, nullptr, 0);
        return;
    }
    // A blink still running would fight the fade over the prompt's alpha.
    if (mNudging)
        transforms->RemoveTransforms(&mSpecTransform);
    mNudging = false;
    auto* fade = new TM_InstructionList;
    fade->push_back(new TM_Alpha(Duration(mFadeTime), 0.0f, 1.0f, 0, kSmoothing));
    transforms->AddTransform(&mSpecTransform, fade,
                             new Callback(this, &GameplayTutorial::OnHidden));
}

bool GameplayTutorial::CanEndHide() const
{
    const TransformManager* transforms = TransformManager::Instance();
    return transforms != nullptr && transforms->HasTransforms(&mSpecTransform);
}

void GameplayTutorial::Nudge()
{
    TransformManager* transforms = TransformManager::Instance();
    if (transforms == nullptr || mState != kShown)
        return;
    transforms->RemoveTransforms(&mSpecTransform);
    // The steps of one list run side by side: each waits for those before it.
    auto* blink = new TM_InstructionList;
    for (uint32_t step = 0; step < 2 * kNudgeBlinks; step += 2)
    {
        blink->push_back(
            new TM_Alpha(kNudgeStepMs, kNudgeAlpha, 1.0f, step * kNudgeStepMs, kSmoothing));
        blink->push_back(
            new TM_Alpha(kNudgeStepMs, 1.0f, kNudgeAlpha, (step + 1) * kNudgeStepMs, kSmoothing));
    }
    transforms->AddTransform(&mSpecTransform, blink,
                             new Callback(this, &GameplayTutorial::OnNudged));
    mNudging = true;
}

void GameplayTutorial::OnNudged(void* object, TM_Transform*, uint32_t)
{
    static_cast<GameplayTutorial*>(object)->mNudging = false;
}

void GameplayTutorial::OnShown(void* object, TM_Transform*, uint32_t)
{
    static_cast<GameplayTutorial*>(object)->mState = kShown;
}

void GameplayTutorial::OnHidden(void* object, TM_Transform*, uint32_t id)
{
    auto* tutorial = static_cast<GameplayTutorial*>(object);
    tutorial->mState = kHidden;
    WaitHandle report = std::move(tutorial->mPendingReport);
    report.Tell(nullptr, id);
}

void GameplayTutorial::Draw()
{
    mDialogSprite->Draw(mSpec, -1);
    mArrowSprite->Draw(mSpec, -1);
}

GameplayTutorialController::GameplayTutorialController(const TLuaTable& tutorials)
{
    std::unique_ptr<TLuaTable> info(tutorials.GetTable("info"));
    if (info == nullptr)
    {
        ReportError("No info table", kSource, 24, true);
        return;
    }
    TLuaObjectWrapper* key = nullptr;
    while (TLuaTable* value = tutorials.Next(&key))
    {
        std::unique_ptr<TLuaTable> entry(value);
        if (key->ToString() == TString("info"))
            continue;
        if (!IsTable(*entry))
        {
            Log("ERROR: Tutorial entry '%s' is not a table", key->ToString().c_str());
            continue;
        }
        std::shared_ptr<GameplayTutorial> tutorial = GameplayTutorial::Create(*info, *entry);
        if (tutorial == nullptr)
        {
            // The fatal report ends the game; nothing more is built.
            delete key;
            return;
        }
        mTutorials.push_back(std::move(tutorial));
    }
}

void GameplayTutorialController::ShowTutorial(const TString& name, const TVec2& position)
{
    for (const std::shared_ptr<GameplayTutorial>& tutorial : mTutorials)
        if (tutorial->GetName() == name)
        {
            mActive = tutorial.get();
            mActive->Show(position);
            return;
        }
}

int32_t GameplayTutorialController::GetTutorialIndex(const TString& name) const
{
    for (const std::shared_ptr<GameplayTutorial>& tutorial : mTutorials)
        if (tutorial->GetName() == name)
            return tutorial->GetIndex();
    return -1;
}

TString GameplayTutorialController::GetActiveTutorialName() const
{
    return mActive != nullptr ? mActive->GetName() : TString();
}

void GameplayTutorialController::Draw()
{
    if (mActive == nullptr || mActive->GetState() == GameplayTutorial::kHidden)
        return;
    TRenderer* renderer = TRenderer::Instance();
    const bool entered = renderer != nullptr && !renderer->InBegin2d() && renderer->Begin2d();
    mActive->Draw();
    if (entered)
        renderer->End2d();
}
