#include "support/temp_folder.h"
#include "support/test_host.h"

#include "settings/preset_values.h"

#include <sys/resource.h>

#include <csignal>

namespace {

ClassDesc* element_class(const std::string& name) {
    for (ClassDesc* desc : AvailableElementClasses()) {
        if (WideToUtf8(desc->ClassName()) == name) {
            return desc;
        }
    }
    ADD_FAILURE() << "no element class " << name;
    return nullptr;
}

BakeParam& param(BakeElementEntry& e, const std::string& name) {
    for (BakeParam& p : e.parameters) {
        if (p.name == name) {
            return p;
        }
    }
    throw std::runtime_error("no parameter " + name);
}

std::string golden(const std::string& name) {
    return read_text(std::string(VELLUMAR_TEST_DATA) + "/presets/" + name);
}

const char* kHead = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<settings>";

class PresetTest : public HostTest {
  protected:
    TempFolder dir;

    // Saving the record as it stands, as a file's text.
    std::string saved_text() {
        const std::string path = dir.file("saved.vl");
        EXPECT_TRUE(settings().save(path));
        return read_text(path);
    }
    bool load_text(const std::string& text) {
        const std::string path = dir.file("loaded.vl");
        write_text(path, text);
        return settings().load(path);
    }
    // Three elements of different classes that between them hold every kind
    // of parameter: legacy flag, text, ranged and unranged float, ranged and
    // unranged int, colour.
    void choose_three_elements() {
        UnwrapSettings& s = settings();
        s.outpath = "D:\\bakes & co";
        BakeElementEntry alpha = CreateEntry(element_class("AlphaMap"));
        param(alpha, "Invert").flagValue = 1;
        alpha.slot = "Opacity";
        BakeElementEntry height = CreateEntry(element_class("HeightMap"));
        param(height, "Max Height").floatValue = 2.5f;
        height.width = 512;
        height.height = 256;
        height.background[0] = 0.5f;
        BakeElementEntry ao = CreateEntry(element_class("AmbientOcclusion"));
        param(ao, "Samples").intValue = 64;
        param(ao, "Seed").intValue = -7;
        param(ao, "Bright").colourValue[1] = 0.25f;
        ao.slot = "Self-Illumination";
        s.elements = {alpha, height, ao};
    }
};

} // namespace

