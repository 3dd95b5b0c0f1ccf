#include "host/chunk_io.h"
#include "modifier/vellumar_modifier.h"
#include "standalone/files/chunk_stream.h"
#include "support/test_host.h"

#include <cstring>

namespace {

std::vector<std::uint8_t> from_hex(const std::string& hex) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

// One set: key 0x0102030405060708, "Chairs", channel 2, map 0 of 3, one
// triangle (0 1 2) over (0,0,0) (1,0,0) (0,1,0), no source, stamp
// 0x1122334455667788.
const std::vector<std::uint8_t> kOneSet =
    from_hex("10041a0000000800000000000000466572756c616e65b8560000110478000000"
             "0100000000000000080706050403020106000000000000004368616972730200"
             "0000030000000000000003000000000000000100000002000000030000000000"
             "000000000000000000000000803f0000000000000000000000000000803f0000"
             "000000000000000000008877665544332211");

void load(VellumarModifier& mod, const std::vector<std::uint8_t>& bytes) {
    ChunkReader in(bytes.data(), bytes.size());
    EXPECT_EQ(mod.Load(&in), IO_OK);
}

std::vector<std::uint8_t> save(VellumarModifier& mod) {
    ChunkWriter out;
    EXPECT_EQ(mod.Save(&out), IO_OK);
    EXPECT_TRUE(out.ok());
    return out.bytes();
}

// Little-endian byte builder for hand-made streams.
struct Bytes {
    std::vector<std::uint8_t> b;
    template <class T> Bytes& le(T v) {
        std::uint8_t raw[sizeof(T)];
        std::memcpy(raw, &v, sizeof(T));
        b.insert(b.end(), raw, raw + sizeof(T));
        return *this;
    }
    Bytes& text(const std::string& s) {
        b.insert(b.end(), s.begin(), s.end());
        return *this;
    }
    Bytes& chunk(std::uint16_t id, const Bytes& payload) {
        le(id).le(static_cast<std::uint32_t>(6 + payload.b.size()));
        b.insert(b.end(), payload.b.begin(), payload.b.end());
        return *this;
    }
};

// The "Chairs" set as the older layout wrote it: a 32-bit count whose next
// word is already the first key, 32-bit name lengths.
Bytes older_layout(std::uint32_t version) {
    Bytes header, sets;
    header.le<std::uint64_t>(8).text("Ferulane").le(version);
    sets.le<std::uint32_t>(1)
        .le<std::uint64_t>(0x0102030405060708)
        .le<std::uint32_t>(6)
        .text("Chairs");
    sets.le<std::int32_t>(2).le<std::int32_t>(3).le<std::int32_t>(0);
    sets.le<std::uint32_t>(3).le<std::uint32_t>(0).le<std::uint32_t>(1).le<std::uint32_t>(2);
    sets.le<std::uint32_t>(3);
    for (float f : {0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 0.f}) {
        sets.le(f);
    }
    if (version >= kFirstVersionWithStamps) {
        sets.le<std::uint64_t>(0).le<std::uint64_t>(0x1122334455667788);
    }
    Bytes all;
    all.chunk(kHeaderChunk, header).chunk(kSetsChunk, sets);
    return all;
}

} // namespace

TEST_F(HostTest, SavedSetsMatchTheFileFormatByteForByte) {
    VellumarModifier mod;
    load(mod, kOneSet);
    ASSERT_EQ(mod.GetGroupKeys().size(), 1u);
    const UnwrapUVSet* set = mod.FindUVSet(0x0102030405060708);
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->groupName, "Chairs");
    EXPECT_EQ(set->mapCount, 3);
    EXPECT_EQ(set->stamp, 0x1122334455667788u);
    EXPECT_EQ(save(mod), kOneSet);
}

TEST_F(HostTest, OlderLayoutOfTheSetsChunkLoadsTheSameSets) {
    VellumarModifier current, older;
    load(current, kOneSet);
    load(older, older_layout(22200).b);
    EXPECT_EQ(save(older), save(current));

    VellumarModifier before_stamps;
    load(before_stamps, older_layout(21200).b);
    const UnwrapUVSet* set = before_stamps.FindUVSet(0x0102030405060708);
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->sourceKey, 0u);
    EXPECT_NE(set->stamp, 0u) << "a set without a stored stamp still gets a unique one";
    EXPECT_EQ(set->faceIndices, (std::vector<std::uint32_t>{0, 1, 2}));
}

