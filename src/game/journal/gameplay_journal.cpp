// The journal: its style, the goal lines built from the objects and areas, the page composed in two
// passes into its texture, the fly-in and fly-out, the scrim, and "JournalCloseButtonPressed".
#include "game/journal/gameplay_journal.h"

#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/core/delta_time.h"
#include "framework/core/window_manager.h"
#include "framework/sound/sound_effect.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/transforms/transform_manager.h"
#include "framework/widgets/text_object.h"
#include "platform/log.h"
#include "platform/shell/application.h"
#include "platform/strings/string_table.h"
#include "render/renderer/renderer.h"
#include "render/renderer/vertex_set.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/lua_bind.h"
#include "script/lua_object_wrapper.h"
#include "script/window_script_seam.h"
#include "ui/button.h"
#include "ui/window_style.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace
{

const char kSource[] = "gameplayjournal";
const char kCloseName[] = "JournalCloseButtonPressed";
constexpr float kSmoothing = -0.5f;
// The smallest scale the page flies from and back to.
constexpr float kTiny = 0.001f;
constexpr uint32_t kTriangleList = 4;

TString Localised(const TString& label)
{
    TApplication* application = TApplication::Get();
    TStringTable* strings = application != nullptr ? application->GetStringTable() : nullptr;
    return strings != nullptr ? strings->GetString(label) : label;
}

TVec2 Point(const TWindowStyle& style, const char* x, const char* y)
{
    return TVec2(static_cast<float>(style.GetNumber(x, 0)),
                 static_cast<float>(style.GetNumber(y, 0)));
}

void Arm(const std::shared_ptr<SoundEffect>& sound)
{
    if (sound != nullptr)
        sound->mPending = sound->GetStartDelay();
}

} // namespace

GameplayJournal::GameplayJournal()
    : mPageSprite(TSprite::Create(0)), mPageTransform(&mPageSprite->GetSpec()),
      mImageSprite(TSprite::Create(0)), mLeftImageSprite(TSprite::Create(0))
{
    if (lua_State* L = GetWindowScriptState())
        LuaBindMember(L, kCloseName, this, &GameplayJournal::Close);
}

GameplayJournal::~GameplayJournal()
{
    // A later journal may have taken the name since; it keeps it.
    if (lua_State* L = GetWindowScriptState())
        LuaUnbindMemberIfBound(L, kCloseName, this);
    if (TransformManager* transforms = TransformManager::Instance())
        transforms->RemoveTransforms(&mPageTransform);
    if (mSoundEnter != nullptr)
        mSoundEnter->Release();
    if (mSoundExit != nullptr)
        mSoundExit->Release();
}

TWindow* GameplayJournal::Create()
{
    return new GameplayJournal();
}

TClassId GameplayJournal::GetClassId()
{
    return reinterpret_cast<TClassId>(&GameplayJournal::Create);
}

// --- style --------------------------------------------------------------------------------------

