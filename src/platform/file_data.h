// The two plain kinds of open file: TDiskFileData on a buffered stream, TMemoryFile on a memory
// block.
#pragma once

#include "platform/file.h"

#include <cstdint>
#include <cstdio>

class TDiskFileData : public TFileData
{
public:
    TDiskFileData() = default;
    ~TDiskFileData() override;

    bool Open(const TString& location, int mode) override;
    int Close() override;
    void UngetLast() override;
    void Seek(int offset, int origin) override;
    int Length() override;
    int Tell() override;
    int Read(void* buffer, int count) override;
    int Write(const void* buffer, int count) override;
    bool AtEnd() override;

private:
    FILE* mStream = nullptr;
    int mLastRead = -1;
    // Text reads drop the CR of each CR LF pair; text writes keep LF as it is.
    bool mTextRead = false;
    // A whole-file write goes to a temporary name and replaces the file only when it is closed, so
    // an interrupted save never leaves a half-written file behind.
    TString mTempPath;
    TString mFinalPath;
};

class TMemoryFile : public TFileData
{
public:
    TMemoryFile() = default;
    ~TMemoryFile() override;

    bool Open(const TString& location, int mode) override;
    int Close() override;
    void UngetLast() override;
    void Seek(int offset, int origin) override;
    int Length() override;
    int Tell() override;
    int Read(void* buffer, int count) override;
    int Write(const void* buffer, int count) override;
    bool AtEnd() override;

private:
    const uint8_t* mStart = nullptr;
    uint32_t mPosition = 0;
    uint32_t mSize = 0;
    int mMode = 0;
};
