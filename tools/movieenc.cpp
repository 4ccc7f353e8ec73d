// movieenc: encodes a YUV4MPEG2 (4:2:0) picture sequence, with an optional 16-bit PCM WAV sound,
// into an Ogg Theora film.
//   movieenc [--wav sound.wav] [--comment KEY=VALUE]... in.y4m out.ogv
// The same input gives the same bytes (for one version of the codec libraries).
#include "movie_writer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace
{

using movietool::MovieFrame;
using movietool::MovieSpec;

bool ReadAll(const std::string& path, std::string& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream text;
    text << in.rdbuf();
    out = text.str();
    return true;
}

uint32_t Le(const std::string& bytes, size_t at, int count)
{
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
    return value;
}

// The header's W, H and F parameters; any colour space tag but a 4:2:0 one is refused.
bool ReadY4m(const std::string& bytes, MovieSpec& spec, std::vector<MovieFrame>& frames,
             std::string& error)
{
    const size_t end = bytes.find('\n');
    if (bytes.compare(0, 10, "YUV4MPEG2 ") != 0 || end == std::string::npos)
    {
        error = "not a YUV4MPEG2 stream";
        return false;
    }
    std::istringstream header(bytes.substr(10, end - 10));
    std::string token;
    while (header >> token)
    {
        if (token[0] == 'W')
            spec.mWidth = static_cast<uint32_t>(std::strtoul(token.c_str() + 1, nullptr, 10));
        else if (token[0] == 'H')
            spec.mHeight = static_cast<uint32_t>(std::strtoul(token.c_str() + 1, nullptr, 10));
        else if (token[0] == 'F')
        {
            unsigned long num = 0, den = 0;
            if (std::sscanf(token.c_str() + 1, "%lu:%lu", &num, &den) != 2)
            {
                error = "bad frame rate " + token;
                return false;
            }
            spec.mFpsNumerator = static_cast<uint32_t>(num);
            spec.mFpsDenominator = static_cast<uint32_t>(den);
        }
        else if (token[0] == 'C' && token.compare(0, 4, "C420") != 0)
        {
            error = "only 4:2:0 pictures are taken, not " + token;
            return false;
        }
    }
    if (spec.mWidth == 0 || spec.mHeight == 0 || spec.mWidth > 4096 || spec.mHeight > 4096)
    {
        error = "bad picture size";
        return false;
    }
    uint32_t cw = 0, ch = 0;
    movietool::ChromaSize(spec.mPixels, spec.mWidth, spec.mHeight, cw, ch);
    const size_t luma = size_t(spec.mWidth) * spec.mHeight;
    const size_t chroma = size_t(cw) * ch;
    size_t at = end + 1;
    while (at < bytes.size())
    {
        const size_t line = bytes.find('\n', at);
        if (bytes.compare(at, 5, "FRAME") != 0 || line == std::string::npos)
        {
            error = "bad frame header at byte " + std::to_string(at);
            return false;
        }
        at = line + 1;
        if (bytes.size() - at < luma + 2 * chroma)
        {
            error = "the last frame is cut short";
            return false;
        }
        MovieFrame frame;
        auto take = [&](std::vector<uint8_t>& plane, size_t size)
        {
            plane.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                         bytes.begin() + static_cast<std::ptrdiff_t>(at + size));
            at += size;
        };
        take(frame.mY, luma);
        take(frame.mCb, chroma);
        take(frame.mCr, chroma);
        frames.push_back(std::move(frame));
    }
    return true;
}

// A RIFF WAVE file of 16-bit PCM, one or two channels.
bool ReadWav(const std::string& bytes, MovieSpec& spec, std::string& error)
{
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0)
    {
        error = "not a WAV file";
        return false;
    }
    bool haveFormat = false;
    for (size_t at = 12; at + 8 <= bytes.size();)
    {
        const std::string id = bytes.substr(at, 4);
        const size_t size = Le(bytes, at + 4, 4);
        const size_t body = at + 8;
        if (size > bytes.size() - body)
            break;
        if (id == "fmt " && size >= 16)
        {
            if (Le(bytes, body, 2) != 1 || Le(bytes, body + 14, 2) != 16)
            {
                error = "only 16-bit PCM sound is taken";
                return false;
            }
            spec.mChannels = Le(bytes, body + 2, 2);
            spec.mSampleRate = Le(bytes, body + 4, 4);
            haveFormat = true;
        }
        else if (id == "data" && haveFormat)
        {
            spec.mSamples.resize(size / 2);
            for (size_t i = 0; i < spec.mSamples.size(); ++i)
                spec.mSamples[i] = static_cast<int16_t>(Le(bytes, body + 2 * i, 2));
            return true;
        }
        at = body + size + (size & 1);
    }
    error = "the WAV file has no sound data";
    return false;
}

int Usage()
{
    std::fprintf(stderr, "usage: movieenc [--wav s.wav] [--comment KEY=VALUE]... in.y4m out.ogv\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    MovieSpec spec;
    std::string wav;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if ((arg == "--wav" || arg == "--comment") && i + 1 < argc)
        {
            const std::string value = argv[++i];
            if (arg == "--wav")
                wav = value;
            else
            {
                const size_t equals = value.find('=');
                if (equals == std::string::npos || equals == 0)
                    return Usage();
                spec.mComments.emplace_back(value.substr(0, equals), value.substr(equals + 1));
            }
        }
        else if (arg.compare(0, 2, "--") == 0)
            return Usage();
        else
            paths.push_back(arg);
    }
    if (paths.size() != 2)
        return Usage();

    std::string bytes, error;
    std::vector<MovieFrame> frames;
    if (!ReadAll(paths[0], bytes) || !ReadY4m(bytes, spec, frames, error))
    {
        std::fprintf(stderr, "movieenc: %s: %s\n", paths[0].c_str(),
                     error.empty() ? "cannot be read" : error.c_str());
        return 1;
    }
    if (!wav.empty() && (!ReadAll(wav, bytes) || !ReadWav(bytes, spec, error)))
    {
        std::fprintf(stderr, "movieenc: %s: %s\n", wav.c_str(),
                     error.empty() ? "cannot be read" : error.c_str());
        return 1;
    }
    std::string film;
    if (!movietool::WriteMovie(spec, frames, film, error))
    {
        std::fprintf(stderr, "movieenc: %s\n", error.c_str());
        return 1;
    }
    // Through a temporary name, so that a failed run leaves no half film behind.
    const std::string temporary = paths[1] + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(film.data(), static_cast<std::streamsize>(film.size()));
        if (!out.flush())
        {
            std::fprintf(stderr, "movieenc: %s cannot be written\n", temporary.c_str());
            return 1;
        }
    }
    std::error_code code;
    std::filesystem::rename(temporary, paths[1], code);
    if (code)
    {
        std::fprintf(stderr, "movieenc: %s: %s\n", paths[1].c_str(), code.message().c_str());
        return 1;
    }
    return 0;
}
