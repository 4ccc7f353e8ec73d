// The movie host: opening a film through the file layer, the flags and cursor settings around its
// playback, the playback task that decodes, converts and draws the due frame, the captions, and
// the teardown that gives the window back to the game.
#include "services/movie/movie_host.h"

#include "platform/config/config.h"
#include "platform/files/file.h"
#include "platform/log.h"
#include "platform/seams/display_seam.h"
#include "platform/shell/application.h"
#include "platform/strings/string_table.h"
#include "render/display/platform.h"
#include "render/renderer/renderer.h"
#include "render/text/text_layout.h"
#include "render/textures/texture.h"
#include "services/movie/movie_decoder.h"
#include "services/movie/movie_picture.h"
#include "sound/sound.h"
#include "sys/window/window.h"
#include "ui/modal_window.h"
#include "ui/window_manager.h"

#include <algorithm>
#include <cstdlib>

namespace
{

// A film is read whole; one larger than this is refused before anything is allocated for it.
constexpr int kMaxFilmBytes = 512 * 1024 * 1024;

bool IsDxBroken()
{
    return std::atoi(GetConfig("dxbroken", "0").c_str()) != 0;
}

TApplicationImpl* Impl()
{
    TApplication* application = TApplication::Get();
    return application != nullptr ? application->GetImpl() : nullptr;
}

// A film that is there but cannot be opened (no file descriptor left, no regular file) or is too
// large is no missing film: `reason` says why, and stays empty when there is none of that name.
bool ReadWhole(const TString& name, std::string& bytes, TString& reason)
{
    TFile file;
    if (!file.Open(name, kFileReadBinary))
    {
        if (FileExists(name))
            reason = TString("cannot be read (") + file.GetError() + ")";
        return false;
    }
    const int length = file.Length();
    if (length < 0 || length > kMaxFilmBytes)
    {
        reason = TString::Format("is larger than the %d bytes a film may hold", kMaxFilmBytes);
        return false;
    }
    bytes.resize(static_cast<size_t>(length));
    const int got = length > 0 ? file.Read(bytes.data(), length) : 0;
    bytes.resize(static_cast<size_t>(std::max(got, 0)));
    return true;
}

// The game's picture: the root window's rectangle, else the display's viewport.
TRect PictureArea()
{
    int left = 0, top = 0, right = 0, bottom = 0;
    if (TWindowManager* manager = GetWindowManager())
        manager->GetRootRect(left, top, right, bottom);
    if (right <= left || bottom <= top)
    {
        int width = 0, height = 0;
        GetDisplay().GetViewport(width, height);
        return TRect(0, 0, width, height);
    }
    return TRect(left, top, right, bottom);
}

} // namespace

// Runs the host's step each idle pass; the host deletes it, or the list does at teardown (it then
// tells the host, which must not delete it again).
class TMoviePlaybackTask : public TTask
{
public:
    explicit TMoviePlaybackTask(TMovieHost* host) : mHost(host) {}
    ~TMoviePlaybackTask() override
    {
        if (mHost != nullptr)
            mHost->mTask = nullptr;
    }
    bool Run() override
    {
        mHost->Tick();
        return true;
    }

    TMovieHost* mHost;
};

TMovieHost::TMovieHost()
{
    if (TApplicationImpl* impl = Impl())
        mCursorWasShown = impl->mCursor.mMouseShown;
}

TMovieHost::~TMovieHost()
{
    Stop();
}

std::unique_ptr<TMoviePlayer> TMovieHost::Create()
{
    return std::make_unique<TMovieHost>();
}

bool TMovieHost::OpenFilm(const TString& file, TString& found, std::string& bytes, TString& reason)
{
    // The file layer first (packs and the asset folder), then the name as a path of its own.
    for (const TString& name : {file, TString("::") + file})
        if (ReadWhole(name, bytes, reason))
        {
            found = name;
            return true;
        }
    return false;
}

