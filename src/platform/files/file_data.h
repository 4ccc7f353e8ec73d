// The two plain kinds of open file: TDiskFileData on a buffered stream, TMemoryFile on a memory
// block.
#pragma once

#include "platform/files/file.h"

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
    TString GetError() const override { return mError; }
    bool Refused() const override { return mRefused; }
    int ReadError() const override { return mReadError; }
    void Discard() override;
    void SetReplaceCheck(TReplaceCheck check) override { mReplaceCheck = std::move(check); }
    // A whole-file write (binary) whose close never replaces anything: it fails when a file of the
    // name is there by then, whoever put it there.
    bool OpenNew(const TString& location);

private:
    FILE* mStream = nullptr;
    TString mError;
    bool mRefused = false;
    bool mNoReplace = false;
    bool mWriting = false;
    // The system's error of the first write that fell short: the file is not whole, so its close
    // must not put it in place of the old one.
    int mWriteError = 0;
    int mReadError = 0;
    int mLastRead = -1;
    // Text reads drop the CR of each CR LF pair; text writes keep LF as it is.
    bool mTextRead = false;
    // A whole-file write goes to a temporary name and replaces the file only when it is closed, so
    // an interrupted save never leaves a half-written file behind.
    TString mTempPath;
    TString mFinalPath;
    TReplaceCheck mReplaceCheck;
};

// Reading and seeking inside a block of bytes, shared by memory files and pack entries. Text mode
// drops every CR. `ReadFromBlock` answers the bytes delivered and advances `position`;
// `SeekInBlock` answers the new position, or `size + 1` when the target lies past the end.
int ReadFromBlock(const uint8_t* start, uint32_t size, uint32_t& position, uint32_t wanted,
                  bool textMode, void* buffer);
uint32_t SeekInBlock(uint32_t position, uint32_t size, int offset, int origin);

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
