#include "Harness.h"
#include "core/Statistics.h"

namespace tessel::testing {
namespace {

const std::string kStats = kDir + "/data/stats.dat";
const std::string kSaved = "Tessel statistics 1\nhour\t10\t2\nserver\t2\t36000\tad.example\n";
const std::string kDamaged = "Tessel statistics 1\nbogus\n";

enum class Fault { None, Unreadable, AsideFails, SaveFails, EarlierCopy };

// What stats.dat holds at the start and what fails; then ad.example is counted twice, the file
// saved after each, and the program ends.
struct Row final {
    const char* name;
    std::optional<std::string> file;
    Fault fault;
    std::uint64_t adCount;   // in stats.dat at the end; 0: the file must be as it was
    std::size_t boxes;       // messages shown, all in all
    const char* aside = "";  // where the damaged file must be kept, beside stats.dat
};

TEST(StatisticsStore, DamagedUnreadableAndFailingFiles) {
    const Row rows[] = {
        {"none yet", {}, Fault::None, 2, 0},
        {"counts added to the kept ones", kSaved, Fault::None, 4, 0},
        {"damaged: said, set aside, counted afresh", kDamaged, Fault::None, 2, 1, ".damaged"},
        {"damaged again: the earlier copy kept", kDamaged, Fault::EarlierCopy, 2, 1, ".damaged.2"},
        {"damaged, cannot be set aside: never written over", kDamaged, Fault::AsideFails, 0, 1},
        {"unreadable: never written over", kSaved, Fault::Unreadable, 0, 1},
        {"a failing save is said once", kSaved, Fault::SaveFails, 0, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Harness harness("True");
        if (row.file) {
            harness.files.files[kStats] = *row.file;
        }
        if (row.fault == Fault::Unreadable) {
            harness.files.failRead.insert(kStats);
        }
        if (row.fault == Fault::EarlierCopy) {
            harness.files.files[kStats + ".damaged"] = "earlier";
        }
        harness.files.failWrite.insert(row.fault == Fault::AsideFails  ? kStats + ".damaged"
                                       : row.fault == Fault::SaveFails ? kStats
                                                                       : "");
        ASSERT_TRUE(harness.form->load());
        core::NameTally tally;
        tally.add("ad.example");
        for (int save = 0; save < 2; ++save) {
            harness.listener.named(tally);
            harness.form->statistics().save();
        }
        harness.form.reset();
        const std::string& after = harness.files.files[kStats];
        const auto ad =
            core::Statistics::parse(after).value_or(core::Statistics{}).server("ad.example");
        EXPECT_TRUE(row.adCount == 0 ? after == *row.file : ad && ad->count == row.adCount);
        EXPECT_EQ(harness.box.shown.size(), row.boxes);
        EXPECT_TRUE(*row.aside == '\0' || harness.files.files[kStats + row.aside] == kDamaged);
    }
}

}  // namespace
}  // namespace tessel::testing
