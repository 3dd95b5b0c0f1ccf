// The host's chunked streams over a byte buffer.
//
// A chunk is a 2-byte id and a 4-byte length (little-endian; the length
// counts the 6-byte header; bit 31 marks a chunk that holds chunks),
// followed by its content.
#pragma once

#include "host/ioapi.h"

#include <cstdint>
#include <vector>

class ChunkWriter : public ISave {
  public:
    void BeginChunk(USHORT id) override;
    void EndChunk() override;
    IOResult Write(const void* buf, ULONG nbytes, ULONG* nwrit) override;

    // False when a chunk grew past 2 GiB or chunks were left open.
    bool ok() const { return ok_ && open_.empty(); }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

  private:
    std::vector<std::uint8_t> bytes_;
    std::vector<std::size_t> open_; // header offsets
    std::vector<bool> has_children_;
    bool ok_ = true;
};

class ChunkReader : public ILoad {
  public:
    // Borrows the bytes until the reader is destroyed.
    ChunkReader(const std::uint8_t* data, std::size_t size);

    IOResult OpenChunk() override;
    USHORT CurChunkID() override;
    IOResult CloseChunk() override;
    IOResult Read(void* buf, ULONG nbytes, ULONG* nread) override;
    std::uint64_t BytesLeft() override;
    void RegisterPostLoadCallback(PostLoadCallback* cb) override { callbacks_.push_back(cb); }

    // Whether a chunk header was damaged or claimed more than was there.
    bool Damaged() const { return damaged_; }

    // Runs the registered callbacks by priority (lower first), then forgets
    // them.
    void RunPostLoadCallbacks();

  private:
    struct Frame {
        std::size_t begin, end;
        USHORT id;
    };
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    std::vector<Frame> frames_;
    std::vector<PostLoadCallback*> callbacks_;
    bool damaged_ = false;
};
