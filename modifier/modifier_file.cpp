// The modifier's saved data: a header chunk and one chunk with every set,
// plus the chunks older versions wrote for their single set.
#include "host/chunk_io.h"
#include "modifier/vellumar_modifier.h"

namespace {

bool save_set(ISave* s, std::uint64_t key, const UnwrapUVSet& set) {
    bool ok = write_u64(s, key) && write_u64(s, set.groupName.size()) &&
              write_bytes(s, set.groupName.data(), set.groupName.size()) &&
              write_i32(s, set.mapChannel) && write_i32(s, set.mapCount) &&
              write_i32(s, set.mapIndex) && write_u32(s, set.numFaceIndices);
    for (std::uint32_t i = 0; ok && i < set.numFaceIndices; ++i) {
        ok = write_u32(s, set.faceIndices[i]);
    }
    ok = ok && write_u32(s, set.numVertices);
    for (std::uint32_t i = 0; ok && i < set.numVertices; ++i) {
        const Point3& p = set.vertices[i];
        ok = write_f32(s, p.x) && write_f32(s, p.y) && write_f32(s, p.z);
    }
    return ok && write_u64(s, set.sourceKey) && write_u64(s, set.stamp);
}

bool read_faces_and_vertices(ILoad* l, UnwrapUVSet& set) {
    std::uint32_t faces = 0, vertices = 0;
    if (!read_u32(l, faces) || !read_u32_array(l, faces, set.faceIndices)) {
        return false;
    }
    set.numFaceIndices = faces;
    if (!read_u32(l, vertices) || !fits(l, vertices, 12)) {
        return false;
    }
    set.vertices.resize(vertices);
    for (Point3& p : set.vertices) {
        if (!read_f32(l, p.x) || !read_f32(l, p.y) || !read_f32(l, p.z)) {
            return false;
        }
    }
    set.numVertices = vertices;
    return true;
}

} // namespace

IOResult VellumarModifier::Save(ISave* isave) {
    const IOResult base = Modifier::Save(isave);
    if (base != IO_OK) {
        return base;
    }
    isave->BeginChunk(kHeaderChunk);
    const bool header = write_u64(isave, sizeof kSignature) &&
                        write_bytes(isave, kSignature, sizeof kSignature) &&
                        write_u32(isave, kFileVersion);
    isave->EndChunk();
    if (!header) {
        return IO_ERROR;
    }
    isave->BeginChunk(kSetsChunk);
    bool ok = write_u64(isave, sets_.size());
    for (auto it = sets_.begin(); ok && it != sets_.end(); ++it) {
        ok = save_set(isave, it->first, it->second);
    }
    isave->EndChunk();
    return ok ? IO_OK : IO_ERROR;
}

IOResult VellumarModifier::Load(ILoad* iload) {
    iload->RegisterPostLoadCallback(this);
    if (Modifier::Load(iload) != IO_OK) {
        return IO_OK;
    }
    UnwrapUVSet legacy;
    legacy.stamp = MakeUniqueStamp();
    legacy.groupName = "Vellumar Unwrap";
    bool legacy_read = false;
    std::uint32_t version = 0;

    // Reads the sets chunk; false at the first damaged field.
    auto read_sets = [&]() -> bool {
        std::uint32_t low = 0, high = 0;
        if (!read_u32(iload, low) || !read_u32(iload, high)) {
            return false;
        }
        // An older layout wrote a 32-bit count and 32-bit name lengths, so
        // what follows its count is already the first key.
        const bool older = high != 0;
        const std::uint64_t count = older ? low : (static_cast<std::uint64_t>(high) << 32 | low);
        for (std::uint64_t i = 0; i < count; ++i) {
            UnwrapUVSet set;
            std::uint64_t key = 0, name_length = 0;
            if (older && i == 0) {
                std::uint32_t key_high = 0;
                if (!read_u32(iload, key_high)) {
                    return false;
                }
                key = static_cast<std::uint64_t>(key_high) << 32 | high;
            } else if (!read_u64(iload, key)) {
                return false;
            }
            if (older) {
                std::uint32_t length32 = 0;
                if (!read_u32(iload, length32)) {
                    return false;
                }
                name_length = length32;
            } else if (!read_u64(iload, name_length)) {
                return false;
            }
            if (!read_string(iload, name_length, set.groupName) ||
                !read_i32(iload, set.mapChannel) || !read_i32(iload, set.mapCount) ||
                !read_i32(iload, set.mapIndex) || !read_faces_and_vertices(iload, set)) {
                return false;
            }
            if (version >= kFirstVersionWithStamps) {
                if (!read_u64(iload, set.sourceKey) || !read_u64(iload, set.stamp)) {
                    return false;
                }
            } else {
                set.stamp = MakeUniqueStamp();
            }
            sets_[key] = std::move(set);
        }
        return true;
    };

    while (iload->OpenChunk() == IO_OK) {
        bool ok = true;
        switch (iload->CurChunkID()) {
        case kOldSetChunk:
            ok = read_faces_and_vertices(iload, legacy);
            legacy_read = ok;
            break;
        case kOldChannelChunk: {
            ok = read_i32(iload, legacy.mapChannel);
            // Two old fields nobody reads any more.
            char ignored[32];
            read_bytes(iload, ignored, 26);
            read_bytes(iload, ignored, 32);
            break;
        }
        case kOldMapIndexChunk:
            ok = read_i32(iload, legacy.mapIndex);
            break;
        case kHeaderChunk: {
            std::uint64_t length = 0;
            std::string signature;
            ok = read_u64(iload, length) && read_string(iload, length, signature) &&
                 read_u32(iload, version);
            break;
        }
        case kSetsChunk:
            ok = read_sets();
            break;
        default:
            break;
        }
        iload->CloseChunk();
        if (!ok) {
            break;
        }
    }
    if (legacy_read && legacy.numFaceIndices > 0 && legacy.numVertices > 0) {
        sets_.clear();
        sets_[1] = std::move(legacy);
    }
    return IO_OK;
}
