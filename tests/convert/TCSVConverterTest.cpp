#include "convert/TCSVConverter.h"

#include <gtest/gtest.h>

#include "TFakeMailStore.h"
#include "TParamMaker.h"
#include "base/TKestrifyError.h"

namespace {

TOrderedParamString Param(const std::string& key, int fieldOrder, const std::string& name,
                          int rowType, int posType) {
    return PlainParam(key, fieldOrder, name, static_cast<std::uint8_t>(rowType),
                      static_cast<std::uint8_t>(posType));
}

// Columns in FieldOrder: subject, blank, name.
std::unique_ptr<TConvertParam> Params() {
    return std::make_unique<TConvertParam>(std::vector<TOrderedParamString>{
        Param("Name:", 2, "name", 1, 0), Param("Subject:", 0, "subject", 1, 1),
        Param("", 1, "blank", 2, 2)});
}

using TRow = TCSVConverter::TRow;

}  // namespace

TEST(CSVConverter, ColumnsFollowFieldOrder) {
    TCSVConverter converter(std::make_unique<TFakeReader>(2), Params());
    EXPECT_EQ(converter.GetFieldNames(), (std::vector<std::string>{"subject", "blank", "name"}));
    EXPECT_EQ(converter.GetParams().size(), 3u);
    EXPECT_EQ(converter.GetParams()[0].GetFieldName(), "name");  // list order
    EXPECT_FALSE(converter.HasMultiLineColumn());
}

TEST(CSVConverter, CursorWalksEveryMail) {
    TCSVConverter converter(std::make_unique<TFakeReader>(2), Params());
    EXPECT_EQ(converter.GetCount(), 2);
    std::vector<TRow> rows;
    for (converter.First(); !converter.IsDone(); converter.Next()) {
        rows.push_back(converter.GetRow());
    }
    EXPECT_EQ(rows, (std::vector<TRow>{{"s0", "", "n0"}, {"s1", "", "n1"}}));
    converter.First();
    EXPECT_EQ(converter.GetIndex(), 0);
    EXPECT_FALSE(converter.IsDone());
}

// Hand-written projects leave FIELD_ORDER out (-1 for all) or repeat it:
// each column still shows its own parameter's value, equal orders in list
// order.
TEST(CSVConverter, MissingOrRepeatedFieldOrdersKeepOwnValues) {
    struct TCase {
        std::vector<int> orders;  // of name, subject, blank
        std::vector<std::string> titles;
        TRow row;
    };
    const std::vector<TCase> cases = {
        {{-1, -1, -1}, {"name", "subject", "blank"}, {"n0", "s0", ""}},
        {{0, 0, 0}, {"name", "subject", "blank"}, {"n0", "s0", ""}},
        {{5, 1, 1}, {"subject", "blank", "name"}, {"s0", "", "n0"}},
        {{7, -1, 3}, {"subject", "blank", "name"}, {"s0", "", "n0"}},
    };
    for (const TCase& c : cases) {
        auto params = std::make_unique<TConvertParam>(
            std::vector<TOrderedParamString>{Param("Name:", c.orders[0], "name", 1, 0),
                                             Param("Subject:", c.orders[1], "subject", 1, 1),
                                             Param("", c.orders[2], "blank", 2, 2)});
        TCSVConverter converter(std::make_unique<TFakeReader>(1), std::move(params));
        EXPECT_EQ(converter.GetFieldNames(), c.titles);
        EXPECT_EQ(converter.BuildRow(0), c.row);
        EXPECT_EQ(converter.GetParams()[0].GetFieldOrder(), c.orders[0]);  // as given
    }
}

TEST(CSVConverter, MailIsDestroyedAlsoWhenItFails) {
    const int before = TFakeMail::live;
    {
        auto reader = std::make_unique<TFakeReader>(3);
        reader->FailAt(1, TFakeReader::TFailure::Reader);
        TCSVConverter converter(std::move(reader), Params());
        EXPECT_EQ(converter.BuildRow(0).size(), 3u);
        EXPECT_THROW(converter.BuildRow(1), TKestrifyError);
        EXPECT_EQ(TFakeMail::live, before);
    }
}

TEST(CSVConverter, NeedsReaderAndParameters) {
    EXPECT_THROW(TCSVConverter(nullptr, Params()), std::invalid_argument);
    EXPECT_THROW(TCSVConverter(std::make_unique<TFakeReader>(1), nullptr), std::invalid_argument);
}
