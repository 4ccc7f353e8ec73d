// The splash screen: volume groups, branding, preloading one asset per frame, the flying-pixel
// studio logo on a locked canvas texture, the fade to black and the swap to the main menu.
#include "framework/screens/splash_screen.h"

#include "framework/sound/audio_manager.h"
#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/transforms/transform_manager.h"
#include "platform/files/file_layer.h"
#include "render/renderer/renderer.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "render/renderer/vertex_set.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"
#include "script/window_script_seam.h"
#include "ui/modal_window.h"
#include "ui/text_window.h"
#include "ui/window_manager.h"
#include "ui/window_style.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>

namespace
{
constexpr uint32_t kTriangleList = 4;
constexpr float kFadeSmoothing = -0.5f;
const char kSource[] = "splashscreen";
constexpr int32_t kMusicParent = 1001;
constexpr int32_t kSfxParent = 1000;
constexpr uint32_t kNoticeFadeMs = 250;
constexpr float kCentreX = 400;
constexpr float kCentreY = 300;
// The anchor code of the image centre.
constexpr uint32_t kCentreAnchor = 5;
const uint16_t kQuadIndices[6] = {0, 1, 2, 0, 2, 3};

// The runtime generator cut to the 0..32767 the jitter and head start were made for; glibc's
// reaches 2^31 - 1.
uint32_t Random15()
{
    return static_cast<uint32_t>(std::rand()) & 0x7FFFu;
}

uint32_t AlphaByte(float alpha)
{
    if (!(alpha > 0))
        return 0;
    if (alpha >= 1)
        return 255;
    return static_cast<uint32_t>(std::lround(alpha * 255.0f));
}

// A style's milliseconds as the screen's unsigned fields hold them; negative reads as 0.
uint32_t ReadMs(TWindowStyle& style, const char* key)
{
    int32_t value = style.GetInt(key, 0);
    return value > 0 ? static_cast<uint32_t>(value) : 0;
}

// The size of a list table, read again on every call as the loop over it does.
int ListLength(const TLuaTable& table)
{
    lua_State* L = table.GetState();
    table.Push();
    int n = lua_getn(L, -1);
    lua_pop(L, 1);
    return n;
}

// Centres an image of the transform's size on the screen.
void Centre(TM_Transform2D& transform, uint32_t width, uint32_t height)
{
    transform.mWidth = width;
    transform.mHeight = height;
    transform.GetSpec()->mFlags |= kDrawOrigin;
    SetDrawSpecAlignment(&transform, kCentreAnchor, width, height);
    transform.SetX(kCentreX);
    transform.SetY(kCentreY);
}
} // namespace

SplashScreen::SplashScreen()
    : mRenderer(TRenderer::Existing()), mBrandingSprite(TSprite::Create(0)),
      mScreen1Sprite(TSprite::Create(0)), mScreen2Sprite(TSprite::Create(0)),
      mBrandingTransform(&mBrandingSprite->GetSpec()),
      mScreen2Transform(&mScreen2Sprite->GetSpec()), mOverlayTransform(&mOverlaySpec),
      mNoticeTransform(&mNoticeSpec)
{
    mOverlaySpec.mAlpha = 0;
    const float corners[4][2] = {
        {0, 0}, {kCanvasWidth, 0}, {kCanvasWidth, kCanvasHeight}, {0, kCanvasHeight}};
    for (int i = 0; i < 4; ++i)
        mBlackQuad[i] = CoverVertex{corners[i][0], corners[i][1], 0, 0.5f, 0xFF000000u, 0, 0, 0};
    mCanvasSprite = TSprite::Create(0, TTexture::Create(kCanvasWidth, kCanvasHeight, true));
    AddFlagBits(kWindowFocusable);
    if (TWindowManager* manager = GetWindowManager())
        manager->SetFocus(this);
}

