#include "standalone/core.h"
#include "standalone/files/importer.h"
#include "standalone/files/scene_file.h"
#include "standalone/scene/node_animation.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

void expect_near(const Matrix3& a, const Matrix3& b, float tolerance) {
    for (int r = 0; r < 4; ++r) {
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(a.GetRow(r)[k], b.GetRow(r)[k], tolerance) << "row " << r << " axis " << k;
        }
    }
}

} // namespace

TEST(NodeAnimation, KeysHoldExactlyAndPartsInterpolateBetweenThem) {
    TransformTrack track;
    track.position = {{0, Point3(0, 0, 0)}, {160, Point3(10, 0, 0)}, {480, Point3(10, 4, 0)}};
    const float h = std::sqrt(0.5f);
    track.rotation = {{0, Quat{0, 0, 0, 1}}, {320, Quat{0, 0, h, h}}}; // 90 degrees about z
    track.scale = {{0, Point3(1, 1, 1)}, {320, Point3(3, 3, 3)}};
    EXPECT_EQ(track.PositionAt(160), Point3(10, 0, 0));
    EXPECT_EQ(track.PositionAt(80), Point3(5, 0, 0));
    EXPECT_EQ(track.PositionAt(320), Point3(10, 2, 0));
    EXPECT_EQ(track.PositionAt(-100), Point3(0, 0, 0)) << "the first key holds before it";
    EXPECT_EQ(track.PositionAt(9999), Point3(10, 4, 0)) << "the last key holds after it";
    EXPECT_EQ(track.RotationAt(320), (Quat{0, 0, h, h}));
    EXPECT_EQ(track.ScaleAt(160), Point3(2, 2, 2));

    // Halfway the x axis has turned 45 degrees and doubled, then moved.
    const Matrix3 m = track.At(160);
    EXPECT_NEAR(m.GetRow(0).x, 2 * h, 1e-6f);
    EXPECT_NEAR(m.GetRow(0).y, 2 * h, 1e-6f);
    EXPECT_EQ(m.GetTrans(), Point3(10, 0, 0));
    const Matrix3 end = track.At(320);
    EXPECT_NEAR(end.GetRow(0).y, 3.0f, 1e-6f);
    EXPECT_NEAR(end.GetRow(1).x, -3.0f, 1e-6f);

    // A keyed parent carries the fixed child.
    NodeAnimation chain;
    chain.Append(std::make_shared<TransformTrack>(track));
    Matrix3 offset;
    offset.SetTrans(Point3(1, 0, 0));
    chain.Append(offset);
    EXPECT_TRUE(chain.Animated());
    expect_near(chain.Evaluate(320), offset * end, 0);
}

