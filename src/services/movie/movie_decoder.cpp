// The film decoder: libogg's page and packet framing over the bytes in memory, fed a little at a
// time, and libtheora's decoder on the first stream whose first packet is a Theora header.
#include "services/movie/movie_decoder.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace
{
// Bytes handed to the framing at a time.
constexpr size_t kFeedBytes = 4096;
// A picture of 4096 pixels at an offset of up to 255, in whole 16-pixel blocks.
// The most frames a gap in a damaged file may have lost.
constexpr int64_t kMaxGapFrames = 4096;
constexpr uint32_t kMaxFrameSize = (TMovieDecoder::kMaxPictureSize + 255 + 15) & ~15u;
// What a film may claim: outside these its clock would hold the screen for hours or years.
constexpr uint32_t kMaxFramesPerSecond = 1000;
constexpr uint32_t kMinSoundRate = 1000;
constexpr uint32_t kMaxSoundRate = 192000;
constexpr uint64_t kMaxSoundSeconds = 3600;
} // namespace

TMovieDecoder::TMovieDecoder()
{
    ogg_sync_init(&mSync);
    th_info_init(&mInfo);
    th_comment_init(&mComment);
}

TMovieDecoder::~TMovieDecoder()
{
    if (mDecoder != nullptr)
        th_decode_free(mDecoder);
    th_setup_free(mSetup);
    th_comment_clear(&mComment);
    th_info_clear(&mInfo);
    if (mHaveStream)
        ogg_stream_clear(&mStream);
    ogg_sync_clear(&mSync);
}

bool TMovieDecoder::NextPage(ogg_page& page)
{
    for (;;)
    {
        const int got = ogg_sync_pageout(&mSync, &page);
        if (got == 1)
            return true;
        if (got < 0)
            continue; // damaged bytes were skipped: the framing found the next page
        if (mFed >= mBytes.size())
            return false;
        const size_t count = std::min(kFeedBytes, mBytes.size() - mFed);
        char* buffer = ogg_sync_buffer(&mSync, static_cast<long>(count));
        if (buffer == nullptr)
            return false;
        std::memcpy(buffer, mBytes.data() + mFed, count);
        ogg_sync_wrote(&mSync, static_cast<long>(count));
        mFed += count;
    }
}

bool TMovieDecoder::ReadHeaders(TString& reason)
{
    int headers = 0;
    ogg_packet packet;
    ogg_page page;
    for (;;)
    {
        if (mHaveStream)
        {
            const int got = ogg_stream_packetout(&mStream, &packet);
            if (got < 0)
            {
                reason = "the Theora headers are damaged";
                return false;
            }
            if (got > 0)
            {
                const int result = th_decode_headerin(&mInfo, &mComment, &mSetup, &packet);
                if (result > 0)
                {
                    ++headers;
                    continue;
                }
                if (result < 0)
                {
                    reason = "the Theora headers do not decode";
                    return false;
                }
                // The first picture: kept for the first frame.
                mPending.assign(reinterpret_cast<const char*>(packet.packet),
                                static_cast<size_t>(packet.bytes));
                mPendingGranule = packet.granulepos;
                mPendingEnd = packet.e_o_s != 0;
                mHavePending = true;
                return true;
            }
        }
        if (!NextPage(page))
        {
            if (mHaveStream && headers >= 3 && mSetup != nullptr)
            {
                mExhausted = true; // headers and no picture
                return true;
            }
            reason = mHaveStream ? "the file ends inside the Theora headers"
                                 : "the file holds no Theora stream";
            return false;
        }
        if (ogg_page_bos(&page))
        {
            ogg_stream_state probe;
            ogg_stream_init(&probe, ogg_page_serialno(&page));
            ogg_stream_pagein(&probe, &page);
            const bool got = ogg_stream_packetout(&probe, &packet) == 1;
            if (!mHaveStream && got && th_decode_headerin(&mInfo, &mComment, &mSetup, &packet) > 0)
            {
                mStream = probe; // the state's buffers move with it
                mHaveStream = true;
                mSerial = ogg_page_serialno(&page);
                headers = 1;
                continue;
            }
            ogg_stream_clear(&probe);
            if (!mHaveStream)
            {
                th_comment_clear(&mComment);
                th_comment_init(&mComment);
                th_info_clear(&mInfo);
                th_info_init(&mInfo);
            }
        }
        else if (mHaveStream && ogg_page_serialno(&page) == mSerial)
            ogg_stream_pagein(&mStream, &page);
    }
}

