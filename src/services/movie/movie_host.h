// TMovieHost: the toolkit's movie player. It plays one Ogg Theora film (with its Vorbis sound, when
// it has one) in the game's own window: while it plays, the window manager draws nothing and the
// host's playback task draws the film's due frame fitted to the picture, with the game's texts as
// captions when asked, and presents it through the renderer's present-while-suspended switch.
// Input still reaches the top modal window, so a key or a click can end a film as it ends a still.
#pragma once

#include "platform/strings/tstring.h"
#include "ui/window_script.h"

#include <cstdint>
#include <memory>
#include <vector>

class TMovieDecoder;
class TMoviePlaybackTask;
class TSound;
class TSoundInstance;
class TTextLayout;
class TTexture;

class TMovieHost : public TMoviePlayer
{
public:
    // The string-table label prefix that gives a caption its film-specific text.
    static constexpr const char* kFlashPrefix = "FLASH_";
    // Caption lines start this far down the picture, at this size in picture pixels.
    static constexpr float kCaptionTop = 0.8f;
    static constexpr int32_t kCaptionSize = 28;
    // The sound group the film's sound plays in (the music's).
    static constexpr int kSoundGroup = 1001;

    // Records the operating-system cursor setting, which Stop restores.
    TMovieHost();
    ~TMovieHost() override;
    TMovieHost(const TMovieHost&) = delete;
    TMovieHost& operator=(const TMovieHost&) = delete;

    // The factory the services install for the window script.
    static std::unique_ptr<TMoviePlayer> Create();

    bool Play(const TString& file, bool translate, bool allowInput) override;
    // True from a successful Play until the last frame's time has passed and the sound has
    // ended, or Stop.
    bool IsPlaying() override;
    // Harmless when nothing plays.
    void Stop() override;

    // The playback task's step: the due frame decoded and, when it changed, drawn and presented.
    void Tick();
    // The caption lines of the film (after Play with translate), top to bottom.
    const std::vector<TString>& GetCaptions() const { return mCaptions; }

private:
    friend class TMoviePlaybackTask;

    // Reads the film whole; false when it cannot, with `reason` set when a file of that name is
    // there but cannot be read (left empty when there is none).
    bool OpenFilm(const TString& file, TString& found, std::string& bytes, TString& reason);
    void ReadCaptions();
    // Decodes up to the film clock's frame; the picture converted when it changed.
    void Advance();
    void Draw();
    void RestoreCursor();
    void RestoreWindowSize();
    uint32_t Elapsed() const;
    bool IsSoundPlaying() const;

    bool mCursorWasShown = true;
    bool mPlaying = false;
    bool mAllowInput = false;
    bool mArrowSet = false;
    uintptr_t mPreviousCursor = 0;
    bool mSizeRecorded = false;
    int mWidth = 0;
    int mHeight = 0;
    uint32_t mStartTime = 0;
    bool mNeedsDraw = false;
    std::unique_ptr<TMovieDecoder> mDecoder;
    std::shared_ptr<TTexture> mTexture;
    std::shared_ptr<TSound> mSound;
    std::shared_ptr<TSoundInstance> mSoundInstance;
    TMoviePlaybackTask* mTask = nullptr;
    std::vector<TString> mCaptions;
    std::unique_ptr<TTextLayout, void (*)(TTextLayout*)> mCaptionText{nullptr, nullptr};
    std::unique_ptr<TTextLayout, void (*)(TTextLayout*)> mCaptionShadow{nullptr, nullptr};
};
