#include "Harness.h"

using namespace tessel;
using namespace tessel::testing;
using platform::Answer;
using platform::PickResult;

TEST(ChangeHostsPath, WritesLineTwoAndKeepsThePathInUseUntilRestart) {
    Harness h;
    ASSERT_FALSE(h.load());
    h.files.files["/srv/hosts"] = "";
    h.picker.results.push_back({PickResult::Kind::Chosen, "/srv/hosts"});
    h.trigger("menuAdvHosts2");
    ASSERT_EQ(h.picker.requests.size(), 1U);
    EXPECT_TRUE(h.picker.requests[0].mustExist);
    EXPECT_EQ(h.picker.requests[0].initDir, kHosts);
    EXPECT_EQ(h.files.files[kPrefs], prefsText("False", kDir + "/data/Tessel.gif", "/srv/hosts"));
    EXPECT_EQ(h.box.prompts(),
              std::vector<std::string>{
                  "Path changed. Please exit and re-open Tessel for changes to take effect."});
    EXPECT_EQ(h.form->strHostsPath, kHosts);
    EXPECT_TRUE(h.ends([&] { h.form->menuExit_Click(); }));
    EXPECT_EQ(h.files.files.count(kHosts), 0U) << "the old path is restored at exit";
}
