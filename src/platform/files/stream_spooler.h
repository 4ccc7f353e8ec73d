// TStreamSpooler fills streaming sound buffers from a TSoundDataSource, the abstract source of
// decoded sound data that the sound layer implements.
#pragma once

#include <cstdint>
#include <memory>

class TSoundDataSource
{
public:
    virtual ~TSoundDataSource() = default;
    // Copies up to `count` bytes from byte `position`; answers the bytes delivered (fewer at the
    // end).
    virtual uint32_t Read(void* buffer, uint32_t position, uint32_t count) = 0;
    virtual int64_t GetLength() = 0;
    virtual int GetRate() = 0;
    virtual int GetChannels() = 0;
    virtual double GetDuration() = 0;
};

class TStreamSpooler
{
public:
    explicit TStreamSpooler(std::shared_ptr<TSoundDataSource> source = nullptr)
        : mSource(std::move(source))
    {
    }
    virtual ~TStreamSpooler() = default;

    // Fills `count` bytes of `buffer` from the read position, silence after the end. With `loop`
    // the source starts over at its end. True when no end was met.
    virtual bool Fill(uint32_t count, void* buffer, uint32_t& written, bool loop);
    // Moves the read position to the 16-bit frame at that time.
    virtual void SetPosition(float seconds);
    virtual float GetDuration();
    // Back to the start of the source.
    virtual void Rewind() { SetPosition(0.0f); }

    uint32_t GetPosition() const { return mPosition; }
    TSoundDataSource* GetSource() const { return mSource.get(); }

protected:
    std::shared_ptr<TSoundDataSource> mSource;
    uint32_t mPosition = 0;
};