TEST_F(PresetTest, DefaultsAreWrittenAsTheDeclarationAndOneLongLineAndReadBackUnchanged) {
    const std::string text = saved_text();
    EXPECT_EQ(text, golden("defaults.vl"));
    EXPECT_EQ(text.rfind(std::string(kHead) +
                             "<channel>1</channel><charts>0</charts><stretch>0.15000001</stretch>",
                         0),
              0u);
    EXPECT_NE(text.find("<ratio>1</ratio><aspectlock>true</aspectlock><angle_concave>90"
                        "</angle_concave>"),
              std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
    EXPECT_EQ(text.find("bakeelements"), std::string::npos);

    settings().channel = 7;
    settings().stretch = 0.9f;
    settings().reset();
    ASSERT_TRUE(settings().load(dir.file("saved.vl")));
    EXPECT_EQ(saved_text(), golden("defaults.vl"));
    EXPECT_EQ(settings().stretch, 0.15f);
}

TEST_F(PresetTest, ThreeElementsOfDifferentClassesAreWrittenExactlyAndComeBackTheSame) {
    choose_three_elements();
    const std::string text = saved_text();
    EXPECT_EQ(text, golden("three_elements.vl"));
    // The text parameter keeps its place but carries no value.
    EXPECT_NE(text.find("<parameter><name>Source Slot</name><type>8</type></parameter>"),
              std::string::npos);
    EXPECT_NE(text.find("<file><name>D:\\bakes &amp; co\\AlphaMap.png</name>"), std::string::npos);

    settings().elements.clear();
    settings().reset();
    ASSERT_TRUE(settings().load(dir.file("saved.vl")));
    ASSERT_EQ(settings().elements.size(), 3u);
    EXPECT_EQ(param(settings().elements[2], "Seed").intValue, -7);
    EXPECT_EQ(settings().elements[1].width, 512);
    EXPECT_EQ(settings().elements[0].slot, "Opacity");
    EXPECT_EQ(saved_text(), golden("three_elements.vl"));
}

TEST_F(PresetTest, AFileHoldingOnlyTheChannelYieldsDefaultsAndKeepsTheElements) {
    choose_three_elements();
    settings().gutter = 17;
    settings().reset();
    ASSERT_TRUE(load_text("<settings><channel>3</channel></settings>"));
    EXPECT_EQ(settings().channel, 3);
    EXPECT_EQ(settings().gutter, 4);
    EXPECT_EQ(settings().elements.size(), 3u);

    // An empty element list in the file empties the record's list.
    ASSERT_TRUE(load_text("<settings><bakeelements></bakeelements></settings>"));
    EXPECT_TRUE(settings().elements.empty());
}

TEST_F(PresetTest, ValuesOfTheWrongFormKeepTheFieldAndTheLoadStillSucceeds) {
    ASSERT_TRUE(load_text("<?xml version=\"1.0\"?>\n<settings>\n"
                          "  <quality>1</quality><seams>0</seams><preview>yes</preview>\n"
                          "  <width>abc</width><height>99999999999999999999</height>\n"
                          "  <stretch> 2.5e-1 </stretch><ratio>nan</ratio><gutter>1e40</gutter>\n"
                          "  <projection_camera>-1</projection_camera><port></port>\n"
                          "  <manager>farm &lt;7&gt;</manager>\n"
                          "</settings>\n"));
    const UnwrapSettings& s = settings();
    EXPECT_TRUE(s.quality);
    EXPECT_FALSE(s.seams);
    EXPECT_TRUE(s.preview);
    EXPECT_EQ(s.width, 1024);
    EXPECT_EQ(s.height, 1024);
    EXPECT_EQ(s.stretch, 0.25f);
    EXPECT_EQ(s.ratio, 1.0f);
    EXPECT_EQ(s.gutter, 4);
    EXPECT_EQ(s.projection_camera, 0u);
    EXPECT_EQ(s.port, 3234);
    EXPECT_EQ(s.manager, "farm <7>");
    EXPECT_TRUE(core.messages().empty());
}

TEST_F(PresetTest, UnknownOrIncompleteElementsAreDroppedAndTheRestLoad) {
    choose_three_elements();
    ASSERT_TRUE(settings().save(dir.file("three.vl")));
    std::string text = read_text(dir.file("three.vl"));
    // First element: a class this host does not have. Second: its file name
    // is missing. Third: parameters by name only, one without a value, one
    // unknown, one with a colour value for an int; the file's type number
    // does not decide how a value is read.
    const std::size_t first = text.find("<a>");
    text.replace(first + 3, text.find("</a>", first) - first - 3, "12345");
    const std::size_t second = text.find("<file><name>", text.find("<bakeelement>", first + 1));
    text.erase(second + 6, text.find("</name>", second) + 7 - second - 6);
    const std::size_t params = text.rfind("<parameters>");
    text.replace(params, text.rfind("</parameters>") - params,
                 "<parameters><p><name>Samples</name><type>0</type><value>99</value></p>"
                 "<parameter><name>Spread</name></parameter>"
                 "<parameter><value>0.1</value></parameter>"
                 "<parameter><name>Nope</name><value>1</value></parameter>"
                 "<parameter><name>Seed</name><value><r>1</r></value></parameter>");
    settings().elements.clear();
    ASSERT_TRUE(load_text(text)) << settings().last_message;
    ASSERT_EQ(settings().elements.size(), 1u);
    BakeElementEntry& ao = settings().elements[0];
    EXPECT_EQ(WideToUtf8(ao.elementClass->ClassName()), "AmbientOcclusion");
    EXPECT_EQ(param(ao, "Samples").intValue, 99);
    EXPECT_FLOAT_EQ(param(ao, "Spread").floatValue, 0.8f);
    EXPECT_EQ(param(ao, "Seed").intValue, 0);
    EXPECT_EQ(ao.slot, "Self-Illumination");
}

// What the XML reader would take without a word: a closing tag of another
// name, an empty file, nesting no preset has (which would take the reader's
// stack with it).
TEST_F(PresetTest, FilesThatAreNoWellFormedPresetAreReadErrors) {
    choose_three_elements();
    settings().channel = 5;
    std::string deep = "<settings>";
    for (int i = 0; i < 40000; ++i) {
        deep += "<a>";
    }
    for (int i = 0; i < 40000; ++i) {
        deep += "</a>";
    }
    for (const std::string& text :
         {std::string(""), std::string("  \n"),
          std::string("<settings><channel>2</chan></settings>"),
          std::string("<settings><channel>2</channel></settingz>"),
          std::string("<settings/><settings><channel>2</channel></settings>"),
          deep + "</settings>"}) {
        write_text(dir.file("bad.vl"), text);
        core.ClearMessages();
        EXPECT_FALSE(settings().load(dir.file("bad.vl"))) << text.substr(0, 60);
        ASSERT_EQ(message_texts().size(), 1u);
        EXPECT_TRUE(message_texts()[0].ends_with("bad.vl': read error")) << message_texts()[0];
        EXPECT_EQ(settings().channel, 5);
        EXPECT_EQ(settings().elements.size(), 3u);
    }
    // Comments, declarations, attributes and empty elements are all fine.
    write_text(dir.file("ok.vl"), "<?xml version=\"1.0\"?>\n<!-- kept by hand -->\n"
                                  "<settings a=\"x>y\"><channel>7</channel><slot/></settings>");
    EXPECT_TRUE(settings().load(dir.file("ok.vl")));
    EXPECT_EQ(settings().channel, 7);
}

// Values that do not read, or lie outside their range, are named; the
// fields keep what they had, and the next load starts the list afresh.
TEST_F(PresetTest, ValuesThatCannotBeTakenAreNamed) {
    const std::string path = dir.file("values.vl");
    std::string text = golden("three_elements.vl");
    const auto set = [&text](const std::string& tag, std::size_t from, const std::string& to) {
        const std::size_t at = text.find("<" + tag + ">", from) + tag.size() + 2;
        text.replace(at, text.find("</" + tag + ">", at) - at, to);
    };
    set("stretch", 0, "nan");
    set("width", text.find("<bakeelement>"), "100000");
    set("port", 0, "99999999999");
    write_text(path, text);
    settings().stretch = 0.5f;
    ASSERT_TRUE(settings().load(path));
    EXPECT_EQ(settings().unreadable_values,
              (std::vector<std::string>{"stretch = 'nan'", "port = '99999999999'",
                                        "bake element 1 width = '100000'"}));
    EXPECT_EQ(settings().stretch, 0.5f);
    settings().save(dir.file("clean.vl"));
    ASSERT_TRUE(settings().load(dir.file("clean.vl")));
    EXPECT_TRUE(settings().unreadable_values.empty());
}

TEST_F(PresetTest, UnreadableFilesReportTheReadersMessageAndChangeNothing) {
    choose_three_elements();
    settings().channel = 5;
    const std::string dir_path = dir.file("folder.vl");
    boost::filesystem::create_directory(dir_path);
    struct Case {
        std::string text; // written to the file; "" for no file at all
        std::string path;
        std::string ending;
    };
    const std::vector<Case> cases = {
        {"", dir.file("missing.vl"), "': cannot open file"},
        {"", dir_path, "': read error"},
        {"<settings><channel>3</channel>", dir.file("cut.vl"), "': unexpected end of data"},
        {"\x89PNG\r\n\x1a\n binary", dir.file("png.vl"), "': expected <"},
    };
    for (const Case& c : cases) {
        if (!c.text.empty()) {
            write_text(c.path, c.text);
        }
        core.ClearMessages();
        EXPECT_FALSE(settings().load(c.path)) << c.path;
        ASSERT_EQ(message_texts().size(), 1u) << c.path;
        const std::string m = message_texts()[0];
        EXPECT_EQ(m.rfind("Vellumar could not load the settings file '" + c.path + "': ", 0), 0u)
            << m;
        EXPECT_EQ(m.substr(m.size() - c.ending.size()), c.ending) << m;
        EXPECT_EQ(settings().channel, 5);
        EXPECT_EQ(settings().elements.size(), 3u);
    }
}

TEST_F(PresetTest, AFailedSaveReportsAndLeavesThePresetThatWasThere) {
    const std::string path = dir.file("studio.vl");
    ASSERT_TRUE(settings().save(path));
    const std::string before = read_text(path);
    choose_three_elements();

    // The disk fills up half way: the writer's message, and the old preset stays.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 600;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = settings().save(path);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(saved);
    EXPECT_EQ(message_texts().back(),
              "Vellumar could not save the settings file '" + path + "': write error");
    EXPECT_EQ(read_text(path), before);

    // A file that cannot be made at all, and a target that is a folder.
    const std::string blocked = dir.file("studio.vl/inside.vl");
    EXPECT_FALSE(settings().save(blocked));
    EXPECT_EQ(message_texts().back(),
              "Vellumar could not save the settings file '" + blocked + "': cannot open file");
    boost::filesystem::create_directory(dir.file("folder.vl"));
    EXPECT_FALSE(settings().save(dir.file("folder.vl")));
    EXPECT_TRUE(boost::filesystem::is_directory(dir.file("folder.vl")));
    // Nothing half-written is left behind.
    int files = 0;
    for (auto& e : boost::filesystem::directory_iterator(dir.file(""))) {
        files += boost::filesystem::is_regular_file(e.path()) ? 1 : 0;
    }
    EXPECT_EQ(files, 1);
}

TEST_F(PresetTest, FloatsKeepEightSignificantDigitsAndComeBackAsTheSameFloat) {
    EXPECT_EQ(FloatText(0.15f), "0.15000001");
    EXPECT_EQ(FloatText(90.0f), "90");
    EXPECT_EQ(FloatText(1.0f), "1");
    EXPECT_EQ(ParseFloat("0.15000001"), 0.15f);
    for (float v : {0.15f, 1.0f / 3.0f, -89.999f, 1e-7f, 12345.678f}) {
        settings().projection_tolerance = v;
        settings().save(dir.file("f.vl"));
        settings().projection_tolerance = 0;
        ASSERT_TRUE(settings().load(dir.file("f.vl")));
        EXPECT_NEAR(settings().projection_tolerance, v, std::abs(v) * 1e-7f) << FloatText(v);
    }
    EXPECT_EQ(settings().projection_tolerance, 12345.678f);
}

TEST_F(PresetTest, AnEmptyPathMeansTheDefaultPreset) {
    ::setenv("VELLUMAR_DEFAULT_PRESET", dir.file("Tavik/VellumarDefault.vl").c_str(), 1);
    settings().channel = 4;
    EXPECT_TRUE(settings().save(""));
    settings().reset();
    EXPECT_TRUE(settings().load(""));
    EXPECT_EQ(settings().channel, 4);
    EXPECT_EQ(DefaultPresetPath(), dir.file("Tavik/VellumarDefault.vl"));

    ::unsetenv("VELLUMAR_DEFAULT_PRESET");
    ::setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
    EXPECT_EQ(DefaultPresetPath(), dir.file("config/Tavik/VellumarDefault.vl"));
    EXPECT_TRUE(boost::filesystem::is_directory(dir.file("config/Tavik")));
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    ::setenv("HOME", dir.file("home").c_str(), 1);
    EXPECT_EQ(DefaultPresetPath(), dir.file("home/.config/Tavik/VellumarDefault.vl"));
}