void GameplayJournal::PostInit(TWindowStyle& style)
{
    TWindow::PostInit(style);
    const auto w = static_cast<float>(GetWidth());
    const auto h = static_cast<float>(GetHeight());
    const float corners[4][2] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
    for (int i = 0; i < 4; ++i)
    {
        mScrim[i] = Vertex();
        mScrim[i].mX = corners[i][0];
        mScrim[i].mY = corners[i][1];
    }

    mTimeIntro = style.GetInt("timeintro", 0);
    mTimeOutro = style.GetInt("timeoutro", 0);
    mDisabledPos = Point(style, "disabledx", "disabledy");
    mEnabledPos = Point(style, "enabledx", "enabledy");
    const TString closeName = style.GetString("closebutton", "");
    TWindow* close = closeName.Length() != 0 ? FindChild(closeName, 0xFFFFFFFF) : nullptr;
    if (close != nullptr && close->IsKindOf(TButton::GetClassId()))
        mCloseButton = close;
    else
        Log("GameplayJournal \"%s\": no close button \"%s\"; \"%s\" still closes it",
            GetName().c_str(), closeName.c_str(), kCloseName);
    mGoalBeginning = style.GetString("goalentrybeginning", "");
    mGoalSep = style.GetString("goalentrysep", "");
    mGoalSepLast = style.GetString("goalentryseplast", "");
    mGoalPreArea = style.GetString("goalentryprearea", "");
    mGoalPostArea = style.GetString("goalentrypostarea", "");
    mGoalColor = style.GetString("goalentrycolor", "");
    const TString image = style.GetString("image", "");
    mScrimMax = static_cast<float>(style.GetNumber("scrimmax", 0));
    if (!std::isfinite(mScrimMax))
        mScrimMax = 0;
    const TString leftImage = style.GetString("leftimage", "");
    const TVec2 leftPos = Point(style, "leftimagex", "leftimagey");
    std::unique_ptr<TLuaTable> textRight = style.GetTableOnly("textright");
    std::unique_ptr<TLuaTable> textRightHeader = style.GetTableOnly("textrightheader");

    mImageSprite->SetTexture(image.Length() != 0 ? TTexture::Get(image, 0) : nullptr);
    mImageSprite->GetSpec().mMatrix.m[2][0] = w / 2;
    mImageSprite->GetSpec().mMatrix.m[2][1] = h / 2;
    mLeftImageSprite->SetTexture(leftImage.Length() != 0 ? TTexture::Get(leftImage, 0) : nullptr);
    TDrawSpec& left = mLeftImageSprite->GetSpec();
    left.mOrigin = TVec2(0, 0);
    left.mFlags |= kDrawOrigin;
    left.mMatrix.m[2][0] = leftPos.x;
    left.mMatrix.m[2][1] = leftPos.y;
    TDrawSpec& page = mPageSprite->GetSpec();
    page.mOrigin = TVec2(w / 2, h / 2);
    page.mFlags |= kDrawOrigin;
    mPageTransform.SetPosition(mDisabledPos.x, mDisabledPos.y, 1.0f);
    ClearFlagBits(kWindowVisible);

    if (textRight == nullptr)
    {
        ReportError("Cannot find 'textright' table for GameplayJournal!", kSource, 104, true);
        return;
    }
    mGoalText = TextObject::Create(*textRight);
    if (textRightHeader == nullptr)
    {
        ReportError("Cannot find 'textrightheader' table for GameplayJournal!", kSource, 110, true);
        return;
    }
    mHeaderText = TextObject::Create(*textRightHeader);
    mHeaderText->SetText(Localised(style.GetString("rightheaderstring", "")));
    ShowCloseButton(false);
    if (std::unique_ptr<TLuaTable> enter = style.GetTableOnly("soundenter"))
        mSoundEnter = SoundEffect::Create(*enter);
    if (std::unique_ptr<TLuaTable> leave = style.GetTableOnly("soundexit"))
        mSoundExit = SoundEffect::Create(*leave);
}

void GameplayJournal::ShowCloseButton(bool shown)
{
    if (mCloseButton == nullptr)
        return;
    if (shown)
        mCloseButton->AddFlagBits(kWindowVisible);
    else
        mCloseButton->ClearFlagBits(kWindowVisible);
}

// --- the goal text ------------------------------------------------------------------------------

TString GameplayJournal::Coloured(const TString& text) const
{
    std::string out = "<font color='";
    out += mGoalColor.c_str();
    out += "'>";
    out += text.c_str();
    out += "</font>";
    return TString(out.c_str());
}

TString GameplayJournal::BuildGoalText(const std::vector<GameplayInventory*>& shown,
                                       const std::vector<GameplayArea*>& areas) const
{
    // One group of display names per area, in the areas' order. Only a step the player can take
    // is told: an object still missing parts is in no hand to be used.
    std::vector<std::vector<TString>> groups(areas.size());
    for (size_t a = 0; a < areas.size(); ++a)
    {
        if (areas[a] == nullptr)
            continue;
        for (GameplayInventory* object : shown)
            if (object != nullptr && object->IsWhole() &&
                areas[a]->HasEventForInventory(object->GetName()))
                groups[a].push_back(Localised(object->GetActualName()));
    }
    // A name that fits two areas is shared out: the first half to the earlier area, the rest to
    // the later one.
    for (size_t a = 0; a < groups.size(); ++a)
        for (size_t b = a + 1; b < groups.size(); ++b)
        {
            std::vector<TString> shared;
            for (auto it = groups[a].begin(); it != groups[a].end();)
            {
                auto found = std::find(groups[b].begin(), groups[b].end(), *it);
                if (found == groups[b].end())
                {
                    ++it;
                    continue;
                }
                shared.push_back(*it);
                groups[b].erase(found);
                it = groups[a].erase(it);
            }
            const size_t half = shared.size() / 2;
            groups[a].insert(groups[a].end(), shared.begin(),
                             shared.begin() + static_cast<std::ptrdiff_t>(half));
            groups[b].insert(groups[b].end(), shared.begin() + static_cast<std::ptrdiff_t>(half),
                             shared.end());
        }

    std::string text;
    for (size_t a = 0; a < groups.size(); ++a)
    {
        const std::vector<TString>& names = groups[a];
        if (names.empty())
            continue;
        text += mGoalBeginning.c_str();
        text += Coloured(names.front()).c_str();
        if (names.size() > 1)
        {
            for (size_t i = 1; i + 1 < names.size(); ++i)
            {
                text += mGoalSep.c_str();
                text += Coloured(names[i]).c_str();
            }
            text += mGoalSepLast.c_str();
            text += Coloured(names.back()).c_str();
        }
        text += mGoalPreArea.c_str();
        text += Coloured(Localised(areas[a]->GetActualName())).c_str();
        text += mGoalPostArea.c_str();
        text += "<br>";
    }
    return TString(text.c_str());
}

