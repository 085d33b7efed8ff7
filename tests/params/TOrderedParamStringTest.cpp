#include "params/TOrderedParamString.h"

#include <gtest/gtest.h>

using P = TOrderedParamString;

TEST(OrderedParamString, DefaultIsOneLineBodyParamStartingOnKeyLine) {
    const P p;
    EXPECT_EQ(p.GetRowType(), P::RowSingle);
    EXPECT_EQ(p.GetPosType(), P::PosBody);
    EXPECT_TRUE(p.GetStartLine());
    EXPECT_EQ(p.GetParamOrder(), -1);
    EXPECT_EQ(p.GetFieldOrder(), -1);
    EXPECT_TRUE(p.IsSingleLineResult());
}

TEST(OrderedParamString, CopiesShareIdSeparateBuildsDoNot) {
    const P a;
    const P b;
    P c = a;
    EXPECT_TRUE(c.Equals(a));
    EXPECT_FALSE(a.Equals(b));
    EXPECT_GT(b.GetId(), a.GetId());
    c.SetFieldName("x");
    EXPECT_FALSE(c.Equals(a));
}

TEST(OrderedParamString, AutoFormatSetterRange) {
    P p;
    for (const auto& [given, stored] :
         {std::pair{9, 0}, {10, 10}, {9999, 9999}, {10000, 0}, {-5, 0}}) {
        p.SetAutoFormat(given);
        EXPECT_EQ(p.GetAutoFormat(), stored) << given;
    }
    // The full constructor stores what it is given.
    const P q(-1, "k", -1, "f", 1, 0, false, false, false, 5, true, "", false, false, false);
    EXPECT_EQ(q.GetAutoFormat(), 5);
    EXPECT_FALSE(q.IsSingleLineResult());
}

TEST(OrderedParamString, EndStringReadsEmptyOutsideBody) {
    P p;
    p.SetEndStr("--");
    p.SetEndStrRegExp(true);
    EXPECT_EQ(p.GetEndStr(), "--");
    EXPECT_TRUE(p.GetEndStrRegExp());
    p.SetPosType(P::PosHeader);
    EXPECT_EQ(p.GetEndStr(), "");
    EXPECT_FALSE(p.GetEndStrRegExp());
    P q;
    q.SetEndStrRegExp(true);  // no end string: the flag reads false
    EXPECT_FALSE(q.GetEndStrRegExp());
}

TEST(OrderedParamString, MailAddressHidesMailName) {
    P p;
    p.SetMailName(true);
    p.SetMailAddress(true);
    EXPECT_FALSE(p.GetMailName());
    p.SetMailName(false);  // ignored while MailAddress is set
    p.SetMailAddress(false);
    EXPECT_TRUE(p.GetMailName());
}

TEST(OrderedParamString, OrdersByFieldOrderOnly) {
    P a;
    P b;
    a.SetFieldOrder(1);
    b.SetFieldOrder(2);
    a.SetParamOrder(9);
    EXPECT_TRUE(a < b);
    EXPECT_FALSE(b < a);
    b.SetFieldOrder(1);
    EXPECT_FALSE(a < b || b < a);
}