void TMovieDecoder::ScanSound()
{
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char* buffer = ogg_sync_buffer(&sync, static_cast<long>(mBytes.size()));
    if (buffer == nullptr)
    {
        ogg_sync_clear(&sync);
        return;
    }
    std::memcpy(buffer, mBytes.data(), mBytes.size());
    ogg_sync_wrote(&sync, static_cast<long>(mBytes.size()));
    ogg_page page;
    int serial = 0;
    uint32_t rate = 0;
    ogg_int64_t last = 0;
    for (int got; (got = ogg_sync_pageout(&sync, &page)) != 0;)
    {
        if (got < 0)
            continue;
        // The identification header fills the first page: "\x01vorbis", version, channels, rate.
        if (!mHasSound && ogg_page_bos(&page) && page.body_len >= 16 &&
            std::memcmp(page.body, "\x01vorbis", 7) == 0)
        {
            mHasSound = true;
            serial = ogg_page_serialno(&page);
            rate = uint32_t(page.body[12]) | uint32_t(page.body[13]) << 8 |
                   uint32_t(page.body[14]) << 16 | uint32_t(page.body[15]) << 24;
        }
        else if (mHasSound && ogg_page_serialno(&page) == serial)
            last = std::max(last, ogg_page_granulepos(&page));
    }
    ogg_sync_clear(&sync);
    mSoundRate = rate;
    mSoundSamples = static_cast<uint64_t>(std::max<ogg_int64_t>(last, 0));
    // Within the bounds Open keeps, the product cannot overflow.
    if (rate >= kMinSoundRate && rate <= kMaxSoundRate &&
        mSoundSamples <= uint64_t{rate} * kMaxSoundSeconds)
        mSoundEnd = static_cast<uint32_t>(mSoundSamples * 1000u / rate);
}

bool TMovieDecoder::Open(std::string bytes, TString& reason)
{
    mBytes = std::move(bytes);
    ScanSound();
    if (!ReadHeaders(reason))
        return false;
    if (mInfo.pic_width < 1 || mInfo.pic_width > kMaxPictureSize || mInfo.pic_height < 1 ||
        mInfo.pic_height > kMaxPictureSize || mInfo.frame_width > kMaxFrameSize ||
        mInfo.frame_height > kMaxFrameSize)
    {
        reason = TString::Format("the picture is %ux%u (1 to %u each way is taken)",
                                 mInfo.pic_width, mInfo.pic_height, kMaxPictureSize);
        return false;
    }
    if (mInfo.fps_numerator == 0 || mInfo.fps_denominator == 0)
    {
        reason = "the frame rate is zero";
        return false;
    }
    if (mInfo.fps_numerator < mInfo.fps_denominator ||
        mInfo.fps_numerator > uint64_t{kMaxFramesPerSecond} * mInfo.fps_denominator)
    {
        reason = TString::Format("the frame rate is %u/%u (1 to %u frames a second are taken)",
                                 mInfo.fps_numerator, mInfo.fps_denominator, kMaxFramesPerSecond);
        return false;
    }
    if (mHasSound && (mSoundRate < kMinSoundRate || mSoundRate > kMaxSoundRate))
    {
        reason = TString::Format("the sound's rate is %u Hz (%u to %u are taken)", mSoundRate,
                                 kMinSoundRate, kMaxSoundRate);
        return false;
    }
    if (mHasSound && mSoundSamples > uint64_t{mSoundRate} * kMaxSoundSeconds)
    {
        reason = TString::Format("the sound claims %llu samples at %u Hz (an hour at most is "
                                 "taken)",
                                 static_cast<unsigned long long>(mSoundSamples), mSoundRate);
        return false;
    }
    mDecoder = th_decode_alloc(&mInfo, mSetup);
    if (mDecoder == nullptr)
    {
        reason = "the Theora decoder refused the stream";
        return false;
    }
    return true;
}

