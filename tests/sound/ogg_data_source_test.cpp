// Sound data sources: what is decoded whole, the registry's choice of file, reads at any
// position, shared sources, packs, and files that are not (whole) Ogg Vorbis.
#include "sound_test_support.h"

#include "platform/config/config.h"
#include "sound/sound_data_source.h"

#include <ogg/ogg.h>

using namespace soundtest;

namespace
{
// The file's pages, each header and body together.
std::vector<std::string> Pages(const std::string& bytes)
{
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char* in = ogg_sync_buffer(&sync, static_cast<long>(bytes.size()));
    std::memcpy(in, bytes.data(), bytes.size());
    ogg_sync_wrote(&sync, static_cast<long>(bytes.size()));
    std::vector<std::string> pages;
    ogg_page page;
    while (ogg_sync_pageout(&sync, &page) == 1)
        pages.push_back(std::string(reinterpret_cast<char*>(page.header), page.header_len) +
                        std::string(reinterpret_cast<char*>(page.body), page.body_len));
    ogg_sync_clear(&sync);
    return pages;
}

std::string Join(const std::vector<std::string>& pages)
{
    std::string out;
    for (const auto& raw : pages)
        out += raw;
    return out;
}

// The file with its sample rate and its last page's position replaced (checksums made anew).
std::string WithHeaderClaims(const std::string& bytes, uint32_t rate, int64_t lastGranule)
{
    std::vector<std::string> pages = Pages(bytes);
    auto reseal = [](std::string& raw, size_t headerLength)
    {
        ogg_page p;
        p.header = reinterpret_cast<unsigned char*>(raw.data());
        p.header_len = static_cast<long>(headerLength);
        p.body = p.header + headerLength;
        p.body_len = static_cast<long>(raw.size() - headerLength);
        ogg_page_checksum_set(&p);
    };
    // The first page holds only the identification packet: 27 + 1 header bytes, then 12 bytes
    // (type, "vorbis", version, channels) before the rate.
    std::memcpy(pages.front().data() + 28 + 12, &rate, 4);
    reseal(pages.front(), 28);
    std::string& last = pages.back();
    std::memcpy(last.data() + 6, &lastGranule, 8);
    reseal(last, 27 + static_cast<unsigned char>(last[26]));
    return Join(pages);
}

std::vector<int16_t> ReadAll(TSoundDataSource& source, uint32_t position, uint32_t count)
{
    std::vector<int16_t> out(count / 2);
    out.resize(source.Read(out.data(), position, count) / 2);
    return out;
}
} // namespace

TEST_F(SoundTest, ShortOrKeptSoundsAreDecodedWholeLongOnesStayOgg)
{
    const std::string shortOgg = AddOgg("sfx/short.ogg", Tone(1, 22050, 33075), 1, 22050);
    AddOgg("sfx/long.ogg", Tone(2, 44100, 44100 * 3), 2, 44100);
    const std::vector<int16_t> decoded = DecodeOgg(shortOgg);

    auto whole = BuildSoundDataSource("sfx/short.ogg", false);
    ASSERT_NE(dynamic_cast<TMemDataSource*>(whole.get()), nullptr);
    EXPECT_EQ(whole->GetLength(), int64_t(33075) * 1 * 2);
    EXPECT_EQ(whole->GetRate(), 22050);
    EXPECT_EQ(ReadAll(*whole, 0, 70000), decoded);
    EXPECT_EQ(whole->Read(nullptr, 66150, 10), 0u);
    EXPECT_NE(dynamic_cast<TOggDataSource*>(BuildSoundDataSource("sfx/short", true).get()),
              nullptr);

    auto ogg = BuildSoundDataSource("sfx/long", false);
    ASSERT_NE(dynamic_cast<TOggDataSource*>(ogg.get()), nullptr);
    EXPECT_EQ(ogg->GetLength(), int64_t(44100) * 3 * 4);
    EXPECT_NEAR(ogg->GetDuration(), 3.0, 1e-9);
    SetConfig("keepogguncompressed", "1");
    EXPECT_NE(dynamic_cast<TMemDataSource*>(BuildSoundDataSource("sfx/long", false).get()),
              nullptr);
}

TEST_F(SoundTest, RegistryScanAndTheOggRetry)
{
    AddOgg("a/plain.ogg", Tone(1, 8000, 800), 1, 8000);
    AddOgg("a/odd.wav.ogg", Tone(1, 8000, 800), 1, 8000);
    EXPECT_NE(BuildSoundDataSource("a/plain", true), nullptr);
    // Not a registered extension: tried as the name with ".ogg" added.
    EXPECT_NE(BuildSoundDataSource("a/odd.wav", true), nullptr);
    EXPECT_EQ(BuildSoundDataSource("a/missing", true), nullptr);
    EXPECT_EQ(BuildSoundDataSource("a/missing.ogg", true), nullptr);
    EXPECT_EQ(Log().find("OGG file could not be opened"), std::string::npos);
}

