// TMovieDecoder: the Theora stream of an Ogg film held in memory, demultiplexed and decoded one
// frame at a time as the film's clock asks. Other streams (the sound) are skipped here; the sound
// system reads them from the same file. A film is untrusted input: sizes are checked before
// anything is allocated for them, reading stops at the file's end, and a packet the decoder refuses
// skips its frame.
#pragma once

#include "platform/strings/tstring.h"

#include <ogg/ogg.h>
#include <theora/theoradec.h>

#include <cstdint>
#include <string>

class TMovieDecoder
{
public:
    // The largest picture taken each way.
    static constexpr uint32_t kMaxPictureSize = 4096;

    TMovieDecoder();
    ~TMovieDecoder();
    TMovieDecoder(const TMovieDecoder&) = delete;
    TMovieDecoder& operator=(const TMovieDecoder&) = delete;

    // Takes the file's bytes and reads the Theora headers; false, with the reason, when there is no
    // Theora stream, its headers do not decode, its picture is not 1 to 4096 pixels each way, or
    // it claims a frame rate, a sound rate or a sound length beyond what a film can be.
    bool Open(std::string bytes, TString& reason);

    const th_info& GetInfo() const { return mInfo; }
    // Whether the file announced a Vorbis stream beside the pictures, and the milliseconds from
    // the film's start at which its last page ends.
    bool HasSound() const { return mHasSound; }
    uint32_t GetSoundEnd() const { return mSoundEnd; }
    // The first value of the header comment's KEY=value entries for the key (case ignored).
    bool GetComment(const char* key, TString& value) const;

    // Decodes the frames up to and including `due` (never one after it); true when the picture
    // changed. A frame whose packet is refused keeps the picture before it.
    bool DecodeTo(int64_t due);
    // The decoded picture; false before the first frame decoded.
    bool GetPicture(th_ycbcr_buffer planes);
    // True once the file holds no further frame: its end, or the stream's last packet.
    bool IsExhausted() const { return mExhausted; }
    // The index of the latest frame reached (decoded or skipped); -1 before the first.
    int64_t GetFrame() const { return mNextFrame - 1; }
    // Milliseconds from the film's start at which the frame begins.
    uint32_t FrameTime(int64_t frame) const;

private:
    // The next whole page of the file; false at its end.
    bool NextPage(ogg_page& page);
    // The video stream's next packet; false once the file or the stream has ended.
    bool NextPacket(ogg_packet& packet);
    bool ReadHeaders(TString& reason);
    // The sound stream's length, from its identification header's rate and its last granule.
    void ScanSound();

    std::string mBytes;
    size_t mFed = 0;
    ogg_sync_state mSync;
    ogg_stream_state mStream;
    bool mHaveStream = false;
    int mSerial = 0;
    th_info mInfo;
    th_comment mComment;
    th_setup_info* mSetup = nullptr;
    th_dec_ctx* mDecoder = nullptr;
    // The first picture packet, met while the headers were read.
    std::string mPending;
    ogg_int64_t mPendingGranule = -1;
    bool mHavePending = false;
    bool mPendingEnd = false;
    bool mExhausted = false;
    bool mHasSound = false;
    uint32_t mSoundRate = 0;
    // The last granule of the sound's pages: the samples it claims.
    uint64_t mSoundSamples = 0;
    uint32_t mSoundEnd = 0;
    bool mHavePicture = false;
    int64_t mNextFrame = 0;
};