SplashScreen::~SplashScreen()
{
    if (mSoundLogo != 0)
        if (AudioManager* audio = AudioManager::Instance())
            audio->Stop(mSoundLogo, false);
    if (TransformManager* transforms = TransformManager::Instance())
    {
        transforms->RemoveTransforms(&mBrandingTransform);
        transforms->RemoveTransforms(&mScreen2Transform);
        transforms->RemoveTransforms(&mOverlayTransform);
        transforms->RemoveTransforms(&mNoticeTransform);
        if (mCanvasTransform)
            transforms->RemoveTransforms(mCanvasTransform.get());
    }
    // The toolkit forgets a deleted focus window itself; nothing else holds this screen.
}

TWindow* SplashScreen::Create()
{
    return new SplashScreen();
}

TClassId SplashScreen::GetClassId()
{
    return reinterpret_cast<TClassId>(&SplashScreen::Create);
}

bool SplashScreen::AddGroups(const TLuaTable& groups, const char* key, int32_t parent)
{
    std::unique_ptr<TLuaTable> list(groups.GetTable(key));
    if (!list)
        return false;
    AudioManager* audio = AudioManager::Instance();
    for (int i = 1; i <= ListLength(*list); i += 2)
    {
        double id = std::trunc(list->GetNumberAt(i, 0));
        if (!(id >= -2147483648.0 && id <= 2147483647.0))
            id = 0;
        float volume = static_cast<float>(list->GetNumberAt(i + 1, 0));
        if (audio != nullptr)
            audio->AddGroup(static_cast<int32_t>(id), parent, volume);
    }
    return true;
}

void SplashScreen::PostInit(TWindowStyle& style)
{
    std::unique_ptr<TLuaTable> groups(style.GetTable("soundgroups"));
    if (!groups)
    {
        ReportError("soundgroups", kSource, 91, true);
        return;
    }
    if (!AddGroups(*groups, "music", kMusicParent))
    {
        ReportError("musicgroups", kSource, 96, true);
        return;
    }
    if (!AddGroups(*groups, "sfx", kSfxParent))
    {
        ReportError("sfxgroups", kSource, 108, true);
        return;
    }

    mPublisherDuration = ReadMs(style, "publisherduration");
    mPublisherOutro = ReadMs(style, "publisheroutro");
    mTovrixIntro = ReadMs(style, "tovrixintro");
    mTovrixDuration = ReadMs(style, "tovrixduration");
    mTovrixOutro = ReadMs(style, "tovrixoutro");

    TString screen1 = style.GetString("screen1", "");
    if (screen1.Length() != 0)
        mScreen1Sprite->SetTexture(TTexture::Get(screen1, 0));
    TString screen2 = style.GetString("screen2", "");
    if (screen2.Length() != 0)
        mScreen2Sprite->SetTexture(TTexture::Get(screen2, 0));
    if (std::shared_ptr<TTexture> texture = mScreen2Sprite->GetTexture())
        Centre(mScreen2Transform, texture->GetWidth(), texture->GetHeight());
    else
        Centre(mScreen2Transform, 0, 0);
    mScreen2Transform.SetAlpha(0);

    mOverlayTransform.SetAlpha(0);

    TString soundLogo = style.GetString("soundlogo", "");
    if (soundLogo.Length() != 0)
        if (AudioManager* audio = AudioManager::Instance())
            mSoundLogo = audio->Play(soundLogo, false);

    TString branding;
    if (NextFileInFolder("screenbranding", branding, false) &&
        std::strstr(branding.c_str(), ".db") == nullptr)
    {
        if (std::shared_ptr<TTexture> texture = TTexture::Get(branding, 0))
        {
            const uint32_t width = texture->GetWidth();
            const uint32_t height = texture->GetHeight();
            if (height > kCanvasHeight || width > kCanvasWidth)
                mBrandingSprite->GetSpec().mMatrix.Scale(
                    std::min(static_cast<float>(kCanvasHeight) / static_cast<float>(height),
                             static_cast<float>(kCanvasWidth) / static_cast<float>(width)));
            mBrandingSprite->SetTexture(texture);
            Centre(mBrandingTransform, width, height);
        }
    }
    else
    {
        StartStudio();
    }

    TWindow* notice = FindChild("copyright", 0xFFFFFFFFu);
    if (notice != nullptr && notice->IsKindOf(TText::GetClassId()))
    {
        mNoticeText = static_cast<TText*>(notice);
        mNoticeText->SetAlpha(0);
    }

    ReadPreloadLists(style);

    if (TModalWindow* modal = FindModalParent())
        modal->SetFocusWindow(this);
    GameWindow::PostInit(style);
}