bool TMovieHost::Play(const TString& file, bool translate, bool allowInput)
{
    Stop();
    if (allowInput)
        sys::ReleaseCapture();
    if (IsDxBroken())
        return false;
    TApplication* application = TApplication::Get();
    mPreviousCursor = sys::GetSystemCursor();
    if (application != nullptr)
        application->ShowSystemCursor(false);
    if (allowInput)
    {
        sys::SetSystemCursor(sys::LoadArrowCursor());
        mArrowSet = true;
    }
    TApplicationImpl* impl = Impl();
    mSizeRecorded = impl != nullptr && impl->mMainWindow != 0 &&
                    sys::GetClientSize(impl->mMainWindow, mWidth, mHeight);

    TString found, reason;
    std::string bytes;
    auto decoder = std::make_unique<TMovieDecoder>();
    if (!OpenFilm(file, found, bytes, reason))
        reason = reason.Length() > 0 ? reason : TString("not found");
    else if (!decoder->Open(std::move(bytes), reason))
        reason = TString("not played: ") + reason;
    if (reason.Length() > 0)
    {
        Log("TMovieHost::Play: %s %s", file.c_str(), reason.c_str());
        RestoreCursor();
        return false;
    }
    mDecoder = std::move(decoder);
    mCaptions.clear();
    if (translate)
        ReadCaptions();
    const th_info& info = mDecoder->GetInfo();
    // With an alpha channel: its surface is the A8R8G8B8 the conversion writes, so a frame is
    // written in place (the pictures are opaque all the same).
    mTexture = TTexture::Create(info.pic_width, info.pic_height, true);

    mAllowInput = allowInput;
    TWindowManager* manager = GetWindowManager();
    if (manager != nullptr)
    {
        manager->SetDrawingSuspended(true);
        if (allowInput)
        {
            manager->SetFilterExempt(true);
            manager->SetRightButtonSwallowed(true);
        }
    }
    if (mDecoder->HasSound())
    {
        mSound = TSound::Get(found, false, kSoundGroup);
        if (mSound != nullptr)
            mSoundInstance = mSound->Play(false);
    }
    mStartTime = GetTimer();
    mNeedsDraw = true;
    mPlaying = true;
    if (application != nullptr)
    {
        mTask = new TMoviePlaybackTask(this);
        application->AddTask(mTask);
    }
    if (IsDxBroken())
    {
        Stop();
        return false;
    }
    return true;
}

void TMovieHost::ReadCaptions()
{
    TString names;
    TApplication* application = TApplication::Get();
    TStringTable* table = application != nullptr ? application->GetStringTable() : nullptr;
    if (table == nullptr || !mDecoder->GetComment("TEXTVARNAMES", names))
        return;
    // Names are ended by ";": a last one without it is not used.
    const std::string text = names.c_str();
    size_t start = 0;
    for (size_t end = text.find(';'); end != std::string::npos; end = text.find(';', start))
    {
        const TString name(text.substr(start, end - start).c_str());
        start = end + 1;
        const TString own = TString(kFlashPrefix) + name;
        // Looked up only when the label exists, so a missing one is not logged.
        TString line;
        if (name.Length() > 0 && table->HasLabel(own))
            line = table->GetString(own);
        else if (name.Length() > 0 && table->HasLabel(name))
            line = table->GetString(name);
        if (line.Length() > 0)
            mCaptions.push_back(line);
    }
    if (mCaptions.empty())
        return;
    TString joined;
    for (size_t i = 0; i < mCaptions.size(); ++i)
        joined += (i > 0 ? TString("\n") : TString()) + mCaptions[i];
    const auto width = static_cast<int32_t>(mDecoder->GetInfo().pic_width);
    const auto height = static_cast<int32_t>(mDecoder->GetInfo().pic_height);
    mCaptionText = {TTextLayout::Create(joined, width, height, TString(), kTextAlignCenter,
                                        kCaptionSize, TVec4(1, 1, 1, 1)),
                    &TTextLayout::Delete};
    mCaptionShadow = {TTextLayout::Create(joined, width, height, TString(), kTextAlignCenter,
                                          kCaptionSize, TVec4(0, 0, 0, 1)),
                      &TTextLayout::Delete};
}

uint32_t TMovieHost::Elapsed() const
{
    return GetTimer() - mStartTime;
}

void TMovieHost::Advance()
{
    if (!mPlaying || mDecoder == nullptr)
        return;
    const th_info& info = mDecoder->GetInfo();
    const int64_t due = static_cast<int64_t>(Elapsed()) * info.fps_numerator /
                        (int64_t{1000} * info.fps_denominator);
    if (!mDecoder->DecodeTo(due))
        return;
    th_ycbcr_buffer planes;
    uint32_t* pixels = nullptr;
    int pitch = 0;
    if (mTexture == nullptr || !mDecoder->GetPicture(planes) || !mTexture->Lock(pixels, pitch))
        return;
    TMoviePictureRegion region;
    region.mFormat = info.pixel_fmt;
    region.mX = info.pic_x;
    region.mY = info.pic_y;
    region.mWidth = info.pic_width;
    region.mHeight = info.pic_height;
    ConvertMoviePicture(planes, region, pixels, static_cast<size_t>(pitch));
    mTexture->Unlock();
    mNeedsDraw = true;
}

void TMovieHost::Tick()
{
    Advance();
    if (mPlaying && mNeedsDraw)
        Draw();
}

