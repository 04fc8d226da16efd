#include "Harness.h"

using namespace tessel;
using namespace tessel::testing;
using platform::Answer;
using platform::Buttons;
using platform::PickResult;

namespace {

const std::string kKeepQuestion =
    "Thanks for trying Tessel.\r\nWould you like Tessel to overwrite your existing HOSTS file?\r\n"
    "Unless you have a custom HOSTS file, it is safe to say \"Yes\".";
const std::string kPathQuestion =
    "Tessel will now set the path of your HOSTS file.\r\nAre you:\r\n1. Running Windows NT or "
    "2000, "
    "or\r\n2. Have a non-standard path for the HOSTS file?\r\n\r\n(If you're running Windows "
    "95/98/Me and have no idea what #2 means, just press NO.)";
const std::string kSelect =
    "Please select the path of the HOSTS file that Tessel is going to be utilizing. On most "
    "computers, this is located in \"/etc/hosts\".";

std::string closing(const std::string& path) {
    return "Your HOSTS file was set to \"" + path +
           "\".\r\nIf you would like to change this value, you may select the \"Change HOSTS "
           "Path\" "
           "menu item.\r\n\r\nTessel is now running in your system tray. If you have any web "
           "browsers open, you must restart them before Tessel takes effect.";
}

}  // namespace

struct FirstRunRow {
    std::string name;
    bool hostsExists;
    std::vector<Answer> answers;
    std::vector<PickResult> picks;
    std::vector<std::string> prompts;
    std::string keep;       // line 5 value after the run
    std::string hostsLine;  // line 2 after the run
    bool ends;
};

inline void PrintTo(const FirstRunRow& row, std::ostream* out) {
    *out << row.name;
}

class FirstRun : public ::testing::TestWithParam<FirstRunRow> {};

TEST_P(FirstRun, AsksRecordsAndGoesOn) {
    const FirstRunRow& row = GetParam();
    Harness h("NotSet");
    h.files.files[kPrefs] = prefsText("NotSet", "/elsewhere/black.gif", "/old/hosts");
    if (row.hostsExists) {
        h.files.files[kHosts] = "";
    }
    h.box.answers.assign(row.answers.begin(), row.answers.end());
    h.picker.results.assign(row.picks.begin(), row.picks.end());
    EXPECT_EQ(h.load(), row.ends);
    EXPECT_EQ(h.box.prompts(), row.prompts);
    const std::string picture =
        row.keep.empty() ? "/elsewhere/black.gif" : kDir + "/data/Tessel.gif";
    EXPECT_EQ(h.files.files[kPrefs],
              prefsText(row.keep.empty() ? "NotSet" : row.keep, picture, row.hostsLine));
    EXPECT_EQ(h.tray.present, !row.ends);
    if (!row.ends) {
        EXPECT_EQ(h.form->hostsPath(), row.hostsLine) << "the values chosen are the ones in force";
        EXPECT_EQ(h.form->keepsHostsFile(), row.keep == "True");
    }
    for (const auto& request : h.picker.requests) {
        EXPECT_EQ(request.initDir, "/etc/");
        EXPECT_FALSE(request.mustExist);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Dialogue, FirstRun,
    ::testing::Values(FirstRunRow{"StandardFileExists",
                                  true,
                                  {Answer::Yes},
                                  {},
                                  {kKeepQuestion, closing("/etc/hosts")},
                                  "False",
                                  "/etc/hosts",
                                  false},
                      FirstRunRow{"KeepMode",
                                  true,
                                  {Answer::No},
                                  {},
                                  {kKeepQuestion, closing("/etc/hosts")},
                                  "True",
                                  "/etc/hosts",
                                  false},
                      FirstRunRow{"CancelFirstQuestion",
                                  true,
                                  {Answer::Cancel},
                                  {},
                                  {kKeepQuestion},
                                  "",
                                  "/old/hosts",
                                  true},
                      FirstRunRow{"MissingAnswerNo",
                                  false,
                                  {Answer::Yes, Answer::No},
                                  {},
                                  {kKeepQuestion, kPathQuestion, closing("/etc/hosts")},
                                  "False",
                                  "/etc/hosts",
                                  false},
                      FirstRunRow{"ChosenFile",
                                  false,
                                  {Answer::No, Answer::Yes, Answer::Ok},
                                  {{PickResult::Kind::Chosen, "/srv/my hosts"}},
                                  {kKeepQuestion, kPathQuestion, kSelect, closing("/srv/my hosts")},
                                  "True",
                                  "/srv/my hosts",
                                  false},
                      FirstRunRow{"DialogCancelled",
                                  false,
                                  {Answer::No, Answer::Yes, Answer::Ok},
                                  {},
                                  {kKeepQuestion, kPathQuestion, kSelect, closing("/etc/hosts")},
                                  "True",
                                  "/etc/hosts",
                                  false},
                      FirstRunRow{"CancelPathQuestion",
                                  false,
                                  {Answer::Yes, Answer::Cancel},
                                  {},
                                  {kKeepQuestion, kPathQuestion},
                                  "False",
                                  "/old/hosts",
                                  true},
                      FirstRunRow{"CancelSelect",
                                  false,
                                  {Answer::Yes, Answer::Yes, Answer::Cancel},
                                  {},
                                  {kKeepQuestion, kPathQuestion, kSelect},
                                  "False",
                                  "/old/hosts",
                                  true}),
    [](const auto& row) { return row.param.name; });