void SplashScreen::ReadPreloadLists(TWindowStyle& style)
{
    std::unique_ptr<TLuaTable> assets(style.GetTable("assets"));
    if (!assets)
    {
        mLoading = false;
        return;
    }
    // Both lists belong to the table; a missing one is an empty one here.
    for (const char* key : {"graphics", "audio"})
    {
        std::unique_ptr<TLuaTable> list(assets->GetTable(key));
        if (!list)
            continue;
        std::vector<TString>& names = key[0] == 'g' ? mGraphicsToLoad : mAudioToLoad;
        TLuaObjectWrapper* cursor = nullptr;
        while (TLuaTable* value = list->Next(&cursor))
        {
            names.push_back(value->ToString());
            delete value;
        }
    }
}

void SplashScreen::PreloadOne()
{
    if (!mGraphicsToLoad.empty())
    {
        TString name = mGraphicsToLoad.back();
        mGraphicsToLoad.pop_back();
        if (Settings* settings = Settings::Instance())
            settings->LoadAsset(name, false);
    }
    else if (!mAudioToLoad.empty())
    {
        TString name = mAudioToLoad.back();
        mAudioToLoad.pop_back();
        if (Settings* settings = Settings::Instance())
            settings->LoadAsset(name, true);
    }
    else
    {
        mLoading = false;
    }
}

bool SplashScreen::Animate()
{
    if (mState != kIdle)
        return true;
    if (mLoading)
        PreloadOne();
    if (DeltaTime* clock = DeltaTime::Instance())
        mElapsed += clock->GetStep();
    switch (mPhase)
    {
    case kPublisher:
        if (mElapsed >= mPublisherDuration)
            StartPublisherOutro();
        break;
    case kPublisherOutro:
        if (mElapsed >= mPublisherOutro)
            StartStudio();
        break;
    case kStudioSetUp:
        if (mSoundLogo != 0)
            if (AudioManager* audio = AudioManager::Instance())
                audio->PlayIndex(mSoundLogo, nullptr);
        mPhase = kStudioIntro;
        [[fallthrough]];
    case kStudioIntro:
        if (mElapsed > mTovrixIntro)
            StartHold();
        else
            CanvasFrame(true, 502);
        break;
    case kStudioHold:
        if (mElapsed > mTovrixDuration)
            StartOutro();
        else
            CanvasFrame(false, 553);
        break;
    case kOutro:
        if (mElapsed >= mTovrixOutro && !mLoading && !mSwapped)
        {
            mSwapped = true;
            // The statement takes this screen out of its modal window; the toolkit deletes it
            // only after the frame driver's walk, which steps over it from then on. Nothing of
            // this screen is touched after the statement.
            if (TScript* script = GetWindowScript())
                script->DoLuaString(kSwapStatement);
            return true;
        }
        break;
    default:
        break;
    }
    return GameWindow::Animate();
}

void SplashScreen::FadeAlpha(TM_Transform* target, float to, uint32_t ms)
{
    TransformManager* transforms = TransformManager::Instance();
    if (transforms == nullptr)
    {
        target->SetAlpha(to);
        return;
    }
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Alpha(ms, to, kFromCurrent, 0, kFadeSmoothing));
    transforms->AddTransform(target, list, nullptr, nullptr);
}

void SplashScreen::StartPublisherOutro()
{
    mElapsed = 0;
    FadeAlpha(&mBrandingTransform, 0.0f, mPublisherOutro);
    mPhase = kPublisherOutro;
}

