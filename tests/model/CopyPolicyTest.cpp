#include "model/CopyPolicy.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace {

struct Coupling {
    const char* name;
    std::uint32_t start;
    std::function<void(CopyPolicy&)> change;
    std::uint32_t expected;
};

}  // namespace

TEST(CopyPolicy, NewPolicyHasTheDefaultWordAndNoName) {
    const CopyPolicy policy;
    EXPECT_EQ(policy.getFlags(), 0x01101111u);
    EXPECT_EQ(policy.getFlags(), 17830161u);
    EXPECT_TRUE(policy.name.empty());
    EXPECT_TRUE(policy.isCopyNewFiles());
    EXPECT_TRUE(policy.isCopyIfSizeDiffers());
    EXPECT_TRUE(policy.isCopyIfTimeDiffers());
    EXPECT_TRUE(policy.isCopyOnlyIfMainNewer());
    EXPECT_FALSE(policy.isCopyIfAttributesDiffer());
    EXPECT_TRUE(policy.isDeleteMirrorOnly());
    EXPECT_TRUE(policy.isDeleteToRecycleBin());
}

// Each row would catch a setter that couples bits it must not, or misses a
// coupling it must make.
TEST(CopyPolicy, SettersCoupleExactlyTheRefiningRules) {
    const std::vector<Coupling> rows = {
        {"TimeOffKeepsNewerBit", DefaultPolicyFlags,
         [](CopyPolicy& p) { p.setCopyIfTimeDiffers(false); }, 0x01101011},
        {"TimeBackOnRestoresNewer", DefaultPolicyFlags,
         [](CopyPolicy& p) {
             p.setCopyIfTimeDiffers(false);
             p.setCopyIfTimeDiffers(true);
         },
         0x01101111},
        {"DeleteOffClearsRecycle", DefaultPolicyFlags,
         [](CopyPolicy& p) { p.setDeleteMirrorOnly(false); }, 0x00001111},
        {"RecycleOnSetsDelete", 0, [](CopyPolicy& p) { p.setDeleteToRecycleBin(true); },
         0x01100000},
        {"NewerOnSetsTime", 0, [](CopyPolicy& p) { p.setCopyOnlyIfMainNewer(true); }, 0x00001100},
        {"NewerOffClearsOnlyItself", DefaultPolicyFlags,
         [](CopyPolicy& p) { p.setCopyOnlyIfMainNewer(false); }, 0x01100111},
        {"RecycleOffClearsOnlyItself", DefaultPolicyFlags,
         [](CopyPolicy& p) { p.setDeleteToRecycleBin(false); }, 0x00101111},
        {"LaterSetterWins", DefaultPolicyFlags,
         [](CopyPolicy& p) {
             p.setCopyIfTimeDiffers(false);
             p.setCopyOnlyIfMainNewer(true);
         },
         0x01101111},
        {"AttributesOn", DefaultPolicyFlags,
         [](CopyPolicy& p) { p.setCopyIfAttributesDiffer(true); }, 0x01111111},
        {"SimpleBitsOff", DefaultPolicyFlags,
         [](CopyPolicy& p) {
             p.setCopyNewFiles(false);
             p.setCopyIfSizeDiffers(false);
         },
         0x01101100},
        {"UnknownBitsSurvive", 0x80000002u,
         [](CopyPolicy& p) {
             p.setDeleteToRecycleBin(true);
             p.setDeleteMirrorOnly(false);
         },
         0x80000002u},
        {"ResetRestoresDefault", 0xFFFFFFFFu, [](CopyPolicy& p) { p.resetToDefault(); },
         DefaultPolicyFlags},
    };
    for (const Coupling& row : rows) {
        CopyPolicy policy;
        policy.setFlags(row.start);
        row.change(policy);
        EXPECT_EQ(policy.getFlags(), row.expected) << row.name;
    }
}

TEST(CopyPolicy, RefiningQueriesNeedBothBits) {
    CopyPolicy policy;
    policy.setFlags(CopyPolicy::CopyOnlyIfMainNewer | CopyPolicy::DeleteToRecycleBin);
    EXPECT_FALSE(policy.isCopyOnlyIfMainNewer());
    EXPECT_FALSE(policy.isDeleteToRecycleBin());
    EXPECT_FALSE(policy.isCopyIfTimeDiffers());
    EXPECT_FALSE(policy.isDeleteMirrorOnly());
}
