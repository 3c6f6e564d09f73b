// The batch's memory budget: which files it lets in, how far past its limit
// a file larger than those before can take it, and what a file teaches of
// the next ones.
#include "capture/BatchBudget.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
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
        if (!budget.CanAdmit(0)) {
            break;
        }
        budget.Took(budget.Admit(0, guard), size, guard);
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

TEST(BatchBudgetTest, TheFirstFileGoesAloneUntilASizeIsTold)
{
    std::mutex owner;
    const BudgetLock guard(owner);
    CBatchBudget budget(kLimit, kTypical);
    ASSERT_TRUE(budget.CanAdmit(0));
    EXPECT_EQ(budget.Admit(0, guard), 0u);
    EXPECT_FALSE(budget.CanAdmit(0)) << "nothing says yet what a file takes";
    ASSERT_TRUE(budget.CanAdmit(15)) << "a header tells it";
    EXPECT_EQ(budget.Admit(15, guard), 15u);
    // A file whose header tells nothing holds the expectation until it is measured.
    ASSERT_TRUE(budget.CanAdmit(0));
    const size_t third = budget.Admit(0, guard);
    EXPECT_EQ(third, kTypical);
    EXPECT_EQ(budget.InUse(), 15 + kTypical);
    budget.Keeps(third, 5, guard);
    EXPECT_EQ(budget.InUse(), 20u);
}

TEST(BatchBudgetTest, WithNothingInFlightAnyFileGetsInAndReleasesGiveRoomBack)
{
    std::mutex owner;
    const BudgetLock guard(owner);
    CBatchBudget budget(kLimit, kTypical);
    budget.Took(budget.Admit(0, guard), 90, guard);
    EXPECT_FALSE(budget.CanAdmit(0));
    budget.Release(90, guard);
    EXPECT_EQ(budget.InUse(), 0u);
    ASSERT_TRUE(budget.CanAdmit(500)) << "an empty batch never stalls";
    const size_t held = budget.Admit(500, guard);
    EXPECT_FALSE(budget.CanAdmit(1)) << "over the limit";
    budget.Took(held, 500, guard);
    budget.Release(500, guard);
    EXPECT_TRUE(budget.CanAdmit(0));
}

// One file's road through the budget beside another in flight: what its
// header claims (0 for none) and whether that lets it in beside the other,
// what it really took and what it keeps; then what the file after it is held
// at once it is gone.
TEST(BatchBudgetTest, ClaimsHoldUpToTheLimitAndOnlyWhatFilesTookTeachesTheNext)
{
    constexpr size_t kBeside = 10;
    const struct {
        const char* what;
        size_t claim;
        bool letIn;
        size_t took;
        size_t keeps;
        size_t next;
    } cases[] = {
        {"a header claiming everything, whose decoding fails", SIZE_MAX, false, 3, 0, kTypical},
        {"a claim of the whole limit goes alone", kLimit, false, kLimit, 50, kTypical},
        {"a claim that does not fit beside it", 95, false, 85, 15, 85},
        {"a believed claim the decoder refutes", 60, true, 3, 0, kTypical},
        {"a true claim larger than typical", 40, true, 40, 15, 40},
        {"no claim, larger than typical", 0, true, 40, 15, 40},
        {"a file that took the whole limit", 0, true, kLimit, 50, kTypical},
        {"a file that took more than the limit", 0, true, 150, 90, kTypical},
        {"a file counted at all memory can hold", 0, true, SIZE_MAX, 0, kTypical},
    };
    for (const auto& run : cases) {
        std::mutex owner;
        const BudgetLock guard(owner);
        CBatchBudget budget(kLimit, kTypical);
        budget.Took(budget.Admit(0, guard), kBeside, guard);
        EXPECT_EQ(budget.CanAdmit(run.claim), run.letIn) << run.what;
        size_t held = budget.Admit(run.claim, guard);
        if (run.claim != 0) {
            EXPECT_EQ(budget.InUse(), kBeside + std::min(run.claim, kLimit)) << run.what << ": held without wrapping";
            EXPECT_EQ(budget.CanAdmit(0), kBeside + held + kTypical <= kLimit) << run.what;
        }
        held = budget.Took(held, run.took, guard);
        EXPECT_EQ(budget.InUse(), std::max(kBeside + run.took, run.took)) << run.what << ": at most SIZE_MAX";
        EXPECT_FALSE(budget.CanAdmit(0) && run.took > kLimit) << run.what;
        held = budget.Keeps(held, run.keeps, guard);
        budget.Release(held, guard);
        EXPECT_EQ(budget.InUse(), kBeside) << run.what;
        ASSERT_TRUE(budget.CanAdmit(0)) << run.what;
        EXPECT_EQ(budget.Admit(0, guard), run.next) << run.what;
    }
}

} // namespace
