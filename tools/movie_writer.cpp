// The film writer: libtheora's encoder and libvorbisenc over libogg, all in memory. Each video
// frame gets a page of its own (so every page's granule names its frame); sound pages are cut by
// libogg and merged with the video pages by the time their last sample or frame ends.
#include "movie_writer.h"

#include <ogg/ogg.h>
#include <theora/theoraenc.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace movietool
{
namespace
{

constexpr int kVideoSerial = 1;
constexpr int kSoundSerial = 2;
// A fixed quality and keyframe interval, so that a film's bytes follow from its input alone.
constexpr int kVideoQuality = 60;
constexpr int kKeyframeShift = 6;
constexpr ogg_uint32_t kKeyframeInterval = 64;
constexpr float kSoundQuality = 0.2f;
constexpr int kSoundChunk = 1024;

struct Page
{
    std::string mBytes;
    double mTime = 0;
};

std::string PageBytes(const ogg_page& page)
{
    std::string bytes(reinterpret_cast<const char*>(page.header), page.header_len);
    bytes.append(reinterpret_cast<const char*>(page.body), page.body_len);
    return bytes;
}

// An Ogg stream that frees itself.
struct Stream
{
    explicit Stream(int serial) { ogg_stream_init(&mState, serial); }
    ~Stream() { ogg_stream_clear(&mState); }
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    // Every complete page (or, flushing, every page) with its time from `timeOf`.
    template <typename TimeOf> void Drain(bool flush, std::vector<Page>& out, TimeOf timeOf)
    {
        ogg_page page;
        while (flush ? ogg_stream_flush(&mState, &page) : ogg_stream_pageout(&mState, &page))
        {
            const ogg_int64_t granule = ogg_page_granulepos(&page);
            const double time = granule >= 0 ? timeOf(granule) : mLastTime;
            mLastTime = time;
            out.push_back({PageBytes(page), time});
        }
    }

    ogg_stream_state mState;
    double mLastTime = 0;
};

th_pixel_fmt PixelFormat(MoviePixels pixels)
{
    switch (pixels)
    {
    case MoviePixels::k422:
        return TH_PF_422;
    case MoviePixels::k444:
        return TH_PF_444;
    default:
        return TH_PF_420;
    }
}

// The picture's planes placed in frame-sized planes, the border filled by repeating the edges.
class FrameBuffer
{
public:
    FrameBuffer(const MovieSpec& spec, const th_info& info)
    {
        const bool halfX = spec.mPixels != MoviePixels::k444;
        const bool halfY = spec.mPixels == MoviePixels::k420;
        for (int p = 0; p < 3; ++p)
        {
            const bool chroma = p > 0;
            mPlanes[p].width =
                static_cast<int>(chroma && halfX ? info.frame_width / 2 : info.frame_width);
            mPlanes[p].height =
                static_cast<int>(chroma && halfY ? info.frame_height / 2 : info.frame_height);
            mPlanes[p].stride = mPlanes[p].width;
            mStore[p].assign(static_cast<size_t>(mPlanes[p].width) * mPlanes[p].height, 0);
            mPlanes[p].data = mStore[p].data();
            mShiftX[p] = chroma && halfX ? 1 : 0;
            mShiftY[p] = chroma && halfY ? 1 : 0;
        }
        mPictureX = spec.mPictureX;
        mPictureY = spec.mPictureY;
        ChromaSize(spec.mPixels, spec.mWidth, spec.mHeight, mSourceW[1], mSourceH[1]);
        mSourceW[2] = mSourceW[1];
        mSourceH[2] = mSourceH[1];
        mSourceW[0] = spec.mWidth;
        mSourceH[0] = spec.mHeight;
    }

    void Fill(const MovieFrame& frame)
    {
        const std::vector<uint8_t>* sources[3] = {&frame.mY, &frame.mCb, &frame.mCr};
        for (int p = 0; p < 3; ++p)
        {
            const uint32_t x0 = mPictureX >> mShiftX[p];
            const uint32_t y0 = mPictureY >> mShiftY[p];
            for (int y = 0; y < mPlanes[p].height; ++y)
            {
                const uint32_t sy = static_cast<uint32_t>(
                    std::clamp<int64_t>(int64_t(y) - y0, 0, int64_t(mSourceH[p]) - 1));
                for (int x = 0; x < mPlanes[p].width; ++x)
                {
                    const uint32_t sx = static_cast<uint32_t>(
                        std::clamp<int64_t>(int64_t(x) - x0, 0, int64_t(mSourceW[p]) - 1));
                    mStore[p][size_t(y) * mPlanes[p].stride + x] =
                        (*sources[p])[size_t(sy) * mSourceW[p] + sx];
                }
            }
        }
    }

    th_ycbcr_buffer mPlanes;

private:
    std::vector<uint8_t> mStore[3];
    int mShiftX[3] = {};
    int mShiftY[3] = {};
    uint32_t mPictureX = 0;
    uint32_t mPictureY = 0;
    uint32_t mSourceW[3] = {};
    uint32_t mSourceH[3] = {};
};

bool CheckSpec(const MovieSpec& spec, const std::vector<MovieFrame>& frames, std::string& error)
{
    if (spec.mWidth == 0 || spec.mHeight == 0 || spec.mWidth > 16384 || spec.mHeight > 16384 ||
        spec.mPictureX > 255 || spec.mPictureY > 255)
    {
        error = "the picture size or offset is out of range";
        return false;
    }
    if (spec.mFpsNumerator == 0 || spec.mFpsDenominator == 0)
    {
        error = "the frame rate is zero";
        return false;
    }
    if (frames.empty())
    {
        error = "a film needs at least one frame";
        return false;
    }
    uint32_t cw = 0, ch = 0;
    ChromaSize(spec.mPixels, spec.mWidth, spec.mHeight, cw, ch);
    for (size_t i = 0; i < frames.size(); ++i)
    {
        const MovieFrame& f = frames[i];
        if (f.mY.size() != size_t(spec.mWidth) * spec.mHeight || f.mCb.size() != size_t(cw) * ch ||
            f.mCr.size() != size_t(cw) * ch)
        {
            error = "frame " + std::to_string(i) + " has planes of the wrong size";
            return false;
        }
    }
    if (spec.mChannels != 0 &&
        (spec.mChannels > 2 || spec.mSampleRate == 0 || spec.mSamples.size() % spec.mChannels))
    {
        error = "the sound is not whole frames of one or two channels";
        return false;
    }
    return true;
}

// The video's pages: the identification header alone on the first page, the other headers on the
// next, then one page per frame.
bool EncodeVideo(const MovieSpec& spec, const std::vector<MovieFrame>& frames,
                 std::vector<Page>& first, std::vector<Page>& headers, std::vector<Page>& pages,
                 std::string& error)
{
    th_info info;
    th_info_init(&info);
    info.pic_width = spec.mWidth;
    info.pic_height = spec.mHeight;
    info.pic_x = spec.mPictureX;
    info.pic_y = spec.mPictureY;
    info.frame_width = (spec.mPictureX + spec.mWidth + 15) & ~15u;
    info.frame_height = (spec.mPictureY + spec.mHeight + 15) & ~15u;
    info.fps_numerator = spec.mFpsNumerator;
    info.fps_denominator = spec.mFpsDenominator;
    info.aspect_numerator = 1;
    info.aspect_denominator = 1;
    info.colorspace = TH_CS_UNSPECIFIED;
    info.pixel_fmt = PixelFormat(spec.mPixels);
    info.target_bitrate = 0;
    info.quality = kVideoQuality;
    info.keyframe_granule_shift = kKeyframeShift;
    std::unique_ptr<th_enc_ctx, void (*)(th_enc_ctx*)> encoder(th_encode_alloc(&info),
                                                               &th_encode_free);
    if (!encoder)
    {
        error = "the Theora encoder refused the picture settings";
        return false;
    }
    ogg_uint32_t interval = kKeyframeInterval;
    th_encode_ctl(encoder.get(), TH_ENCCTL_SET_KEYFRAME_FREQUENCY_FORCE, &interval,
                  sizeof(interval));

    th_comment comment;
    th_comment_init(&comment);
    for (const auto& [key, value] : spec.mComments)
    {
        // The library's signature lacks const; it copies both texts.
        std::string tag = key, text = value;
        th_comment_add_tag(&comment, tag.data(), text.data());
    }
    Stream stream(kVideoSerial);
    auto timeOf = [&](ogg_int64_t granule) { return th_granule_time(encoder.get(), granule); };
    ogg_packet packet;
    bool firstHeader = true;
    while (th_encode_flushheader(encoder.get(), &comment, &packet) > 0)
    {
        ogg_stream_packetin(&stream.mState, &packet);
        if (firstHeader)
            stream.Drain(true, first, timeOf);
        firstHeader = false;
    }
    th_comment_clear(&comment);
    stream.Drain(true, headers, timeOf);

    FrameBuffer buffer(spec, info);
    for (size_t i = 0; i < frames.size(); ++i)
    {
        buffer.Fill(frames[i]);
        if (th_encode_ycbcr_in(encoder.get(), buffer.mPlanes) != 0)
        {
            error = "the Theora encoder refused frame " + std::to_string(i);
            return false;
        }
        const int last = i + 1 == frames.size() ? 1 : 0;
        while (th_encode_packetout(encoder.get(), last, &packet) > 0)
        {
            // A header-type packet where a picture belongs: decoders refuse it.
            static unsigned char corrupt[] = {0x80, 0x00, 0x12, 0x34, 0x56};
            if (frames[i].mCorrupt)
            {
                packet.packet = corrupt;
                packet.bytes = sizeof(corrupt);
            }
            ogg_stream_packetin(&stream.mState, &packet);
            stream.Drain(true, pages, timeOf);
        }
    }
    return true;
}

bool EncodeSound(const MovieSpec& spec, std::vector<Page>& first, std::vector<Page>& headers,
                 std::vector<Page>& pages, std::string& error)
{
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, static_cast<long>(spec.mChannels),
                               static_cast<long>(spec.mSampleRate), kSoundQuality) != 0)
    {
        vorbis_info_clear(&info);
        error = "the Vorbis encoder refused the sound settings";
        return false;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);

    Stream stream(kSoundSerial);
    const double rate = spec.mSampleRate;
    auto timeOf = [rate](ogg_int64_t granule) { return static_cast<double>(granule) / rate; };
    ogg_packet id, comments, setup;
    vorbis_analysis_headerout(&dsp, &comment, &id, &comments, &setup);
    ogg_stream_packetin(&stream.mState, &id);
    stream.Drain(true, first, timeOf);
    ogg_stream_packetin(&stream.mState, &comments);
    ogg_stream_packetin(&stream.mState, &setup);
    stream.Drain(true, headers, timeOf);

    auto drainBlocks = [&]
    {
        ogg_packet packet;
        while (vorbis_analysis_blockout(&dsp, &block) == 1)
        {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            while (vorbis_bitrate_flushpacket(&dsp, &packet))
            {
                ogg_stream_packetin(&stream.mState, &packet);
                stream.Drain(false, pages, timeOf);
            }
        }
    };
    const size_t channels = spec.mChannels;
    const size_t total = spec.mSamples.size() / channels;
    for (size_t at = 0; at < total; at += kSoundChunk)
    {
        const size_t count = std::min<size_t>(kSoundChunk, total - at);
        float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(count));
        for (size_t i = 0; i < count; ++i)
            for (size_t c = 0; c < channels; ++c)
                buffer[c][i] = spec.mSamples[(at + i) * channels + c] / 32768.0f;
        vorbis_analysis_wrote(&dsp, static_cast<int>(count));
        drainBlocks();
    }
    vorbis_analysis_wrote(&dsp, 0);
    drainBlocks();
    stream.Drain(true, pages, timeOf);

    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return true;
}

} // namespace

