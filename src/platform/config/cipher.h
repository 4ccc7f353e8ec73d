// TCipher (Blowfish in ECB mode, raw or as base64 text), base64 coding and fresh GUIDs.
#pragma once

#include "platform/strings/tstring.h"

#include <cstdint>
#include <memory>

class TBlowfish;

class TCipher
{
public:
    // `key` is the "encryptionkey" text; the Blowfish key is built from it.
    explicit TCipher(const TString& key);
    ~TCipher();
    TCipher(const TCipher&) = delete;
    TCipher& operator=(const TCipher&) = delete;

    // Pads with 1-8 bytes each holding the pad count, then enciphers every block. Returns 0 when
    // the result was copied to dest, else the size dest needs (with asBase64, text plus NUL).
    int Encrypt(const void* src, int length, void* dest, int destSize, bool asBase64);
    // The reverse; the plain length is the input length minus the last byte taken as a signed
    // byte, or 0 when that falls outside 0..input length. Returns as Encrypt does.
    int Decrypt(const void* src, int length, void* dest, int destSize, bool fromBase64);
    // The length of the last output copied.
    int GetLastLength() const { return mLastLength; }
    // Deciphers a text; empty when the result is empty.
    TString DecryptString(const TString& text, bool fromBase64);

    // The 9 key bytes made from a key text (exposed so that the fixed filler and suffix are
    // pinned).
    static void BuildKey(const TString& keyText, uint8_t key[9]);

private:
    std::unique_ptr<TBlowfish> mState;
    int mLastLength = 0;
};

int Base64EncodedSize(int n);
// Standard alphabet, "=" padding, no line breaks; no NUL is added. Returns the characters written.
int Base64Encode(char* dest, const void* src, int n);
int Base64DecodedSize(int n);
// Completes a text whose length is not a multiple of 4 with "="; returns the bytes written.
// Characters outside the alphabet count as 0.
int Base64Decode(void* dest, const char* src, int n);

// A fresh GUID from the operating system, as 16 bytes or as the same bytes read as four
// little-endian words.
void CreateGuid(uint8_t record[16]);
void CreateGuid(uint32_t words[4]);
// A fresh GUID as 32 lower-case hexadecimal digits (through GuidString).
TString NewGuidString();
// A GUID record's 16 bytes read as four little-endian words in memory order, "%08x" each.
TString GuidString(const uint8_t record[16]);
