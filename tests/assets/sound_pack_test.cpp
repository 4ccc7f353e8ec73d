// The generated sounds as the engine meets them: sound.qmp read through the file layer, every Ogg
// decoded by libvorbisfile against what the generator's manifest says of it, and the sound table.
#include "assets/location_lint_support.h"
#include "support/file_layer_fixture.h"

#include "platform/files/file.h"
#include "script/script.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

namespace sound_pack_test
{
namespace
{
const std::string kAssets = std::string(MURKWELL_SOURCE_DIR) + "/assets";

struct SoundLine
{
    std::string mPath;
    std::string mName;
    int mChannels = 0;
    long mRate = 0;
    double mSeconds = 0.0;
    bool mLoop = false;
};

std::vector<SoundLine> ReadSoundList()
{
    std::vector<SoundLine> sounds;
    std::istringstream lines(filetest::ReadBytes(MURKWELL_SOUND_LIST));
    SoundLine s;
    int loop = 0;
    while (lines >> s.mPath >> s.mName >> s.mChannels >> s.mRate >> s.mSeconds >> loop)
    {
        s.mLoop = loop != 0;
        sounds.push_back(s);
    }
    return sounds;
}

std::string ReadThroughFileLayer(const std::string& name)
{
    TFile file;
    if (!file.Open(name.c_str(), kFileReadBinary))
        return std::string();
    std::string data(static_cast<size_t>(file.Length()), '\0');
    data.resize(static_cast<size_t>(file.Read(data.data(), static_cast<int>(data.size()))));
    return data;
}

// libvorbisfile reading from a string in memory.
struct MemorySource
{
    const std::string* mData;
    size_t mAt = 0;
};

size_t MemoryRead(void* buffer, size_t size, size_t count, void* source)
{
    auto* s = static_cast<MemorySource*>(source);
    size_t n = std::min(size * count, s->mData->size() - s->mAt);
    std::memcpy(buffer, s->mData->data() + s->mAt, n);
    s->mAt += n;
    return size ? n / size : 0;
}

int MemorySeek(void* source, ogg_int64_t offset, int whence)
{
    auto* s = static_cast<MemorySource*>(source);
    ogg_int64_t base = whence == SEEK_SET   ? 0
                       : whence == SEEK_CUR ? static_cast<ogg_int64_t>(s->mAt)
                                            : static_cast<ogg_int64_t>(s->mData->size());
    if (base + offset < 0 || base + offset > static_cast<ogg_int64_t>(s->mData->size()))
        return -1;
    s->mAt = static_cast<size_t>(base + offset);
    return 0;
}

long MemoryTell(void* source)
{
    return static_cast<long>(static_cast<MemorySource*>(source)->mAt);
}

struct Decoded
{
    int mChannels = 0;
    long mRate = 0;
    int64_t mFrames = -1;
    std::vector<int16_t> mSamples; // interleaved
};

bool Decode(const std::string& ogg, Decoded& out)
{
    MemorySource source{&ogg};
    ov_callbacks callbacks{MemoryRead, MemorySeek, nullptr, MemoryTell};
    OggVorbis_File vf;
    if (ov_open_callbacks(&source, &vf, nullptr, 0, callbacks) != 0)
        return false;
    vorbis_info* info = ov_info(&vf, -1);
    out.mChannels = info->channels;
    out.mRate = info->rate;
    out.mFrames = ov_pcm_total(&vf, -1);
    char buffer[8192];
    int section = 0;
    long got;
    while ((got = ov_read(&vf, buffer, sizeof buffer, 0, 2, 1, &section)) > 0)
    {
        size_t at = out.mSamples.size();
        out.mSamples.resize(at + static_cast<size_t>(got) / 2);
        std::memcpy(out.mSamples.data() + at, buffer, static_cast<size_t>(got));
    }
    ov_clear(&vf);
    return got == 0;
}

// The pack as `make assets` made it, copied into the scratch asset folder of the fixture.
class SoundPackTest : public filetest::FileLayerTest
{
protected:
    void SetUp() override
    {
        filetest::FileLayerTest::SetUp();
        mPack = filetest::ReadBytes(kAssets + "/sound.qmp");
        ASSERT_FALSE(mPack.empty()) << "assets/sound.qmp is missing: run `make assets`";
        Write("assets/sound.qmp", mPack);
        mSounds = ReadSoundList();
        ASSERT_EQ(mSounds.size(), 31u);
    }

