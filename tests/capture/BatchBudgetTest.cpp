// The batch's memory budget: which files it lets in, and how far past its
// limit a file larger than those before can take it.
#include "capture/BatchBudget.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr size_t kLimit = 100;
constexpr size_t kTypical = 20;

// Lets files of the given sizes in one after the other, each measured at
// once and none released, for as long as the budget admits them: how many
// got in, and what it held at the end.
struct Admitted {
    size_t files;
    size_t inUse;
};

Admitted AdmitInTurn(CBatchBudget& budget, const std::vector<size_t>& sizes)
{
    size_t files = 0;
    for (const size_t size : sizes) {
        if (!budget.CanAdmit()) {
            break;
        }
        budget.Measured(budget.Admit(), size);
        ++files;
    }
    return {files, budget.InUse()};
}

TEST(BatchBudgetTest, LetsFilesInWhileTheExpectedNextOneFits)
{
    const struct {
        const char* what;
        std::vector<size_t> sizes;
        size_t files;
    } cases[] = {
        {"typical files", {20, 20, 20, 20, 20, 20, 20}, 5},
        {"files larger than typical are expected as large", {30, 30, 30, 30, 30}, 3},
        {"a tiny first file teaches nothing smaller than typical", {1, 20, 20, 20, 20, 20, 20}, 5},
        {"a file larger than the limit goes alone", {150, 10, 10}, 1},
        {"the expectation grows with the largest file met", {10, 40, 10, 10, 10, 10}, 4},
    };
    for (const auto& run : cases) {
        CBatchBudget budget(kLimit, kTypical);
        EXPECT_EQ(AdmitInTurn(budget, run.sizes).files, run.files) << run.what;
    }
}

TEST(BatchBudgetTest, TheFirstFileGoesAloneUntilItIsMeasured)
{
    CBatchBudget budget(kLimit, kTypical);
    ASSERT_TRUE(budget.CanAdmit());
    const size_t held = budget.Admit();
    EXPECT_EQ(held, 0u);
    EXPECT_FALSE(budget.CanAdmit()) << "nothing says yet what a file takes";
    budget.Measured(held, 15);
    EXPECT_TRUE(budget.CanAdmit());
    // A file let in holds the expectation until it is measured.
    const size_t second = budget.Admit();
    EXPECT_EQ(second, kTypical);
    EXPECT_EQ(budget.InUse(), 15 + kTypical);
    budget.Measured(second, 5);
    EXPECT_EQ(budget.InUse(), 20u);
}

TEST(BatchBudgetTest, WithNothingInFlightAnyFileGetsInAndReleasesGiveRoomBack)
{
    CBatchBudget budget(kLimit, kTypical);
    budget.Measured(budget.Admit(), 90);
    EXPECT_FALSE(budget.CanAdmit());
    budget.Release(90);
    EXPECT_EQ(budget.InUse(), 0u);
    ASSERT_TRUE(budget.CanAdmit()) << "an empty batch never stalls";
    const size_t held = budget.Admit();
    budget.Measured(held, 500);
    EXPECT_FALSE(budget.CanAdmit()) << "over the limit";
    budget.Release(500);
    EXPECT_TRUE(budget.CanAdmit());
}

} // namespace
