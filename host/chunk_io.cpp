#include "host/chunk_io.h"

#include <cstring>
#include <limits>

namespace {

template <class T> bool write_le(ISave* s, T v) {
    std::uint8_t b[sizeof(T)];
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof(T));
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        b[i] = static_cast<std::uint8_t>(bits >> (8 * i));
    }
    return write_bytes(s, b, sizeof(T));
}

template <class T> bool read_le(ILoad* l, T& v) {
    std::uint8_t b[sizeof(T)];
    if (!read_bytes(l, b, sizeof(T))) {
        return false;
    }
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        bits |= static_cast<std::uint64_t>(b[i]) << (8 * i);
    }
    std::memcpy(&v, &bits, sizeof(T));
    return true;
}

} // namespace

bool write_bytes(ISave* s, const void* data, std::size_t size) {
    if (size > std::numeric_limits<ULONG>::max()) {
        return false;
    }
    ULONG written = 0;
    return s->Write(data, static_cast<ULONG>(size), &written) == IO_OK && written == size;
}
bool write_u32(ISave* s, std::uint32_t v) {
    return write_le(s, v);
}
bool write_i32(ISave* s, std::int32_t v) {
    return write_le(s, v);
}
bool write_u64(ISave* s, std::uint64_t v) {
    return write_le(s, v);
}
bool write_f32(ISave* s, float v) {
    return write_le(s, v);
}

bool read_bytes(ILoad* l, void* data, std::size_t size) {
    if (size > std::numeric_limits<ULONG>::max()) {
        return false;
    }
    ULONG got = 0;
    return l->Read(data, static_cast<ULONG>(size), &got) == IO_OK && got == size;
}
bool read_u32(ILoad* l, std::uint32_t& v) {
    return read_le(l, v);
}
bool read_i32(ILoad* l, std::int32_t& v) {
    return read_le(l, v);
}
bool read_u64(ILoad* l, std::uint64_t& v) {
    return read_le(l, v);
}
bool read_f32(ILoad* l, float& v) {
    return read_le(l, v);
}

bool fits(ILoad* l, std::uint64_t count, std::uint64_t item_size) {
    return item_size == 0 || count <= l->BytesLeft() / item_size;
}

bool read_string(ILoad* l, std::uint64_t length, std::string& out) {
    if (!fits(l, length, 1)) {
        return false;
    }
    out.resize(static_cast<std::size_t>(length));
    return read_bytes(l, out.data(), out.size());
}

bool read_u32_array(ILoad* l, std::uint64_t count, std::vector<std::uint32_t>& out) {
    if (!fits(l, count, 4)) {
        return false;
    }
    out.resize(static_cast<std::size_t>(count));
    for (std::uint32_t& v : out) {
        if (!read_u32(l, v)) {
            return false;
        }
    }
    return true;
}