void TMovieHost::Draw()
{
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr || renderer->InDrawBlock() || !renderer->BeginDraw(false))
        return;
    mNeedsDraw = false;
    const TRect area = PictureArea();
    renderer->FillRect(area, TVec4(0, 0, 0, 1));
    if (mTexture != nullptr && renderer->Begin2d())
    {
        const float pictureW = static_cast<float>(mTexture->GetWidth());
        const float pictureH = static_cast<float>(mTexture->GetHeight());
        const float areaW = static_cast<float>(area.Width());
        const float areaH = static_cast<float>(area.Height());
        const float scale = std::min(areaW / pictureW, areaH / pictureH);
        const float left = static_cast<float>(area.left) + (areaW - pictureW * scale) / 2;
        const float top = static_cast<float>(area.top) + (areaH - pictureH * scale) / 2;
        renderer->SetTextureFilter(1);
        mTexture->DrawAt(left + pictureW * scale / 2, top + pictureH * scale / 2, 1.0f, scale, 0,
                         0);
        if (mCaptionText != nullptr)
        {
            const float y = top + pictureH * scale * kCaptionTop;
            const float shadow = std::max(1.0f, 2.0f * scale);
            mCaptionShadow->Draw(TVec2(left + shadow, y + shadow), pictureH * scale, scale, 1.0f,
                                 1.0f);
            mCaptionText->Draw(TVec2(left, y), pictureH * scale, scale, 1.0f, 1.0f);
        }
        renderer->End2d();
    }
    renderer->SetPresentWhileSuspended(true);
    renderer->EndFrame(true);
    renderer->SetPresentWhileSuspended(false);
}

bool TMovieHost::IsSoundPlaying() const
{
    if (mSoundInstance == nullptr)
        return false;
    TSoundLock lock;
    return mSoundInstance->GetStream() != nullptr;
}

bool TMovieHost::IsPlaying()
{
    if (!mPlaying)
        return false;
    RestoreWindowSize();
    Advance();
    // The film's end is its last frame's end, known once the file holds no further frame; a
    // stream without an end mark ends with the file.
    const bool picturesDone =
        mDecoder->IsExhausted() && Elapsed() >= mDecoder->FrameTime(mDecoder->GetFrame() + 1);
    // The sound's end by the film's clock too: the output may lag it (or, in a fixed-step run,
    // play at a pace of its own), and the film must end at the same frame on every run.
    const bool soundDone = !IsSoundPlaying() || Elapsed() >= mDecoder->GetSoundEnd();
    return !picturesDone || !soundDone;
}

void TMovieHost::RestoreWindowSize()
{
    TApplicationImpl* impl = Impl();
    if (!mSizeRecorded || impl == nullptr || impl->mMainWindow == 0 ||
        !GetDisplay().IsFullScreen() || impl->mHost.mHosted)
        return;
    int width = 0, height = 0;
    if (!sys::GetClientSize(impl->mMainWindow, width, height) ||
        (width >= mWidth && height >= mHeight))
        return;
    Log("TMovieHost::IsPlaying: Resizing platform hwnd to %dx%d from %dx%d", mWidth, mHeight, width,
        height);
    int x = 0, y = 0;
    sys::GetWindowPosition(impl->mMainWindow, x, y);
    sys::MoveWindow(impl->mMainWindow, x, y, mWidth, mHeight);
}

void TMovieHost::RestoreCursor()
{
    // The shape the game had (none while the pointer was hidden: then hiding it stays the
    // application's setting's business).
    if (mArrowSet && mPreviousCursor != 0)
        sys::SetSystemCursor(mPreviousCursor);
    mArrowSet = false;
    if (TApplication* application = TApplication::Get())
        application->ShowSystemCursor(mCursorWasShown);
}

void TMovieHost::Stop()
{
    if (!mPlaying)
        return;
    mPlaying = false;
    if (mSoundInstance != nullptr)
        mSoundInstance->Stop();
    mSoundInstance.reset();
    mSound.reset();
    TApplication* application = TApplication::Get();
    if (mTask != nullptr)
    {
        if (application != nullptr)
            application->RemoveTask(mTask);
        delete mTask; // its destructor forgets it here
    }
    mTexture.reset();
    mCaptionText.reset();
    mCaptionShadow.reset();
    mDecoder.reset();
    TWindowManager* manager = GetWindowManager();
    if (manager != nullptr)
        manager->SetDrawingSuspended(false);
    if (TApplicationImpl* impl = Impl(); impl != nullptr && impl->mMainWindow != 0)
        sys::SetFocus(impl->mMainWindow);
    // The last film frame is covered with the game's background until the game draws again.
    TRenderer* renderer = TRenderer::Existing();
    if (renderer != nullptr)
        renderer->GetPlatform().ResetMouseImage();
    if (manager != nullptr && manager->GetRoot() != nullptr && renderer != nullptr &&
        !renderer->InDrawBlock() && renderer->BeginDraw(false))
    {
        TVec4 colour(0, 0, 0, 1);
        if (manager->GetRoot()->IsKindOf(TScreen::GetClassId()))
            colour = static_cast<TScreen*>(manager->GetRoot())->mClearColor;
        renderer->FillRect(manager->GetRoot()->GetRect(), colour);
        renderer->EndFrame(true);
    }
    if (renderer != nullptr)
        renderer->GetPlatform().ResetMouseImage();
    if (manager != nullptr)
    {
        if (mAllowInput)
        {
            manager->SetFilterExempt(false);
            manager->SetRightButtonSwallowed(false);
        }
        manager->SetDirty();
    }
    RestoreCursor();
}
