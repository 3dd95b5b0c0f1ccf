#include "support/test_host.h"

TEST_F(HostTest, ResetRestoresDefaultsAndKeepsStartupOptionsAndRuntimeTexts) {
    UnwrapSettings& s = settings();
    s.charts = 9;
    s.stretch = 0.9f;
    s.gutter = 30;
    s.use_convex = true;
    s.base_unwrap = UvCopy;
    s.bake_debug = true;
    s.delete_temp_files = false;
    s.job_name = "job7";
    s.reset();
    EXPECT_EQ(s.charts, 0);
    EXPECT_FLOAT_EQ(s.stretch, 0.15f);
    EXPECT_EQ(s.gutter, 4);
    EXPECT_EQ(s.padding, 2);
    EXPECT_EQ(s.port, 3234);
    EXPECT_EQ(s.manager, "localhost");
    EXPECT_EQ(s.netpath, "\\\\server\\");
    EXPECT_EQ(s.bakerangeto, 100);
    EXPECT_FLOAT_EQ(s.angle_concave, 90.0f);
    EXPECT_FLOAT_EQ(s.angle_convex, 90.0f);
    EXPECT_FALSE(s.use_concave);
    EXPECT_FALSE(s.use_convex);
    EXPECT_FLOAT_EQ(s.projection_angle, 45.0f);
    EXPECT_EQ(s.base_unwrap, Organic);
    EXPECT_EQ(s.bakemode, SinglePass);
    EXPECT_EQ(s.unwrapmode, Polygons);
    EXPECT_EQ(s.target_material, "Standard");
    EXPECT_EQ(s.outpath, "images\\");
    EXPECT_TRUE(s.bake_debug);
    EXPECT_FALSE(s.delete_temp_files);
    EXPECT_EQ(s.job_name, "job7");
}

TEST_F(HostTest, ReportShowsANotificationBoxOnlyForLevelsZeroAndTwo) {
    report("first", 0);
    report("quiet", 1);
    report("third", 2);
    report("also quiet", 3);
    ASSERT_EQ(core.messages().size(), 2u);
    EXPECT_EQ(core.messages()[0].caption, L"Notification");
    EXPECT_EQ(message_texts(), (std::vector<std::string>{"first", "third"}));
    EXPECT_EQ(settings().last_message, "also quiet");
}
