// Little-endian fields in the host's chunk streams. Every call reports
// whether the whole field went through; readers never allocate more than the
// chunk can still hold.
#pragma once

#include "host/ioapi.h"

#include <cstdint>
#include <string>
#include <vector>

bool write_bytes(ISave* s, const void* data, std::size_t size);
bool write_u32(ISave* s, std::uint32_t v);
bool write_i32(ISave* s, std::int32_t v);
bool write_u64(ISave* s, std::uint64_t v);
bool write_f32(ISave* s, float v);

bool read_bytes(ILoad* l, void* data, std::size_t size);
bool read_u32(ILoad* l, std::uint32_t& v);
bool read_i32(ILoad* l, std::int32_t& v);
bool read_u64(ILoad* l, std::uint64_t& v);
bool read_f32(ILoad* l, float& v);
// count items of item_size bytes each: false, reading nothing, when the
// chunk holds fewer bytes than that.
bool fits(ILoad* l, std::uint64_t count, std::uint64_t item_size);
bool read_string(ILoad* l, std::uint64_t length, std::string& out);
bool read_u32_array(ILoad* l, std::uint64_t count, std::vector<std::uint32_t>& out);
