// Damaging Ogg files (films, sounds) for tests: every page handed to an edit of its header and
// body, and its checksum made right again, so that only what the edit changed is wrong.
#pragma once

#include <cstdint>
#include <string>

namespace testsupport
{

// The page checksum (polynomial 0x04C11DB7, unreflected, from 0) of the page with its checksum
// field zero.
inline uint32_t OggChecksum(const std::string& page)
{
    uint32_t crc = 0;
    for (unsigned char byte : page)
    {
        crc ^= uint32_t(byte) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 0x80000000u ? crc << 1 ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

// The file with edit(header, body) run on each whole page ("OggS", 27 bytes and the segment
// table; then the body): serial at header byte 14, granule at 6 (both little-endian). Bytes after
// the last whole page are dropped.
template <class Edit> std::string EditOggPages(const std::string& file, Edit edit)
{
    std::string out;
    for (size_t at = 0; at + 27 <= file.size() && file.compare(at, 4, "OggS") == 0;)
    {
        const size_t segments = static_cast<unsigned char>(file[at + 26]);
        size_t bodySize = 0;
        for (size_t i = 0; i < segments && at + 27 + i < file.size(); ++i)
            bodySize += static_cast<unsigned char>(file[at + 27 + i]);
        if (at + 27 + segments + bodySize > file.size())
            break;
        std::string header = file.substr(at, 27 + segments);
        std::string body = file.substr(at + 27 + segments, bodySize);
        at += header.size() + bodySize;
        edit(header, body);
        header.replace(22, 4, 4, '\0');
        const uint32_t crc = OggChecksum(header + body);
        for (int i = 0; i < 4; ++i)
            header[22 + i] = static_cast<char>(crc >> (8 * i));
        out += header + body;
    }
    return out;
}

inline uint32_t OggSerial(const std::string& header)
{
    uint32_t serial = 0;
    for (int i = 3; i >= 0; --i)
        serial = serial << 8 | static_cast<unsigned char>(header[14 + i]);
    return serial;
}

// Writes `value` into `bytes` at `at`, `count` bytes, most significant first when `big`.
inline void PutNumber(std::string& bytes, size_t at, uint64_t value, int count, bool big)
{
    for (int i = 0; i < count; ++i)
        bytes[at + (big ? count - 1 - i : i)] = static_cast<char>(value >> (8 * i));
}

// Films claiming what no film is: a Theora frame rate, a Vorbis sample rate, and granule
// positions near 2^63 on every page past the headers (both streams).
inline std::string WithFrameRate(const std::string& film, uint32_t numerator, uint32_t denominator)
{
    return EditOggPages(film,
                        [&](std::string&, std::string& body)
                        {
                            if (body.compare(0, 7, "\x80theora") == 0)
                            {
                                PutNumber(body, 22, numerator, 4, true);
                                PutNumber(body, 26, denominator, 4, true);
                            }
                        });
}

inline std::string WithSoundRate(const std::string& film, uint32_t rate)
{
    return EditOggPages(film,
                        [&](std::string&, std::string& body)
                        {
                            if (body.compare(0, 7, "\x01vorbis") == 0)
                                PutNumber(body, 12, rate, 4, false);
                        });
}

inline std::string WithFarGranules(const std::string& film)
{
    uint64_t next = 0x7FFFFFFFFFFF0000u;
    return EditOggPages(film,
                        [&](std::string& header, std::string&)
                        {
                            int64_t granule = 0;
                            for (int i = 7; i >= 0; --i)
                                granule = granule << 8 | static_cast<unsigned char>(header[6 + i]);
                            if (granule > 0)
                                PutNumber(header, 6, next++, 8, false);
                        });
}

} // namespace testsupport