// Each box of the file hangs below the one before it, and every box turns:
// a box's place is the product of all the keyed transforms above it.
TEST(NodeAnimation, ImportedNodesFollowTheKeysOfEveryNodeAboveThem) {
    const std::string path =
        std::string(VELLUMAR_ASSIMP_MODELS) + "/Collada/anims_with_full_rotations_between_keys.DAE";
    Scene scene;
    const ImportResult r = import_scene(path, scene);
    ASSERT_TRUE(r.ok) << r.error;
    SceneNode* box = scene.NodeByName(L"Box003-Pivot");
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(box->Animation().Animated());

    Assimp::Importer importer;
    const aiScene* s = importer.ReadFile(path, aiProcess_ValidateDataStructure);
    ASSERT_NE(s, nullptr);
    const aiAnimation& anim = *s->mAnimations[0];
    const aiNode* node = s->mRootNode->FindNode("Box003-Pivot");
    ASSERT_NE(node, nullptr);
    const aiNodeAnim* own = nullptr;
    for (unsigned c = 0; c < anim.mNumChannels; ++c) {
        own = anim.mChannels[c]->mNodeName == node->mParent->mName ? anim.mChannels[c] : own;
    }
    ASSERT_NE(own, nullptr);
    ASSERT_GE(own->mNumPositionKeys, 3u);
    const double ticks = 4800.0 / anim.mTicksPerSecond;

    // Key k of every channel, placed as Assimp places them, in the Y-up
    // world Collada files become; the host turns that Z-up.
    auto assimp_world = [&](unsigned k) {
        aiMatrix4x4 world;
        for (const aiNode* n = node; n != nullptr; n = n->mParent) {
            aiMatrix4x4 local = n->mTransformation;
            for (unsigned c = 0; c < anim.mNumChannels; ++c) {
                const aiNodeAnim* ch = anim.mChannels[c];
                if (ch->mNodeName == n->mName) {
                    local = aiMatrix4x4(ch->mScalingKeys[k].mValue, ch->mRotationKeys[k].mValue,
                                        ch->mPositionKeys[k].mValue);
                }
            }
            world = local * world;
        }
        world = aiMatrix4x4(1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1) * world;
        Matrix3 m;
        for (int i = 0; i < 3; ++i) {
            m.SetRow(i, Point3(world[0][i], world[1][i], world[2][i]));
        }
        m.SetTrans(Point3(world.a4, world.b4, world.c4));
        return m;
    };
    for (unsigned k = 1; k < 3; ++k) {
        const TimeValue t = TimeValue(std::lround(own->mPositionKeys[k].mTime * ticks));
        expect_near(box->GetObjectTM(t), assimp_world(k), 1e-3f);
        // The box's parent keys come through unchanged.
        const auto& links = box->Animation().Links();
        ASSERT_GE(links.size(), 2u);
        const TransformTrack* parent = links[links.size() - 2].track.get();
        ASSERT_NE(parent, nullptr);
        const aiVector3D p = own->mPositionKeys[k].mValue;
        EXPECT_EQ(parent->PositionAt(t), Point3(p.x, p.y, p.z));
    }
    const TimeValue t1 = TimeValue(std::lround(own->mPositionKeys[1].mTime * ticks));
    const TimeValue t2 = TimeValue(std::lround(own->mPositionKeys[2].mTime * ticks));
    EXPECT_FALSE(box->GetObjectTM(t1).GetRow(0) == box->GetObjectTM(t2).GetRow(0));

    // Saved and loaded, the boxes move as they did, and save as they were.
    StandaloneCore core;
    import_scene(path, core.scene());
    const std::vector<std::uint8_t> bytes = scene_bytes(core);
    StandaloneCore other;
    const SceneFileResult loaded = load_scene_bytes(other, bytes.data(), bytes.size());
    ASSERT_TRUE(loaded.ok) << loaded.error;
    EXPECT_TRUE(loaded.warnings.empty());
    SceneNode* again = other.scene().NodeByName(L"Box003-Pivot");
    ASSERT_NE(again, nullptr);
    for (TimeValue t : {t1, t2, (t1 + t2) / 2}) {
        expect_near(again->GetObjectTM(t), box->GetObjectTM(t), 0);
    }
    EXPECT_EQ(scene_bytes(other), bytes);
}

TEST(NodeAnimation, DamagedAnimationChunksLeaveTheNodeStandingStill) {
    StandaloneCore core;
    TransformTrack track;
    track.position = {{0, Point3(0, 0, 0)}, {160, Point3(1, 2, 3)}};
    NodeAnimation anim;
    anim.Append(std::make_shared<TransformTrack>(track));
    SceneNode* node = core.scene().CreateNode(L"n", nullptr);
    node->SetAnimation(anim);
    const std::vector<std::uint8_t> bytes = scene_bytes(core);
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
        StandaloneCore other;
        load_scene_bytes(other, bytes.data(), cut);
    }
    // Keys out of time order: the second key's time becomes -1.
    std::vector<std::uint8_t> bad = bytes;
    const std::uint8_t second[] = {0xA0, 0, 0, 0, 0, 0, 0x80, 0x3F};
    const auto at = std::search(bad.begin(), bad.end(), std::begin(second), std::end(second));
    ASSERT_NE(at, bad.end());
    std::fill(at, at + 4, 0xFF);
    StandaloneCore other;
    const SceneFileResult r = load_scene_bytes(other, bad.data(), bad.size());
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.warnings,
              std::vector<std::string>{"object 'n': its animation is damaged; it stands still"});
    EXPECT_FALSE(other.scene().NodeByName(L"n")->Animation().Animated());
}