TEST_F(SoundTest, ReadsAtAnyPositionEqualSequentialReadsAndSpoolersShareASource)
{
    for (bool streamed : {true, false})
    {
        const std::string bytes = AddOgg("s/tone.ogg", Tone(2, 44100, 44100 * 3), 2, 44100);
        const std::vector<int16_t> decoded = DecodeOgg(bytes);
        auto source = BuildSoundDataSource("s/tone.ogg", streamed);
        ASSERT_NE(source, nullptr);
        // Backwards, unaligned to the decoder's packets, and across the end.
        for (uint32_t position : {400000u, 4096u, 123456u * 4, 529000u})
        {
            const auto got = ReadAll(*source, position, 4000);
            const size_t from = position / 2;
            const size_t n = std::min<size_t>(2000, decoded.size() - from);
            ASSERT_EQ(got.size(), n) << position;
            EXPECT_TRUE(std::equal(got.begin(), got.end(), decoded.begin() + from)) << position;
        }
        // Two spoolers reading in turn each get the whole sound.
        TStreamSpooler first(source), second(source);
        std::vector<int16_t> a(decoded.size()), b(decoded.size());
        uint32_t written = 0;
        for (size_t at = 0; at < decoded.size(); at += 8820)
        {
            const uint32_t n = static_cast<uint32_t>(std::min<size_t>(8820, decoded.size() - at));
            first.Fill(n * 2, a.data() + at, written, false);
            second.Fill(n * 2, b.data() + at, written, false);
        }
        EXPECT_EQ(a, decoded);
        EXPECT_EQ(b, decoded);
    }
}

TEST_F(SoundTest, SoundsInPacks)
{
    const std::string bytes = EncodeOgg(Tone(1, 22050, 2205), 1, 22050);
    Write("assets/sound.qmp", filetest::PackBuilder().Add("audio/9.ogg", bytes).Build());
    InitFileSystem();
    auto source = BuildSoundDataSource("audio/9", false);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(ReadAll(*source, 0, 10000), DecodeOgg(bytes));
    EXPECT_NE(BuildSoundDataSource("audio/9", true), nullptr);
}

TEST_F(SoundTest, DamagedFilesFailOrPlayWhatDecodes)
{
    const std::string bytes = EncodeOgg(Noise(1, 22050 * 3), 1, 22050);
    AddFile("bad/text.ogg", "this is not a sound at all, only some text");
    AddFile("bad/empty.ogg", "");
    AddFile("bad/headers.ogg", bytes.substr(0, 200));
    AddFile("bad/cut.ogg", bytes.substr(0, bytes.size() / 2));
    for (bool streamed : {true, false})
    {
        EXPECT_EQ(BuildSoundDataSource("bad/text.ogg", streamed), nullptr);
        EXPECT_EQ(BuildSoundDataSource("bad/empty.ogg", streamed), nullptr);
        EXPECT_EQ(BuildSoundDataSource("bad/headers.ogg", streamed), nullptr);
        auto cut = BuildSoundDataSource("bad/cut.ogg", streamed);
        ASSERT_NE(cut, nullptr);
        const auto got = ReadAll(*cut, 0, 22050 * 2 * 3);
        EXPECT_GT(got.size(), 22050u / 2);
        EXPECT_LT(got.size(), 22050u * 3);
        EXPECT_EQ(size_t(cut->GetLength()), got.size() * 2);
    }
    EXPECT_NE(Log().find("OGG file could not be opened"), std::string::npos);

    // A page missing mid-stream is a hole: reading goes on after it.
    std::vector<std::string> pages = Pages(bytes);
    ASSERT_GT(pages.size(), 6u);
    const size_t before = DecodeOgg(Join({pages.begin(), pages.begin() + 4})).size();
    EXPECT_EQ(
        DecodeOgg(Join({pages.begin(), pages.begin() + 4}) + Join({pages.begin() + 5, pages.end()}))
            .size(),
        before);
    pages.erase(pages.begin() + 4);
    AddFile("bad/hole.ogg", Join(pages));
    auto hole = BuildSoundDataSource("bad/hole.ogg", true);
    ASSERT_NE(hole, nullptr);
    const auto afterHole = ReadAll(*hole, 0, 22050 * 2 * 3);
    EXPECT_GT(afterHole.size(), before + 22050 / 2);
    EXPECT_EQ(afterHole.size(), DecodeOgg(Join(pages), true).size());

    // A header claiming a short sound of absurd length (a huge rate and last position) is not
    // allocated whole.
    AddFile("bad/claims.ogg", WithHeaderClaims(bytes, 0x7FFFFFFF, (int64_t(1) << 31) - 1));
    auto claims = BuildSoundDataSource("bad/claims.ogg", false);
    ASSERT_NE(claims, nullptr);
    EXPECT_LT(claims->GetDuration(), 2.0);
    EXPECT_EQ(claims->GetLength(), (int64_t(1) << 32) - 2);
    EXPECT_NE(dynamic_cast<TOggDataSource*>(claims.get()), nullptr);
    // A last position near the format's limit claims more bytes than a length can hold.
    AddFile("bad/endless.ogg", WithHeaderClaims(bytes, 22050, INT64_MAX - 1));
    EXPECT_EQ(BuildSoundDataSource("bad/endless.ogg", true), nullptr);
}
