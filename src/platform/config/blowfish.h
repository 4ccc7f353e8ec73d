// The Blowfish block cipher: key schedule and 8-byte block encryption, halves read big-endian.
#pragma once

#include <cstdint>

class TBlowfish
{
public:
    static constexpr int kRounds = 16;
    static constexpr int kInitialWordCount = 18 + 4 * 256;

    // Runs the key schedule (1 to 56 key bytes are meaningful; more are cut).
    void SetKey(const uint8_t* key, int length);
    void EncryptBlock(uint8_t block[8]) const;
    void DecryptBlock(uint8_t block[8]) const;

    // The cipher's initial P-array followed by the four S-boxes: the fractional hexadecimal digits
    // of pi, 32 bits a word, computed once on first use.
    static const uint32_t* InitialWords();

private:
    uint32_t F(uint32_t x) const;
    void Encipher(uint32_t& left, uint32_t& right) const;
    void Decipher(uint32_t& left, uint32_t& right) const;

    uint32_t mP[18];
    uint32_t mS[4][256];
};