// --- opening and closing ------------------------------------------------------------------------

void GameplayJournal::Open(const std::vector<GameplayInventory*>& shown,
                           const std::vector<GameplayArea*>& areas,
                           const std::vector<TString>& entries, Callback* closeCallback,
                           const TString& note)
{
    // A flight still under way must not call back into the new opening.
    if (TransformManager* transforms = TransformManager::Instance())
        transforms->RemoveTransforms(&mPageTransform);
    mState = kWaitingForPage;
    mCloseCallback = closeCallback;
    // The note in italics, set apart from the goals it points to; the goals, then the steps
    // towards them.
    std::string text =
        note.Length() > 0 ? "<i>" + std::string(Localised(note).c_str()) + "</i><br>" : "";
    for (const TString& entry : entries)
    {
        text += Localised(entry).c_str();
        text += "<br>";
    }
    text += BuildGoalText(shown, areas).c_str();
    if (mGoalText != nullptr)
        mGoalText->SetText(TString(text.c_str()));
    mPageSprite->SetTexture(nullptr);
    mPageComposed = false;
    if (!CreateTextures())
        if (WindowManager* frames = WindowManager::Instance())
            frames->SetTexturesPending();
}

void GameplayJournal::Close()
{
    if (mState == kClosed)
        return;
    Fly(1.0f, 0.0f, 1.0f, kTiny, mDisabledPos, mEnabledPos, mTimeOutro, &GameplayJournal::OnClosed);
    ShowCloseButton(false);
    Arm(mSoundExit);
}

void GameplayJournal::Fly(float fromAlpha, float toAlpha, float fromScale, float toScale,
                          const TVec2& from, const TVec2& to, int32_t time,
                          void (*handler)(void*, TM_Transform*, uint32_t))
{
    mState = kFlying;
    TransformManager* transforms = TransformManager::Instance();
    if (transforms == nullptr)
        return;
    transforms->RemoveTransforms(&mPageTransform);
    const auto duration = static_cast<uint32_t>(std::max(time, 0));
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Alpha(duration, toAlpha, fromAlpha, 0, kSmoothing));
    list->push_back(new TM_Scale(duration, toScale, fromScale, 0, kSmoothing));
    list->push_back(new TM_Move(duration, true, to, from, 0, kSmoothing));
    transforms->AddTransform(&mPageTransform, list, new Callback(this, handler));
}

void GameplayJournal::OnOpened(void* object, TM_Transform*, uint32_t)
{
    auto* journal = static_cast<GameplayJournal*>(object);
    journal->mState = kOpen;
    journal->ShowCloseButton(true);
}

void GameplayJournal::OnClosed(void* object, TM_Transform*, uint32_t)
{
    auto* journal = static_cast<GameplayJournal*>(object);
    journal->mState = kClosed;
    Callback* callback = journal->mCloseCallback;
    journal->mCloseCallback = nullptr;
    journal->ClearFlagBits(kWindowVisible);
    if (callback != nullptr)
        callback->Call(nullptr, 0);
}

bool GameplayJournal::Update()
{
    DeltaTime* clock = DeltaTime::Instance();
    const uint32_t step = clock != nullptr ? clock->GetStep() : 0;
    if (mSoundEnter != nullptr)
        mSoundEnter->Update(step);
    if (mSoundExit != nullptr)
        mSoundExit->Update(step);
    if (mState != kWaitingForPage)
        return false;
    // No screen refresh reaches the journal: a page that could not be composed is tried again.
    if (!mPageComposed && !CreateTextures())
        return false;
    Fly(0.0f, 1.0f, kTiny, 1.0f, mEnabledPos, mDisabledPos, mTimeIntro, &GameplayJournal::OnOpened);
    AddFlagBits(kWindowVisible);
    Arm(mSoundEnter);
    return false;
}