TEST_F(HostTest, OldSingleSetChunksBecomeOneSetUnderKeyOne) {
    Bytes faces, channel, index;
    faces.le<std::uint32_t>(3).le<std::uint32_t>(0).le<std::uint32_t>(1).le<std::uint32_t>(2);
    faces.le<std::uint32_t>(3);
    for (int i = 0; i < 9; ++i) {
        faces.le(0.5f);
    }
    channel.le<std::int32_t>(4).text(std::string(26 + 32, 'x'));
    index.le<std::int32_t>(2);
    Bytes all;
    all.chunk(kOldSetChunk, faces).chunk(kOldChannelChunk, channel).chunk(kOldMapIndexChunk, index);
    VellumarModifier mod;
    load(mod, all.b);
    ASSERT_EQ(mod.GetGroupKeys(), (std::set<std::uint64_t>{1}));
    const UnwrapUVSet* set = mod.FindUVSet(1);
    EXPECT_EQ(set->groupName, "Vellumar Unwrap");
    EXPECT_EQ(set->mapChannel, 4);
    EXPECT_EQ(set->mapIndex, 2);
    EXPECT_EQ(set->numVertices, 3u);

    Bytes empty_faces;
    empty_faces.le<std::uint32_t>(0).le<std::uint32_t>(0);
    Bytes only_empty;
    only_empty.chunk(kOldSetChunk, empty_faces).chunk(kOldChannelChunk, channel);
    VellumarModifier none;
    load(none, only_empty.b);
    EXPECT_TRUE(none.GetGroupKeys().empty());
}

TEST_F(HostTest, DamagedStreamsKeepTheSetsReadBeforeTheDamageAndNeverOverread) {
    // Two sets, then every possible truncation and a few lies about sizes.
    VellumarModifier two;
    load(two, kOneSet);
    UnwrapResult r;
    r.target_channel = 5;
    r.record.vertex_count = 1;
    r.record.uvs = {Point3(0.5f, 0.5f, 0)};
    r.record.index_count = 3;
    r.record.indices = {0, 0, 0};
    two.AddUVSet(0x0F00000000000000, "Tables", r);
    const std::vector<std::uint8_t> full = save(two);
    for (std::size_t cut = 0; cut < full.size(); ++cut) {
        const std::vector<std::uint8_t> part(full.begin(), full.begin() + cut);
        VellumarModifier mod;
        load(mod, part);
        EXPECT_EQ(mod.GetGroupKeys().size(), cut >= kOneSet.size() ? 1u : 0u) << "cut at " << cut;
    }

    // A name length of 2^60 and a face count far beyond the chunk.
    Bytes header, huge_name, huge_faces;
    header.le<std::uint64_t>(8).text("Ferulane").le<std::uint32_t>(22200);
    huge_name.le<std::uint64_t>(1).le<std::uint64_t>(7).le<std::uint64_t>(1ull << 60).text("x");
    huge_faces.le<std::uint64_t>(1).le<std::uint64_t>(7).le<std::uint64_t>(1).text("x");
    huge_faces.le<std::int32_t>(1).le<std::int32_t>(1).le<std::int32_t>(0);
    huge_faces.le<std::uint32_t>(0xFFFFFFF0u).le<std::uint32_t>(1);
    for (const Bytes* sets : {&huge_name, &huge_faces}) {
        Bytes all;
        all.chunk(kHeaderChunk, header).chunk(kSetsChunk, *sets);
        VellumarModifier mod;
        load(mod, all.b);
        EXPECT_TRUE(mod.GetGroupKeys().empty());
    }
}

TEST(MakeUniqueStamp, NeverRepeatsAndGrows) {
    std::uint64_t last = MakeUniqueStamp();
    for (int i = 0; i < 1000; ++i) {
        const std::uint64_t next = MakeUniqueStamp();
        EXPECT_GT(next, last);
        last = next;
    }
}