void SplashScreen::StartStudio()
{
    mElapsed = 0;
    mPhase = kStudioSetUp;
    std::shared_ptr<TTexture> logo = mScreen1Sprite->GetTexture();
    if (logo)
    {
        uint32_t* texels = nullptr;
        int pitch = 0;
        if (!logo->Lock(texels, pitch))
        {
            ReportError("Failed to lock texture", kSource, 384, false);
            return;
        }
        const int32_t w = static_cast<int32_t>(logo->GetWidth());
        const int32_t h = static_cast<int32_t>(logo->GetHeight());
        size_t count = 0;
        for (int32_t r = 0; r < h; ++r)
            for (int32_t c = 0; c < w; ++c)
                if ((texels[static_cast<size_t>(r) * pitch + c] & alphaMask) != 0)
                    ++count;
        mPixels.clear();
        mPixels.reserve(count);
        // Under 5 rows the jitter range is empty: no jitter then.
        const int32_t jitter = h / 5;
        for (int32_t r = 0; r < h; ++r)
            for (int32_t c = 0; c < w; ++c)
            {
                const uint32_t colour = texels[static_cast<size_t>(r) * pitch + c];
                if ((colour & alphaMask) == 0)
                    continue;
                int32_t v =
                    r + h / 10 - (jitter > 0 ? static_cast<int32_t>(Random15() % jitter) : 0);
                v = std::clamp(v, 0, h - 1);
                PixelRecord record;
                record.mColour = colour;
                record.mStart = (static_cast<float>(v) / static_cast<float>(h)) *
                                (static_cast<float>(Random15()) / 32768.0f / 3.0f + 0.25f);
                record.mX0 = static_cast<float>(c) - static_cast<float>(w) * 0.5f;
                record.mSpin = (record.mStart + 6.0f) * std::numbers::pi_v<float>;
                record.mY0 = static_cast<float>(r) - std::trunc(static_cast<float>(h) * 0.5f);
                mPixels.push_back(record);
            }
        logo->Unlock();
    }
    std::shared_ptr<TTexture> canvas = mCanvasSprite->GetTexture();
    if (canvas)
        canvas->Clear();
    mCanvasTransform = std::make_unique<TM_Transform2D>(&mCanvasSprite->GetSpec());
    Centre(*mCanvasTransform, kCanvasWidth, kCanvasHeight);
    mCanvasTransform->SetAlpha(0.2f);
    FadeAlpha(mCanvasTransform.get(), 1.0f, mTovrixIntro + mTovrixDuration);
    if (mNoticeText != nullptr)
    {
        mNoticeTransform.SetAlpha(0.0f);
        FadeAlpha(&mNoticeTransform, 1.0f, kNoticeFadeMs);
    }
}

void SplashScreen::StartHold()
{
    mElapsed = 0;
    FadeAlpha(&mScreen2Transform, 1.0f, mTovrixDuration);
    mPhase = kStudioHold;
}

void SplashScreen::StartOutro()
{
    mElapsed = 0;
    FadeAlpha(&mOverlayTransform, 1.0f, mTovrixOutro);
    mPhase = kOutro;
    if (mSoundLogo != 0)
        if (AudioManager* audio = AudioManager::Instance())
            audio->FadeOut(mSoundLogo, mTovrixOutro);
}

void SplashScreen::FadeTrail(uint32_t* pixels, int32_t pitch)
{
    // Locals: the texel stores could alias the global mask and stop the loop being vectorised.
    const uint32_t step = 4u << alphaShift;
    const uint32_t mask = alphaMask;
    for (int32_t row = 0; row < kCanvasHeight; ++row)
    {
        uint32_t* line = pixels + static_cast<size_t>(row) * pitch;
        for (int32_t col = 0; col < kCanvasWidth; ++col)
        {
            const uint32_t p = line[col];
            line[col] = (p & mask) >= step ? p - step : p;
        }
    }
}

