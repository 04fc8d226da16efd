#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/ListEditor.h"
#include "ui/EditorLayout.h"

using namespace tessel::hosts;
using namespace tessel::ui;

namespace {

struct LoadRow {
    const char* name;
    std::string file;
    std::string shown;
};

class ListEditorLoad : public ::testing::TestWithParam<LoadRow> {};

TEST_P(ListEditorLoad, ShowsCleanedSortedList) {
    EXPECT_EQ(loadForEditing(GetParam().file), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ListEditorLoad,
    ::testing::Values(
        LoadRow{"ThreeNames", "c.com\r\nA.com\r\nb.com\r\n", "A.com\r\nb.com\r\nc.com"},
        LoadRow{"MixedCase", "zeta.NET\r\nAlpha.net\r\nBETA.net\r\nalpha.org\r\n",
                "Alpha.net\r\nalpha.org\r\nBETA.net\r\nzeta.NET"},
        LoadRow{"ShortAndEmptyLines", "b.com\r\n\r\nx\r\na.com\r\n \r\n\r\nc.com\r\n",
                "a.com\r\nb.com\r\nc.com"},
        LoadRow{"LoneLineFeedsAndNoFinalBreak", "b.com\na.com\r\nc.com", "a.com\r\nb.com\r\nc.com"},
        LoadRow{"EqualEntriesKeepFileOrder", "ab.com\r\nAb.com\r\nAA.com\r\n",
                "AA.com\r\nab.com\r\nAb.com"},
        LoadRow{"EqualEntriesKeepFileOrderReversed", "Ab.com\r\nab.com\r\n", "Ab.com\r\nab.com"},
        // The last entry moved into the short line's place, ahead of its equal.
        LoadRow{"EqualEntriesAfterShortLineRemoval", "Ab.com\r\nx\r\nab.com\r\nAB.com\r\n",
                "Ab.com\r\nAB.com\r\nab.com"},
        LoadRow{"LongNamesDifferingLate",
                "tracking.example.net\r\nTracking.example.biz\r\ntracking.example.com\r\n",
                "Tracking.example.biz\r\ntracking.example.com\r\ntracking.example.net"},
        LoadRow{"NameBeforeItsLongerForms",
                "pixel.example.com.au\r\npixel.example.com\r\npixel.example\r\n",
                "pixel.example\r\npixel.example.com\r\npixel.example.com.au"},
        LoadRow{"DuplicatesKept", "b.com\r\na.com\r\nb.com\r\n", "a.com\r\nb.com\r\nb.com"},
        LoadRow{"LinesNotTrimmed", "b.com \r\n\ta.com\r\n", "\ta.com\r\nb.com "},
        LoadRow{"TwoCharactersSurvive", "ab\r\na\r\n", "ab"}, LoadRow{"EmptyFile", "", ""},
        LoadRow{"OnlyShortLines", "a\r\n\r\nb\r\n \r\n", ""}),
    [](const auto& param) { return std::string(param.param.name); });

struct ReadRow {
    const char* name;
    std::string file;
    std::vector<std::string> lines;
};

class ListEditorRead : public ::testing::TestWithParam<ReadRow> {};

TEST_P(ListEditorRead, SplitsLinesAsRead) {
    EXPECT_EQ(readList(GetParam().file), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ListEditorRead,
    ::testing::Values(ReadRow{"CrLf", "a.com\r\nb.com\r\n", {"a.com", "b.com"}},
                      ReadRow{"LastLineUnterminated", "a.com\r\nb.com", {"a.com", "b.com"}},
                      ReadRow{"LoneLineFeed", "a.com\nb.com\n", {"a.com", "b.com"}},
                      ReadRow{"EmptyLinesKept", "\r\na.com\r\n\r\n", {"", "a.com", ""}},
                      ReadRow{"LoneCarriageReturnInsideLine", "a\rb\r\n", {"a\rb"}},
                      ReadRow{"Empty", "", {}}),
    [](const auto& param) { return std::string(param.param.name); });

struct RemovalRow {
    const char* name;
    std::vector<std::string> before;
    std::vector<std::string> after;
};

class ListEditorRemoval : public ::testing::TestWithParam<RemovalRow> {};

TEST_P(ListEditorRemoval, LastEntryTakesTheShortOnesPlace) {
    std::vector<std::string> list = GetParam().before;
    removeShortEntries(list);
    EXPECT_EQ(list, GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ListEditorRemoval,
    ::testing::Values(RemovalRow{"FirstShort", {"a", "bb", "cc", "dd"}, {"dd", "bb", "cc"}},
                      RemovalRow{"MovedEntryIsShortToo", {"aa", "b", "cc", "d"}, {"aa", "cc"}},
                      RemovalRow{
                          "ShortMovesIntoShortThenCut", {"aa", "b", "c", "dd"}, {"aa", "dd"}},
                      RemovalRow{"ShortAtTheEnd", {"aa", "bb", ""}, {"aa", "bb"}},
                      RemovalRow{"AllShort", {"", "x", "y"}, {}}, RemovalRow{"Empty", {}, {}},
                      RemovalRow{"NoneShort", {"cc", "aa", "bb"}, {"cc", "aa", "bb"}}),
    [](const auto& param) { return std::string(param.param.name); });

struct SaveRow {
    const char* name;
    std::string typed;
    std::string written;
};

class ListEditorSave : public ::testing::TestWithParam<SaveRow> {};

TEST_P(ListEditorSave, WritesCollapsedTrimmedText) {
    EXPECT_EQ(savedList(collapseLineBreaks(GetParam().typed)), GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ListEditorSave,
    ::testing::Values(
        SaveRow{"Unchanged", "a.com\r\nb.com", "a.com\r\nb.com\r\n"},
        SaveRow{"OneEmptyLine", "a.com\r\n\r\nb.com", "a.com\r\nb.com\r\n"},
        SaveRow{"SeveralEmptyLines", "a.com\r\n\r\n\r\n\r\nb.com\r\n\r\nc.com",
                "a.com\r\nb.com\r\nc.com\r\n"},
        SaveRow{"TrailingLineBreak", "a.com\r\nb.com\r\n", "a.com\r\nb.com\r\n\r\n"},
        SaveRow{"TrailingEmptyLines", "a.com\r\nb.com\r\n\r\n\r\n", "a.com\r\nb.com\r\n\r\n"},
        SaveRow{"LeadingEmptyLines", "\r\n\r\na.com", "\r\na.com\r\n"},
        SaveRow{"OuterSpaces", "   a.com\r\nb.com  ", "a.com\r\nb.com\r\n"},
        SaveRow{"TabsAndInnerSpacesStay", " \ta.com \r\n b.com\t ", "\ta.com \r\n b.com\t\r\n"},
        SaveRow{"SpacesBeforeFinalBreakStay", "a.com  \r\n", "a.com  \r\n\r\n"},
        SaveRow{"Empty", "", "\r\n"}, SaveRow{"OnlySpaces", "    ", "\r\n"},
        SaveRow{"OnlyLineBreaks", "\r\n\r\n\r\n", "\r\n\r\n"}),
    [](const auto& param) { return std::string(param.param.name); });

struct ResizeRow {
    const char* name;
    EditorLayout previous;
    int width;
    int height;
    EditorLayout expected;
};

EditorLayout layout(Rect hosts, Rect ok, Rect cancel) {
    return {hosts, ok, cancel};
}

class ListEditorResize : public ::testing::TestWithParam<ResizeRow> {};

TEST_P(ListEditorResize, FollowsOuterSize) {
    const ResizeRow& row = GetParam();
    EXPECT_EQ(resizeEditor(row.previous, row.width, row.height), row.expected);
}

const EditorLayout kDesign{};
// Where a window of 6000 x 4000 twips left the controls.
const EditorLayout kShrunk =
    layout({120, 120, 5610, 2890}, {3210, 3130, 1095, 375}, {4530, 3130, 1095, 375});

INSTANTIATE_TEST_SUITE_P(
    Sizes, ListEditorResize,
    ::testing::Values(
        ResizeRow{"DesignSize", kDesign, 5430, 6510, kDesign},
        ResizeRow{"Larger", kDesign, 8000, 9000,
                  layout({120, 120, 7610, 7890}, {5210, 8130, 1095, 375}, {6530, 8130, 1095, 375})},
        ResizeRow{"Shrunk", kDesign, 6000, 4000, kShrunk},
        ResizeRow{"HeightAtTextBoxThreshold", kShrunk, 5430, 1110,
                  layout({120, 120, 5040, 2890}, {2640, 3130, 1095, 375}, {3960, 3130, 1095, 375})},
        ResizeRow{"HeightJustAboveTextBoxThreshold", kShrunk, 5430, 1111,
                  layout({120, 120, 5040, 1}, {2640, 3130, 1095, 375}, {3960, 3130, 1095, 375})},
        ResizeRow{"HeightAtButtonThreshold", kShrunk, 5430, 1395,
                  layout({120, 120, 5040, 285}, {2640, 3130, 1095, 375}, {3960, 3130, 1095, 375})},
        ResizeRow{"HeightJustAboveButtonThreshold", kShrunk, 5430, 1396,
                  layout({120, 120, 5040, 286}, {2640, 526, 1095, 375}, {3960, 526, 1095, 375})},
        ResizeRow{"VeryLowKeepsLastHeightAndTops", kShrunk, 5430, 300,
                  layout({120, 120, 5040, 2890}, {2640, 3130, 1095, 375}, {3960, 3130, 1095, 375})},
        ResizeRow{
            "NarrowerThanTheRulesAllow", kDesign, 300, 6510,
            layout({120, 120, -90, 5400}, {-2490, 5640, 1095, 375}, {-1170, 5640, 1095, 375})}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
