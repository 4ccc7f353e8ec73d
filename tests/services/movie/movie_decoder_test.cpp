// The film decoder over films from the encoder's writer: the writer's bytes (deterministic, Ogg
// with the Theora header first), frames decoded at their times and never ahead, and damaged or
// refused films: each refused whole or played to its last whole frame, never read past its end.
#include "services/movie/movie_decoder.h"
#include "services/movie/movie_picture.h"
#include "services/movie/movie_test_support.h"
#include "support/ogg_pages.h"

#include <cstdlib>

namespace
{
using namespace movietest;

// The pages of the film whose stream serial is `serial`, in order.
std::string OnlySerial(const std::string& film, int serial)
{
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char* buffer = ogg_sync_buffer(&sync, static_cast<long>(film.size()));
    std::memcpy(buffer, film.data(), film.size());
    ogg_sync_wrote(&sync, static_cast<long>(film.size()));
    std::string out;
    ogg_page page;
    while (ogg_sync_pageout(&sync, &page) == 1)
        if (ogg_page_serialno(&page) == serial)
        {
            out.append(reinterpret_cast<char*>(page.header), page.header_len);
            out.append(reinterpret_cast<char*>(page.body), page.body_len);
        }
    ogg_sync_clear(&sync);
    return out;
}

// The picture's centre pixel, converted.
uint32_t Centre(TMovieDecoder& decoder)
{
    th_ycbcr_buffer planes;
    if (!decoder.GetPicture(planes))
        return 0;
    const th_info& info = decoder.GetInfo();
    std::vector<uint32_t> pixels(size_t(info.pic_width) * info.pic_height);
    TMoviePictureRegion region{info.pixel_fmt, info.pic_x, info.pic_y, info.pic_width,
                               info.pic_height};
    ConvertMoviePicture(planes, region, pixels.data(), info.pic_width);
    return pixels[size_t(info.pic_height / 2) * info.pic_width + info.pic_width / 2];
}

TEST(MovieWriter, SameInputSameBytesOggWithTheTheoraHeaderFirst)
{
    MovieSpec spec = SmallSpec();
    AddTone(spec, 400);
    spec.mComments = {{"TEXTVARNAMES", "a;"}};
    const std::string first = Film(spec, SolidFrames(spec, 4));
    EXPECT_EQ(first, Film(spec, SolidFrames(spec, 4)));
    ASSERT_GT(first.size(), 64u);
    EXPECT_EQ(first.compare(0, 4, "OggS"), 0);
    EXPECT_EQ(first.compare(28, 7, "\x80theora"), 0);
    EXPECT_FALSE(OnlySerial(first, 1).empty());
    EXPECT_FALSE(OnlySerial(first, 2).empty());
    EXPECT_EQ(OnlySerial(first, 1).size() + OnlySerial(first, 2).size(), first.size());
}

TEST(MovieDecoder, FramesComeAtTheirIndexNeverAheadAndTheFilmEndsAfterTheLast)
{
    MovieSpec spec = SmallSpec();
    AddTone(spec, 400);
    spec.mComments = {{"TEXTVARNAMES", "title;"}};
    TMovieDecoder decoder;
    TString reason, names;
    ASSERT_TRUE(decoder.Open(Film(spec, SolidFrames(spec, 4)), reason)) << reason.c_str();
    EXPECT_EQ(decoder.GetInfo().pic_width, 64u);
    EXPECT_TRUE(decoder.HasSound());
    EXPECT_EQ(decoder.GetSoundEnd(), 400u);
    EXPECT_TRUE(decoder.GetComment("textvarnames", names));
    EXPECT_STREQ(names.c_str(), "title;");
    EXPECT_EQ(decoder.GetFrame(), -1);
    for (int64_t frame = 0; frame < 4; ++frame)
    {
        EXPECT_TRUE(decoder.DecodeTo(frame)) << frame;
        EXPECT_EQ(decoder.GetFrame(), frame);
        EXPECT_FALSE(decoder.DecodeTo(frame)) << "decoded ahead of its time";
        EXPECT_TRUE(Near(Centre(decoder), Rgb(kColours[frame]))) << frame;
        EXPECT_EQ(decoder.FrameTime(frame), uint32_t(frame * 100));
    }
    EXPECT_FALSE(decoder.DecodeTo(100));
    EXPECT_TRUE(decoder.IsExhausted());
    EXPECT_EQ(decoder.GetFrame(), 3);
}

TEST(MovieDecoder, RefusedFilmsAreRefusedWhole)
{
    MovieSpec spec = SmallSpec();
    AddTone(spec, 200);
    const std::string film = Film(spec, SolidFrames(spec, 2));
    const size_t headersEnd = OnlySerial(film, 1).find("OggS", 100);
    const struct
    {
        const char* mName;
        std::string mBytes;
    } cases[] = {
        {"empty", ""},
        {"not Ogg", std::string(5000, 'x')},
        {"sound only", OnlySerial(film, 2)},
        {"cut inside the headers", film.substr(0, 200)},
        {"picture 0 wide", WithClaimedSize(film, 0, 48)},
        {"picture 100000 wide", WithClaimedSize(film, 100000, 48)},
        {"picture 100000 high", WithClaimedSize(film, 64, 100000)},
    };
    ASSERT_NE(headersEnd, std::string::npos);
    for (const auto& c : cases)
    {
        TMovieDecoder decoder;
        TString reason;
        EXPECT_FALSE(decoder.Open(c.mBytes, reason)) << c.mName;
        EXPECT_GT(reason.Length(), 0) << c.mName;
        // Large sizes are refused by the film's own check, before the codec allocates for them.
        if (std::string(c.mName).find("100000") != std::string::npos)
        {
            EXPECT_EQ(std::string(reason.c_str()).rfind("the picture is", 0), 0u) << c.mName;
        }
        EXPECT_FALSE(decoder.DecodeTo(10)) << c.mName;
    }
    TMovieDecoder largest;
    TString reason;
    EXPECT_TRUE(largest.Open(WithClaimedSize(film, 4096, 48), reason)) << reason.c_str();
}

// A film's claims bound its clock, so claims beyond any film are refused with what was claimed:
// a frame rate under 1 or over 1000 a second, a sound rate outside 1000 to 192000 Hz, a sound
// of more than an hour. Far positions on the pictures alone are damage: the frames count on.
TEST(MovieDecoder, ClaimsBeyondAnyFilmAreRefusedAndFarPicturePositionsIgnored)
{
    using namespace testsupport;
    MovieSpec spec = SmallSpec();
    AddTone(spec, 200);
    const std::string film = Film(spec, SolidFrames(spec, 3));
    const std::pair<std::string, const char*> cases[] = {
        {WithFrameRate(film, 1, 4294967295u),
         "the frame rate is 1/4294967295 (1 to 1000 frames a second are taken)"},
        {WithFrameRate(film, 1, 2), "the frame rate is 1/2 (1 to 1000 frames a second are taken)"},
        {WithFrameRate(film, 1001, 1),
         "the frame rate is 1001/1 (1 to 1000 frames a second are taken)"},
        {WithSoundRate(film, 1), "the sound's rate is 1 Hz (1000 to 192000 are taken)"},
        {WithSoundRate(film, 192001), "the sound's rate is 192001 Hz (1000 to 192000 are taken)"},
        {WithFarGranules(film), "the sound claims 9223372036854710274 samples at 8000 Hz (an "
                                "hour at most is taken)"},
    };
    for (const auto& [bytes, reason] : cases)
    {
        TMovieDecoder decoder;
        TString got;
        EXPECT_FALSE(decoder.Open(bytes, got)) << reason;
        EXPECT_STREQ(got.c_str(), reason);
    }
    TMovieDecoder slowest;
    TString reason;
    EXPECT_TRUE(slowest.Open(WithFrameRate(film, 1, 1), reason)) << reason.c_str();

    const std::string farPictures = EditOggPages(WithFarGranules(film),
                                                 [](std::string& header, std::string&)
                                                 {
                                                     if (OggSerial(header) == 2)
                                                         PutNumber(header, 6, 0, 8, false);
                                                 });
    TMovieDecoder decoder;
    ASSERT_TRUE(decoder.Open(farPictures, reason)) << reason.c_str();
    decoder.DecodeTo(2);
    EXPECT_EQ(decoder.GetFrame(), 2);
    decoder.DecodeTo(3);
    EXPECT_TRUE(decoder.IsExhausted());
    EXPECT_EQ(decoder.FrameTime(decoder.GetFrame() + 1), 300u);
}

// A film cut inside a page ends at the last whole frame; one whose last page is gone (no end mark)
// ends with the file; a refused packet skips its frame, the picture before it staying.
TEST(MovieDecoder, DamagedFilmsPlayWhatIsWhole)
{
    MovieSpec spec = SmallSpec();
    const std::string film = Film(spec, SolidFrames(spec, 4));
    const size_t lastPage = film.rfind("OggS");
    for (const std::string& cut : {film.substr(0, film.size() - 7), film.substr(0, lastPage)})
    {
        TMovieDecoder decoder;
        TString reason;
        ASSERT_TRUE(decoder.Open(cut, reason)) << reason.c_str();
        decoder.DecodeTo(1000);
        EXPECT_TRUE(decoder.IsExhausted());
        EXPECT_EQ(decoder.GetFrame(), 2);
        EXPECT_TRUE(Near(Centre(decoder), Rgb(kColours[2])));
    }

    std::vector<MovieFrame> frames = SolidFrames(spec, 4);
    frames[1].mCorrupt = true;
    TMovieDecoder decoder;
    TString reason;
    ASSERT_TRUE(decoder.Open(Film(spec, frames), reason)) << reason.c_str();
    EXPECT_TRUE(decoder.DecodeTo(0));
    EXPECT_FALSE(decoder.DecodeTo(1));
    EXPECT_EQ(decoder.GetFrame(), 1);
    EXPECT_TRUE(Near(Centre(decoder), Rgb(kColours[0])));
    EXPECT_TRUE(decoder.DecodeTo(3));
    EXPECT_EQ(decoder.GetFrame(), 3);
}

} // namespace
