// The utility panel open over a scene of boxes, driven by control id
// through the host's toolkit as a user would.
#pragma once

#include "plugin/control_ids.h"
#include "support/test_host.h"
#include "ui/vellumar_utility.h"

class PanelTest : public HostTest {
  protected:
    PanelTest() {
        for (int i = 0; i < 3; ++i) {
            boxes.push_back(add_node(L"Box" + std::to_wstring(i), box_poly_object(1.0f + i)));
        }
        select({boxes.begin(), boxes.end()});
        open_panel();
    }
    ~PanelTest() override { core.ui().CloseUtility(); }

    void open_panel() {
        ClassEntry* e = core.FindClassEntry(UTILITY_CLASS_ID, VELLUMAR_UTILITY_CLASS_ID);
        ASSERT_NE(e, nullptr);
        ASSERT_TRUE(core.ui().OpenUtility(e->CD()));
    }

    Window& control(int id) {
        Window* w = core.ui().Find(core.ui().FindControl(id));
        if (w == nullptr) {
            ADD_FAILURE() << "no control " << id;
            static Window none;
            return none;
        }
        return *w;
    }
    bool enabled(int id) { return control(id).enabled; }
    bool checked(int id) { return control(id).checked; }
    double value(int id) { return control(id).spinner.value; }
    std::string text(int id) { return WideToUtf8(control(id).text); }

    ActionResult act(const std::string& line) { return core.ui().Perform(line); }
    void click(int id) { EXPECT_EQ(act("click " + std::to_string(id)).kind, ActionResult::Done); }

    VellumarUtility& panel() { return TheVellumarUtility(); }

    std::vector<SceneNode*> boxes;
};
