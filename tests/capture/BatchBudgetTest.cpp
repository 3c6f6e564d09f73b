// The batch's memory budget: which files it lets in, and how far past its
// limit a file larger than those before can take it.
#include "capture/BatchBudget.h"

#include <gtest/gtest.h>

#include <mutex>
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
    std::mutex owner;
    const BudgetLock guard(owner);
    size_t files = 0;
    for (const size_t size : sizes) {
        if (!budget.CanAdmit()) {
            break;
        }
        budget.Measured(budget.Admit(guard), size, guard);
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
    std::mutex owner;
    const BudgetLock guard(owner);
    CBatchBudget budget(kLimit, kTypical);
    ASSERT_TRUE(budget.CanAdmit());
    const size_t held = budget.Admit(guard);
    EXPECT_EQ(held, 0u);
    EXPECT_FALSE(budget.CanAdmit()) << "nothing says yet what a file takes";
    budget.Measured(held, 15, guard);
    EXPECT_TRUE(budget.CanAdmit());
    // A file let in holds the expectation until it is measured.
    const size_t second = budget.Admit(guard);
    EXPECT_EQ(second, kTypical);
    EXPECT_EQ(budget.InUse(), 15 + kTypical);
    budget.Measured(second, 5, guard);
    EXPECT_EQ(budget.InUse(), 20u);
}

TEST(BatchBudgetTest, WithNothingInFlightAnyFileGetsInAndReleasesGiveRoomBack)
{
    std::mutex owner;
    const BudgetLock guard(owner);
    CBatchBudget budget(kLimit, kTypical);
    budget.Measured(budget.Admit(guard), 90, guard);
    EXPECT_FALSE(budget.CanAdmit());
    budget.Release(90, guard);
    EXPECT_EQ(budget.InUse(), 0u);
    ASSERT_TRUE(budget.CanAdmit()) << "an empty batch never stalls";
    const size_t held = budget.Admit(guard);
    budget.Measured(held, 500, guard);
    EXPECT_FALSE(budget.CanAdmit()) << "over the limit";
    budget.Release(500, guard);
    EXPECT_TRUE(budget.CanAdmit());
}

} // namespace