    std::string mPack;
    std::vector<SoundLine> mSounds;
};
} // namespace

TEST_F(SoundPackTest, HoldsExactlyTheThirtyOneSoundsByNumber)
{
    InitFileSystem();
    std::set<std::string> found;
    for (const auto& [name, location] : GetPathMap())
        if (location.Length() > 0 && location.c_str()[0] == '@')
            found.insert(name.c_str());
    std::set<std::string> expected;
    for (int n = 1; n <= 31; ++n)
        expected.insert("audio/" + std::to_string(n) + ".ogg");
    EXPECT_EQ(found, expected);
    for (size_t i = 0; i < mSounds.size(); ++i)
        EXPECT_EQ(mSounds[i].mPath, "audio/" + std::to_string(i + 1) + ".ogg");
}

TEST_F(SoundPackTest, EverySoundDecodesAsItsManifestEntrySays)
{
    InitFileSystem();
    // Vorbis is lossy: a seamless loop's two ends agree to within a step the sound takes anyway,
    // where a loop cut anywhere would jump by a good part of its level (the generator levels all
    // sounds to 0.7 of full scale).
    const int kSeamTolerance = static_cast<int>(0.06 * 32768);
    for (const SoundLine& s : mSounds)
    {
        SCOPED_TRACE(s.mPath + " (" + s.mName + ")");
        std::string ogg = ReadThroughFileLayer(s.mPath);
        ASSERT_FALSE(ogg.empty());
        EXPECT_LE(ogg.size(), 256u << 10); // the budget of one generated file
        Decoded d;
        ASSERT_TRUE(Decode(ogg, d));
        EXPECT_EQ(d.mChannels, s.mChannels);
        EXPECT_EQ(d.mRate, s.mRate);
        EXPECT_NEAR(static_cast<double>(d.mFrames) / static_cast<double>(d.mRate), s.mSeconds,
                    0.010);
        ASSERT_EQ(d.mSamples.size(), static_cast<size_t>(d.mFrames * d.mChannels));
        // Short effects are mono 22.05 kHz; the menu music is the one stereo 44.1 kHz sound.
        if (s.mName == "music_menu")
            EXPECT_TRUE(d.mChannels == 2 && d.mRate == 44100);
        else
            EXPECT_TRUE(d.mChannels == 1 && d.mRate == 22050);
        if (!s.mLoop)
            continue;
        for (int c = 0; c < d.mChannels; ++c)
        {
            int first = d.mSamples[static_cast<size_t>(c)];
            int last = d.mSamples[d.mSamples.size() - static_cast<size_t>(d.mChannels - c)];
            EXPECT_LE(std::abs(first - last), kSeamTolerance) << "channel " << c;
        }
    }
}

// The characters of a label's text in strings.xml.
double Characters(const std::string& label)
{
    const std::string strings = filetest::ReadBytes(kAssets + "/strings.xml");
    const std::string cell = "<Data ss:Type=\"String\">";
    size_t at = strings.find(cell + label + "</Data>");
    EXPECT_NE(at, std::string::npos) << label;
    at = strings.find(cell, at + cell.size()) + cell.size();
    const std::string text = strings.substr(at, strings.find('<', at) - at);
    return static_cast<double>(
        std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// Texts of so many characters stay this long to be read: 60 ms a character, never under 2.5 s.
double ReadingSeconds(double characters)
{
    return std::max(2.5, 0.060 * characters);
}

TEST_F(SoundPackTest, EveryLineAndCutSceneCellLastsItsReadingTime)
{
    InitFileSystem();
    // A line lasts as long as its voice (the sound specifier without its "?group=").
    auto voiceSeconds = [&](const std::string& specifier)
    {
        const std::string name = specifier.substr(0, specifier.find('?'));
        for (const SoundLine& s : mSounds)
            if (s.mName == name)
            {
                Decoded d;
                EXPECT_TRUE(Decode(ReadThroughFileLayer(s.mPath), d)) << name;
                return static_cast<double>(d.mFrames) / static_cast<double>(d.mRate);
            }
        ADD_FAILURE() << "no sound " << name;
        return 0.0;
    };
    size_t lines = 0;
    for (const char* location :
         {"scripts/locations/gatehouse.lua", "scripts/locations/observatory.lua",
          "scripts/locations/crypt.lua"})
    {
        const locationlint::LintResult lint = locationlint::RunLocationLint(location);
        EXPECT_TRUE(lint.faults.empty()) << location << ": " << lint.faults.front();
        for (const std::string& voice : lint.voices)
        {
            const std::string label = voice.substr(0, voice.find(' '));
            EXPECT_GE(voiceSeconds(voice.substr(voice.find(' ') + 1)),
                      ReadingSeconds(Characters(label)))
                << location << ": " << label;
            ++lines;
        }
    }
    EXPECT_EQ(lines, 4u); // Odo's
    // The cut-scene, its tables made by the script with collecting makers: a cell stays current for
    // at least "celltimeminimum" and until its bubbles have spoken, one after another.
    TScript script;
    script.Init();
    script.SetGlobalString("_text",
                           filetest::ReadBytes(kAssets + "/scripts/storyboard.lua").c_str());
    script.DoLuaString(R"(
        gStyles = { fonts = {} }
        function GetString(label) return label end
        function Storyboard(t) return t end
        function Button(t) return t end
        function MakeDialog(t) _panel = t[1] end
        loadstring(_text)()
        local out = { _panel.celltimeminimum }
        local n = 1
        while panelinstructions["cell_" .. n] ~= nil do
            local cell = panelinstructions["cell_" .. n]
            table.insert(out, "cell")
            for _, t in ipairs(cell.text or {}) do
                table.insert(out, "text " .. t.text.string)
            end
            local k = 1
            while cell.speechbubbles["speech_" .. k] ~= nil do
                local b = cell.speechbubbles["speech_" .. k]
                table.insert(out, "bubble " .. b.text.text .. " " .. b.sound)
                k = k + 1
            end
            n = n + 1
        end
        _result = table.concat(out, "\n")
    )");
    std::istringstream out(script.GetGlobalString("_result").c_str());
    double minimum = 0.0;
    out >> minimum;
    // {characters shown, bubbles' voices one after another}
    std::vector<std::pair<double, double>> cells;
    for (std::string kind, label, sound; out >> kind;)
        if (kind == "cell")
            cells.emplace_back(0.0, 0.0);
        else if (out >> label && kind == "text")
            cells.back().first += Characters(label);
        else if (out >> sound)
        {
            const double voice = voiceSeconds(sound);
            EXPECT_GE(voice, ReadingSeconds(Characters(label))) << label;
            cells.back().first += Characters(label);
            cells.back().second += voice;
        }
    ASSERT_EQ(cells.size(), 2u);
    for (const auto& [characters, voices] : cells)
        EXPECT_GE(std::max(minimum / 1000.0, voices), ReadingSeconds(characters)) << characters;
}

TEST_F(SoundPackTest, LooseFileBesideThePackWins)
{
    Folder("assets/audio");
    std::string loose = filetest::ReadBytes(kAssets + "/sound.qmp").substr(0, 64);
    Write("assets/audio/5.ogg", loose);
    InitFileSystem();
    EXPECT_EQ(ReadThroughFileLayer("audio/5.ogg"), loose);
    EXPECT_EQ(ReadThroughFileLayer("AUDIO/4.OGG").substr(0, 4), "OggS");
}

TEST(SoundTable, NamesTheThirtyOneSoundsNumberedWithoutGaps)
{
    std::string text = filetest::ReadBytes(kAssets + "/audio/snd.txt");
    std::vector<std::string> tokens;
    std::stringstream split(text);
    for (std::string token; std::getline(split, token, ',');)
        tokens.push_back(token);
    ASSERT_EQ(tokens.size(), 63u);
    EXPECT_EQ(std::atoi(tokens[0].c_str()), 31);
    std::vector<SoundLine> sounds = ReadSoundList();
    ASSERT_EQ(sounds.size(), 31u);
    for (int n = 1; n <= 31; ++n)
    {
        const std::string& name = tokens[static_cast<size_t>(2 * n - 1)];
        // Only the last number may carry the file's final line break: the number parse stops at it,
        // but inside a name it would become part of the name.
        EXPECT_EQ(name.find_first_of(" \t\r\n"), std::string::npos) << name;
        EXPECT_EQ(std::atoi(tokens[static_cast<size_t>(2 * n)].c_str()), n) << name;
        EXPECT_EQ(name, sounds[static_cast<size_t>(n - 1)].mName);
    }
    EXPECT_EQ(tokens.back(), "31\n");
}

} // namespace sound_pack_test