void ChromaSize(MoviePixels pixels, uint32_t width, uint32_t height, uint32_t& chromaWidth,
                uint32_t& chromaHeight)
{
    chromaWidth = pixels == MoviePixels::k444 ? width : (width + 1) / 2;
    chromaHeight = pixels == MoviePixels::k420 ? (height + 1) / 2 : height;
}

bool WriteMovie(const MovieSpec& spec, const std::vector<MovieFrame>& frames, std::string& out,
                std::string& error)
{
    if (!CheckSpec(spec, frames, error))
        return false;
    std::vector<Page> first, headers, video, sound;
    if (!EncodeVideo(spec, frames, first, headers, video, error))
        return false;
    if (spec.mChannels != 0 && !EncodeSound(spec, first, headers, sound, error))
        return false;
    // Every stream's first page, then the other header pages, then the data by time (video first
    // on a tie, as a frame's picture is due when its sound starts).
    out.clear();
    for (const Page& page : first)
        out += page.mBytes;
    for (const Page& page : headers)
        out += page.mBytes;
    size_t v = 0, s = 0;
    while (v < video.size() || s < sound.size())
    {
        const bool takeVideo =
            s == sound.size() || (v < video.size() && video[v].mTime <= sound[s].mTime);
        out += takeVideo ? video[v++].mBytes : sound[s++].mBytes;
    }
    return true;
}

MovieFrame SolidFrame(const MovieSpec& spec, uint8_t y, uint8_t cb, uint8_t cr)
{
    uint32_t cw = 0, ch = 0;
    ChromaSize(spec.mPixels, spec.mWidth, spec.mHeight, cw, ch);
    MovieFrame frame;
    frame.mY.assign(size_t(spec.mWidth) * spec.mHeight, y);
    frame.mCb.assign(size_t(cw) * ch, cb);
    frame.mCr.assign(size_t(cw) * ch, cr);
    return frame;
}

} // namespace movietool