void SplashScreen::DrawIntro(const std::vector<PixelRecord>& records, float t, uint32_t* pixels,
                             int32_t pitch)
{
    for (auto it = records.rbegin(); it != records.rend(); ++it)
    {
        const float p = std::min(it->mStart + t, 1.0f);
        const float theta = it->mSpin * p;
        const float radius = 400.0f * (1.0f - p);
        const float depth = 600.0f + radius * std::sin(theta);
        const float y = 300.0f + 600.0f * ((it->mY0 + 300.0f) * p - 300.0f) / depth;
        const float x = 400.0f + it->mX0 * p + 600.0f * radius * std::cos(theta) / depth;
        // Outside the int range is off the canvas anyway.
        if (!(y >= 0.0f && y < kCanvasHeight && x >= 0.0f && x < kCanvasWidth))
            continue;
        const auto row = static_cast<int32_t>(y);
        const auto col = static_cast<int32_t>(x);
        pixels[static_cast<size_t>(row) * pitch + col] = it->mColour;
    }
}

void SplashScreen::CanvasFrame(bool intro, int line)
{
    std::shared_ptr<TTexture> canvas = mCanvasSprite->GetTexture();
    uint32_t* pixels = nullptr;
    int pitch = 0;
    if (!canvas || !canvas->Lock(pixels, pitch))
    {
        ReportError("Failed to lock texture", kSource, line, false);
        return;
    }
    FadeTrail(pixels, pitch);
    if (intro)
    {
        // Without an intro time the logo is in place at once.
        const float t = mTovrixIntro == 0
                            ? 1.0f
                            : static_cast<float>(mElapsed) / static_cast<float>(mTovrixIntro);
        DrawIntro(mPixels, t, pixels, pitch);
    }
    else
    {
        for (const PixelRecord& record : mPixels)
        {
            const float y = record.mY0 + 300.0f;
            const float x = record.mX0 + 400.0f;
            if (!(y >= 0.0f && y < kCanvasHeight && x >= 0.0f && x < kCanvasWidth))
                continue;
            pixels[static_cast<size_t>(static_cast<int32_t>(y)) * pitch + static_cast<int32_t>(x)] =
                record.mColour;
        }
    }
    canvas->Unlock();
}

void SplashScreen::DrawBlackQuad(uint32_t alpha)
{
    for (CoverVertex& vertex : mBlackQuad)
        vertex.diffuse = alpha << 24;
    mRenderer->SetTexture(nullptr);
    TVertexSet* set = TVertexSet::CreateColored(mBlackQuad, 4);
    mRenderer->DrawIndexedVertices(kTriangleList, *set, kQuadIndices, 6);
    TVertexSet::Release(set);
}

void SplashScreen::Draw()
{
    GameWindow::Draw();
    if (mRenderer == nullptr)
        mRenderer = TRenderer::Existing();
    if (mRenderer == nullptr)
        return;
    const bool entered = !mRenderer->InBegin2d() && mRenderer->Begin2d();
    if (!mRenderer->InBegin2d())
        return;
    DrawBlackQuad(255);
    const TDrawSpec neutral;
    switch (mPhase)
    {
    case kPublisher:
    case kPublisherOutro:
        mBrandingSprite->Draw(neutral);
        break;
    case kStudioIntro:
        if (mNoticeText != nullptr)
            mNoticeText->SetAlpha(mNoticeTransform.GetAlpha());
        mCanvasSprite->Draw(neutral);
        break;
    case kStudioHold:
    case kOutro:
        mScreen2Sprite->Draw(neutral);
        mCanvasSprite->Draw(neutral);
        break;
    default:
        break;
    }
    if (entered)
        mRenderer->End2d();
}

void SplashScreen::PostDraw()
{
    if (mPhase == kOutro && mOverlayTransform.GetAlpha() > 0 && mRenderer != nullptr)
    {
        const bool entered = !mRenderer->InBegin2d() && mRenderer->Begin2d();
        if (mRenderer->InBegin2d())
            DrawBlackQuad(AlphaByte(mOverlayTransform.GetAlpha()));
        if (entered)
            mRenderer->End2d();
    }
    GameWindow::PostDraw();
}

bool SplashScreen::OnMouseDown(TPoint)
{
    if (mPhase == kPublisher)
        StartPublisherOutro();
    else if (mPhase == kStudioIntro || mPhase == kStudioHold)
        StartOutro();
    return true;
}

bool SplashScreen::OnKeyDown(char, int32_t)
{
    return OnMouseDown(TPoint{0, 0});
}
