#include <gtest/gtest.h>

#include <random>
#include <set>

#include "figures/FigureNumbers.h"

// The slot bookkeeping behind the figure numbers.

namespace {

TEST(LowestFreeSlots, AgreesWithAnOrderedSetUnderRandomUse) {
    for (const int range : {5, 64, 65, 4096, 4097, 300000}) {
        SCOPED_TRACE(range);
        std::mt19937 random{std::uint32_t(range)};
        std::uniform_int_distribution<int> number(1, range);
        LowestFreeSlots slots;
        std::set<int> expected;
        for (int step = 0; step < 20000; ++step) {
            const int n = number(random);
            if (random() % 3 == 0 && !expected.empty()) {
                const int low = *expected.begin();
                ASSERT_EQ(slots.lowest(), low);
                slots.erase(low);
                expected.erase(low);
            } else if (expected.count(n)) {
                slots.erase(n);
                expected.erase(n);
            } else {
                slots.insert(n);
                expected.insert(n);
            }
            ASSERT_EQ(slots.empty(), expected.empty());
            if (!expected.empty()) {
                ASSERT_EQ(slots.lowest(), *expected.begin());
            }
        }
    }
}

TEST(FigureSlots, HandsOutTheLowestFreeSlotAndDoublesWhenFull) {
    std::vector<FigureRecord> figures(3);
    FigureSlots table(figures);
    ASSERT_EQ(figures.size(), 100u);
    for (int n = 1; n <= 100; ++n) ASSERT_EQ(table.AllocateLabel(kDark), n);
    EXPECT_EQ(table.AllocateLabel(kLight), 101);
    EXPECT_EQ(figures.size(), 200u);
    table.release(40);
    table.release(7);
    EXPECT_EQ(figures[6].State, kFreeSlot);
    EXPECT_EQ(figures[6].Color, kDark);  // the colour stays with the free slot
    EXPECT_EQ(table.AllocateLabel(kLight), 7);
    EXPECT_EQ(figures[6].Color, kLight);
    EXPECT_EQ(table.AllocateLabel(kLight), 40);
    EXPECT_EQ(table.AllocateLabel(kLight), 102);
}

TEST(FigureSlots, AllocateAndReleaseLeavesOnlyTheColourOrTheGrowth) {
    std::vector<FigureRecord> figures;
    FigureSlots table(figures);
    for (int n = 1; n <= 100; ++n) table.AllocateLabel(kLight);
    table.release(30);
    table.allocateAndRelease(kDark);
    EXPECT_EQ(figures[29], (FigureRecord{0, kDark, kFreeSlot}));
    EXPECT_EQ(table.AllocateLabel(kLight), 30);
    // With no free slot the table doubles, and the new slot is free again afterwards.
    table.allocateAndRelease(kDark);
    EXPECT_EQ(figures.size(), 200u);
    EXPECT_EQ(figures[100], (FigureRecord{0, kDark, kFreeSlot}));
    EXPECT_EQ(table.AllocateLabel(kLight), 101);
}

TEST(LabelRecords, MergedSetsShowTheNumberTheyWereMergedInto) {
    std::vector<FigureRecord> figures;
    FigureSlots table(figures);
    LabelRecords records(table, 8);
    const std::int32_t a = records.allocate(kDark);   // number 1
    const std::int32_t b = records.allocate(kDark);   // number 2
    const std::int32_t c = records.allocate(kLight);  // number 3
    records.MergeLabels(records.find(a), records.find(b));
    const std::int32_t d = records.allocate(kDark);  // takes the freed 1
    records.MergeLabels(records.find(b), records.find(d));
    EXPECT_EQ(records.resolveNumbers(), (std::vector<std::int32_t>{1, 1, 3, 1}));
    EXPECT_EQ(records.find(a), records.find(d));
    EXPECT_NE(records.find(a), records.find(c));
    EXPECT_EQ(figures[1].State, kFreeSlot);
}

}  // namespace