bool TMovieDecoder::GetComment(const char* key, TString& value) const
{
    const size_t length = std::strlen(key);
    for (int i = 0; i < mComment.comments; ++i)
    {
        const char* entry = mComment.user_comments[i];
        const int size = mComment.comment_lengths[i];
        if (entry == nullptr || size < 0 || static_cast<size_t>(size) <= length ||
            !std::equal(key, key + length, entry,
                        [](char a, char b)
                        {
                            return std::tolower(static_cast<unsigned char>(a)) ==
                                   std::tolower(static_cast<unsigned char>(b));
                        }) ||
            entry[length] != '=')
            continue;
        value = TString(entry + length + 1,
                        static_cast<unsigned>(size) - static_cast<unsigned>(length) - 1);
        return true;
    }
    return false;
}

bool TMovieDecoder::NextPacket(ogg_packet& packet)
{
    if (mExhausted)
        return false;
    ogg_page page;
    for (;;)
    {
        const int got = ogg_stream_packetout(&mStream, &packet);
        if (got == 1)
            return true;
        if (got < 0)
            continue; // a gap: its frames are lost, the next granule puts the count right
        if (ogg_stream_eos(&mStream) || !NextPage(page))
        {
            mExhausted = true;
            return false;
        }
        if (ogg_page_serialno(&page) == mSerial)
            ogg_stream_pagein(&mStream, &page);
    }
}

bool TMovieDecoder::DecodeTo(int64_t due)
{
    bool changed = false;
    while (mDecoder != nullptr && mNextFrame <= due)
    {
        ogg_packet packet;
        if (mHavePending)
        {
            std::memset(&packet, 0, sizeof(packet));
            packet.packet = reinterpret_cast<unsigned char*>(mPending.data());
            packet.bytes = static_cast<long>(mPending.size());
            packet.granulepos = mPendingGranule;
            packet.e_o_s = mPendingEnd ? 1 : 0;
            mHavePending = false;
        }
        else if (!NextPacket(packet))
            break;
        ogg_int64_t granule = -1;
        const int result = th_decode_packetin(mDecoder, &packet, &granule);
        int64_t frame = mNextFrame;
        // The granule puts the count right after a gap; one far ahead is damage, not a gap.
        if (packet.granulepos >= 0)
        {
            const int64_t named = th_granule_frame(mDecoder, packet.granulepos);
            if (named > frame && named - frame <= kMaxGapFrames)
                frame = named;
        }
        mNextFrame = frame + 1;
        // A repeated frame keeps the picture; a refused packet skips its frame.
        if (result == 0)
            mHavePicture = changed = true;
        if (packet.e_o_s)
            mExhausted = true;
    }
    return changed;
}

bool TMovieDecoder::GetPicture(th_ycbcr_buffer planes)
{
    return mHavePicture && th_decode_ycbcr_out(mDecoder, planes) == 0;
}

uint32_t TMovieDecoder::FrameTime(int64_t frame) const
{
    if (frame <= 0 || mInfo.fps_numerator == 0)
        return 0;
    const uint64_t ms =
        static_cast<uint64_t>(frame) * 1000u * mInfo.fps_denominator / mInfo.fps_numerator;
    return static_cast<uint32_t>(std::min<uint64_t>(ms, 0xFFFFFFFFu));
}
