#include <gtest/gtest.h>

#include "common/OList.h"

namespace {
int a = 1, b = 2, c = 3, d = 4;
}

TEST(OList, CursorMovesToNextOrPreviousOnRemoval) {
    OList l;
    l.Append(&a);
    l.Append(&b);
    l.Append(&c);
    l.Reset();
    l.Advance(); // on b
    ASSERT_EQ(l.Current(), &b);
    EXPECT_TRUE(l.Remove(&b));
    EXPECT_EQ(l.Current(), &c); // moved to the next node
    EXPECT_TRUE(l.Remove(&c));
    EXPECT_EQ(l.Current(), &a); // the last node went: back to the previous
    EXPECT_EQ(l.Count(), 1);
    EXPECT_TRUE(l.Remove(&a));
    EXPECT_TRUE(l.AtEnd());
    EXPECT_EQ(l.Current(), nullptr);
    EXPECT_FALSE(l.Remove(&a));
    EXPECT_EQ(l.Count(), 0);
}

TEST(OList, RemoveTakesFirstMatchAndCursorElsewhereStays) {
    OList l;
    l.Append(&a);
    l.Append(&b);
    l.Append(&a);
    l.Append(&c);
    l.Reset();
    l.Advance();
    l.Advance(); // second a
    ASSERT_EQ(l.Current(), &a);
    l.Remove(&a); // the first a goes
    EXPECT_EQ(l.Current(), &a);
    l.Advance();
    EXPECT_EQ(l.Current(), &c);
    EXPECT_EQ(l.Count(), 3);
}

TEST(OList, InsertBeforeCursorAndSaveRestore) {
    OList l;
    l.InsertBeforeCursor(&c); // cursor at end: appends
    l.Reset();
    l.InsertBeforeCursor(&a); // before c
    EXPECT_EQ(l.At(0), &a);
    EXPECT_EQ(l.At(1), &c);
    l.Reset();
    l.Advance(); // on c
    l.InsertBeforeCursor(&b);
    EXPECT_EQ(l.At(1), &b);
    EXPECT_EQ(l.Current(), &c);

    OList::Position saved = l.GetCursor();
    l.Reset();
    while (!l.AtEnd()) l.Advance();
    l.Advance(); // never past the sentinel
    EXPECT_TRUE(l.AtEnd());
    l.SetCursor(saved);
    EXPECT_EQ(l.Current(), &c);
    EXPECT_EQ(l.At(3), nullptr);
    EXPECT_EQ(l.At(-1), nullptr);

    l.Append(&d);
    l.Clear();
    EXPECT_EQ(l.Count(), 0);
    EXPECT_TRUE(l.AtEnd());
}
