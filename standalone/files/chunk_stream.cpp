#include "standalone/files/chunk_stream.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr std::size_t kHeader = 6;
constexpr std::uint32_t kContainerBit = 0x80000000u;
} // namespace

void ChunkWriter::BeginChunk(USHORT id) {
    if (!has_children_.empty()) {
        has_children_.back() = true;
    }
    open_.push_back(bytes_.size());
    has_children_.push_back(false);
    bytes_.push_back(static_cast<std::uint8_t>(id & 0xFF));
    bytes_.push_back(static_cast<std::uint8_t>(id >> 8));
    bytes_.insert(bytes_.end(), 4, 0);
}

void ChunkWriter::EndChunk() {
    if (open_.empty()) {
        ok_ = false;
        return;
    }
    const std::size_t start = open_.back();
    const std::size_t length = bytes_.size() - start;
    if (length >= kContainerBit) {
        ok_ = false;
    }
    std::uint32_t word = static_cast<std::uint32_t>(length & 0x7FFFFFFF);
    if (has_children_.back()) {
        word |= kContainerBit;
    }
    for (int i = 0; i < 4; ++i) {
        bytes_[start + 2 + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(word >> (8 * i));
    }
    open_.pop_back();
    has_children_.pop_back();
}

IOResult ChunkWriter::Write(const void* buf, ULONG nbytes, ULONG* nwrit) {
    const auto* p = static_cast<const std::uint8_t*>(buf);
    bytes_.insert(bytes_.end(), p, p + nbytes);
    if (nwrit != nullptr) {
        *nwrit = nbytes;
    }
    return IO_OK;
}

ChunkReader::ChunkReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

IOResult ChunkReader::OpenChunk() {
    const std::size_t end = frames_.empty() ? size_ : frames_.back().end;
    if (pos_ >= end) {
        return IO_END;
    }
    if (end - pos_ < kHeader) {
        damaged_ = true;
        return IO_ERROR;
    }
    const USHORT id = static_cast<USHORT>(data_[pos_] | (data_[pos_ + 1] << 8));
    std::uint32_t word = 0;
    for (int i = 0; i < 4; ++i) {
        word |= static_cast<std::uint32_t>(data_[pos_ + 2 + static_cast<std::size_t>(i)])
                << (8 * i);
    }
    const std::size_t length = word & ~kContainerBit;
    if (length < kHeader) {
        damaged_ = true;
        return IO_ERROR;
    }
    // A chunk that claims more than its parent holds (a cut file) is read up
    // to where the parent ends; the reads past that fail.
    if (length > end - pos_) {
        damaged_ = true;
    }
    frames_.push_back({pos_, pos_ + std::min(length, end - pos_), id});
    pos_ += kHeader;
    return IO_OK;
}

USHORT ChunkReader::CurChunkID() {
    return frames_.empty() ? 0 : frames_.back().id;
}

IOResult ChunkReader::CloseChunk() {
    if (frames_.empty()) {
        return IO_ERROR;
    }
    pos_ = frames_.back().end;
    frames_.pop_back();
    return IO_OK;
}

std::uint64_t ChunkReader::BytesLeft() {
    const std::size_t end = frames_.empty() ? size_ : frames_.back().end;
    return pos_ < end ? end - pos_ : 0;
}

IOResult ChunkReader::Read(void* buf, ULONG nbytes, ULONG* nread) {
    const std::uint64_t left = BytesLeft();
    const auto n = static_cast<ULONG>(std::min<std::uint64_t>(left, nbytes));
    if (n > 0) {
        std::memcpy(buf, data_ + pos_, n);
    }
    pos_ += n;
    if (nread != nullptr) {
        *nread = n;
    }
    return n == nbytes ? IO_OK : IO_ERROR;
}

void ChunkReader::RunPostLoadCallbacks() {
    std::stable_sort(
        callbacks_.begin(), callbacks_.end(),
        [](PostLoadCallback* a, PostLoadCallback* b) { return a->Priority() < b->Priority(); });
    const auto callbacks = std::move(callbacks_);
    callbacks_.clear();
    for (PostLoadCallback* cb : callbacks) {
        cb->proc(this);
    }
}
