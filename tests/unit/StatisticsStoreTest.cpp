#include "Harness.h"
#include "core/Statistics.h"

namespace tessel::testing {
namespace {

const std::string kStats = kDir + "/data/stats.dat";
const std::string kAside = kStats + ".damaged";
const std::string kSaved = "Tessel statistics 1\nhour\t10\t2\nserver\t2\t36000\tad.example\n";

// What stats.dat holds at the start and what can be done with it; then a name is counted, the
// file saved twice, and the program ends.
struct Row final {
    const char* name;
    std::optional<std::string> file;
    bool unreadable = false;
    bool asideFails = false;
    bool saveFails = false;
    std::uint64_t adCount;                  // in the file at the end; 0: not a file of counts
    std::optional<std::string> untouched;   // the file must still be this at the end
    std::size_t boxes;                      // messages shown, all in all
    std::optional<std::string> aside = {};  // what stats.dat.damaged must hold
};

TEST(StatisticsStore, DamagedUnreadableAndFailingFiles) {
    const Row rows[] = {
        {.name = "none", .file = {}, .adCount = 2, .untouched = {}, .boxes = 0},
        {.name = "kept", .file = kSaved, .adCount = 4, .untouched = {}, .boxes = 0},
        {.name = "damaged",
         .file = "Tessel statistics 1\nbogus\n",
         .adCount = 2,
         .untouched = {},
         .boxes = 1,
         .aside = "Tessel statistics 1\nbogus\n"},
        {.name = "damaged, not set aside",
         .file = "x",
         .asideFails = true,
         .adCount = 0,
         .untouched = "x",
         .boxes = 1},
        {.name = "unreadable",
         .file = kSaved,
         .unreadable = true,
         .adCount = 2,
         .untouched = kSaved,
         .boxes = 1},
        {.name = "a failing save is told once",
         .file = kSaved,
         .saveFails = true,
         .adCount = 2,
         .untouched = kSaved,
         .boxes = 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Harness harness("True");
        if (row.file) {
            harness.files.files[kStats] = *row.file;
        }
        if (row.unreadable) {
            harness.files.failRead.insert(kStats);
        }
        if (row.asideFails) {
            harness.files.failWrite.insert(kAside);
        }
        ASSERT_TRUE(harness.form->load());
        if (row.saveFails) {
            harness.files.failWrite.insert(kStats);
        }
        core::NameTally tally;
        tally.add("ad.example");
        harness.listener.named(tally);
        harness.form->statistics().save();
        harness.listener.named(tally);
        harness.form->statistics().save();
        harness.form.reset();
        const auto saved = core::Statistics::parse(harness.files.files[kStats]);
        const auto ad = saved ? saved->server("ad.example") : std::nullopt;
        EXPECT_EQ(ad ? ad->count : 0, row.adCount);
        EXPECT_TRUE(!row.untouched || harness.files.files[kStats] == *row.untouched);
        EXPECT_EQ(harness.box.shown.size(), row.boxes);
        EXPECT_TRUE(!row.aside || harness.files.files[kAside] == *row.aside);
    }
}

}  // namespace
}  // namespace tessel::testing
