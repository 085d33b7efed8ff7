#include "params/TGridParamList.h"

#include <gtest/gtest.h>

namespace {

TOrderedParamString Named(const std::string& name, int fieldOrder) {
    TOrderedParamString p;
    p.SetFieldName(name);
    p.SetFieldOrder(fieldOrder);
    return p;
}

std::string Names(const TGridParamList& list) {
    std::string s;
    for (int i = 0; i < list.Count(); ++i) {
        s += list.Get(i).GetFieldName() + std::to_string(list.Get(i).GetFieldOrder()) +
             std::to_string(list.Get(i).GetParamOrder()) + " ";
    }
    return s;
}

}  // namespace

TEST(GridParamList, AddNumbersParamOrderOnlyByDefault) {
    TGridParamList list;
    list.Add(Named("a", 5));
    list.Add(Named("b", 7));
    EXPECT_EQ(Names(list), "a50 b71 ");
}

TEST(GridParamList, RemoveClosesFieldOrderGap) {
    TGridParamList list;
    list.Add(Named("a", 0));
    list.Add(Named("b", 1));
    list.Add(Named("c", 3));
    list.Add(Named("d", 2));
    list.Remove(1);
    EXPECT_EQ(Names(list), "a00 c21 d12 ");
}

TEST(GridParamList, MovesSwapAndRenumberUnderFlags) {
    TGridParamList list;
    list.SetAutoSetFieldNumber(true);
    list.Add(Named("a", 9));
    list.Add(Named("b", 9));
    list.Add(Named("c", 9));
    list.MoveUp(2);
    EXPECT_EQ(Names(list), "a00 c11 b22 ");
    list.MoveDown(0);
    EXPECT_EQ(Names(list), "c00 a11 b22 ");
    list.MoveUp(0);
    list.MoveDown(2);
    EXPECT_EQ(Names(list), "c00 a11 b22 ");
}

TEST(GridParamList, MoveKeepsFieldOrderWhenNotAutomatic) {
    TGridParamList list;
    list.Add(Named("a", 0));
    list.Add(Named("b", 1));
    list.MoveDown(0);
    EXPECT_EQ(Names(list), "b10 a01 ");
}

TEST(GridParamList, SetReplacesAndKeepsCopySemantics) {
    TGridParamList list;
    list.Add(Named("a", 0));
    TGridParamString copy = list.Get(0);
    copy.SetFieldName("z");
    EXPECT_EQ(list.Get(0).GetFieldName(), "a");
    list.Set(0, copy);
    EXPECT_EQ(list.Get(0).GetFieldName(), "z");
    EXPECT_TRUE(list.Get(0).Equals(copy));
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}