// --- composition and drawing --------------------------------------------------------------------

void GameplayJournal::DrawScrim(uint32_t alpha)
{
    for (Vertex& corner : mScrim)
        corner.mColour = alpha << 24;
    TRenderer* renderer = TRenderer::Instance();
    renderer->SetTexture(nullptr);
    TVertexSet* set = TVertexSet::CreateColored(mScrim, 4);
    renderer->DrawIndexedVertices(kTriangleList, *set, mScrimIndices, 6);
    TVertexSet::Release(set);
}

void GameplayJournal::DrawContents()
{
    mImageSprite->Draw(TDrawSpec(), -1);
    mLeftImageSprite->Draw(TDrawSpec(), -1);
    if (mGoalText != nullptr)
        mGoalText->Draw(TDrawSpec());
    if (mHeaderText != nullptr)
        mHeaderText->Draw(TDrawSpec());
}

bool GameplayJournal::RenderPass(int32_t kind, int line)
{
    TRenderer* renderer = TRenderer::Instance();
    if (!renderer->BeginRenderTarget(mPageSprite->GetTexture(), kind))
    {
        ReportError("BeginRenderTarget", kSource, line, false);
        return false;
    }
    if (renderer->Begin2d())
    {
        if (kind == 1)
            DrawScrim(255);
        DrawContents();
        renderer->End2d();
    }
    // The button flies with the page: drawn where it sits in the journal.
    if (mCloseButton != nullptr)
    {
        TPoint origin{0, 0};
        mCloseButton->ClientToScreen(origin);
        TPoint journal{0, 0};
        ClientToScreen(journal);
        const TRect rect(origin.x - journal.x, origin.y - journal.y,
                         origin.x - journal.x + mCloseButton->GetWidth(),
                         origin.y - journal.y + mCloseButton->GetHeight());
        renderer->PushViewport(rect);
        renderer->PushClipRect(rect);
        mCloseButton->Draw();
        renderer->PopClipRect();
        renderer->PopViewport();
    }
    renderer->EndDraw();
    return true;
}

bool GameplayJournal::CreateTextures()
{
    if (mState != kWaitingForPage || (mPageSprite->GetTexture() != nullptr && mPageComposed))
        return true;
    TRenderer* renderer = TRenderer::Instance();
    if (renderer == nullptr)
        return false;
    if (mPageSprite->GetTexture() == nullptr)
        mPageSprite->SetTexture(TTexture::Create(static_cast<uint32_t>(std::max(GetWidth(), 0)),
                                                 static_cast<uint32_t>(std::max(GetHeight(), 0)),
                                                 true));
    if (mPageSprite->GetTexture() == nullptr)
    {
        ReportError("Failed creating texture for GameplayJournal::CreateTextures()!", kSource, 352,
                    false);
        return false;
    }
    if (!RenderPass(1, 362) || !RenderPass(4, 372))
        return false;
    // The time spent composing is not a frame step.
    if (DeltaTime* clock = DeltaTime::Instance())
    {
        clock->SkipNext();
        clock->SetStep(0);
        if (WindowManager* frames = WindowManager::Instance())
            clock->SetFrameTime(frames->GetTime());
    }
    mPageReady = true;
    mPageComposed = true;
    return true;
}

uint32_t GameplayJournal::GetScrimAlpha()
{
    // Held at 255: a "scrimmax" above 1 would otherwise wrap the byte round to clear.
    const double alpha = std::trunc(static_cast<double>(mPageTransform.GetAlpha()) *
                                    static_cast<double>(mScrimMax) * 255.0);
    return static_cast<uint32_t>(std::clamp(std::isfinite(alpha) ? alpha : 0.0, 0.0, 255.0));
}

void GameplayJournal::Draw()
{
    TRenderer* renderer = TRenderer::Instance();
    if (renderer == nullptr)
        return;
    const bool entered = !renderer->InBegin2d() && renderer->Begin2d();
    TWindow::Draw();
    if (mState != kClosed)
        DrawScrim(GetScrimAlpha());
    if (mState == kOpen)
        DrawContents();
    else if (mState == kFlying)
        mPageSprite->Draw(TDrawSpec(), -1);
    if (entered)
        renderer->End2d();
}
