#include <gtest/gtest.h>

#include "framework/Variant.h"

using namespace corvina;

namespace {
const TFormatSettings ru = TFormatSettings::Russian();
}

TEST(Variant, KindNumbersAreTheStoreTypeCodes) {
  EXPECT_EQ(Variant().Kind(), 0);
  EXPECT_EQ(Variant::Null().Kind(), 1);
  EXPECT_EQ(Variant::FromInteger(1).Kind(), 3);
  EXPECT_EQ(Variant::FromFloat(1).Kind(), 5);
  EXPECT_EQ(Variant::FromDate(1).Kind(), 7);
  EXPECT_EQ(Variant::FromBoolean(true).Kind(), 11);
  EXPECT_EQ(Variant::FromString("x").Kind(), 256);
  EXPECT_EQ(Variant::FromString("x", varOleStr).Kind(), 8);
  EXPECT_EQ(Variant::FromInteger(1, varWord).Kind(), 18);
  EXPECT_EQ(Variant::OfKind(varArray | varInteger).Kind(), 0x2003);
}

TEST(Variant, IntegerConversions) {
  EXPECT_EQ(Variant::FromString("0x1F").AsInteger(ru), 31);
  EXPECT_EQ(Variant::FromString("$ff").AsInteger(ru), 255);
  EXPECT_EQ(Variant::FromString(" -42 ").AsInteger(ru), -42);
  EXPECT_EQ(Variant::FromString("2,6").AsInteger(ru), 3);
  EXPECT_EQ(Variant::FromBoolean(true).AsInteger(ru), -1);
  EXPECT_EQ(Variant::FromFloat(2.5).AsInteger(ru), 3);
  EXPECT_EQ(Variant::FromInteger(0x1FFFFFFFFLL, varInt64).AsInteger(ru), -1);
  EXPECT_THROW(Variant::FromString("12a").AsInteger(ru), EVariantError);
  EXPECT_THROW(Variant::Null().AsInteger(ru), EVariantError);
}

TEST(Variant, BooleanConversions) {
  EXPECT_TRUE(Variant::FromString("2").AsBoolean(ru));
  EXPECT_FALSE(Variant::FromString("0").AsBoolean(ru));
  EXPECT_TRUE(Variant::FromString("TRUE").AsBoolean(ru));
  EXPECT_FALSE(Variant::FromString("false").AsBoolean(ru));
  EXPECT_TRUE(Variant::FromInteger(7).AsBoolean(ru));
  EXPECT_THROW(Variant::FromString("yes").AsBoolean(ru), EVariantError);
}

TEST(Variant, TextConversions) {
  EXPECT_EQ(Variant::FromInteger(-5).AsString(ru), "-5");
  EXPECT_EQ(Variant::FromFloat(1.25).AsString(ru), "1,25");
  EXPECT_EQ(Variant::FromBoolean(true).AsString(ru), "True");
  EXPECT_EQ(Variant::FromDate(EncodeDate(2007, 1, 5)).AsString(ru), "05.01.2007");
  EXPECT_EQ(Variant::Null().AsString(ru), "");
  EXPECT_THROW(Variant::OfKind(varDispatch).AsString(ru), EVariantError);
}

TEST(Variant, FloatAndDateConversions) {
  EXPECT_DOUBLE_EQ(Variant::FromString("1,5").AsDouble(ru), 1.5);
  EXPECT_THROW(Variant::FromString("1.5").AsDouble(ru), EVariantError);
  EXPECT_EQ(Variant::FromString("05.01.2007 14:03:22").AsDate(ru),
            EncodeDateTime({2007, 1, 5, 14, 3, 22, 0}));
  EXPECT_EQ(Variant::FromInteger(2).AsDate(ru), EncodeDate(1900, 1, 1));
}

TEST(TryStrToInt64, Boundaries) {
  std::int64_t v = 0;
  EXPECT_TRUE(TryStrToInt64("-9223372036854775808", v));
  EXPECT_EQ(v, INT64_MIN);
  EXPECT_FALSE(TryStrToInt64("9223372036854775808", v));
  EXPECT_TRUE(TryStrToInt64("$FF00000F", v));
  EXPECT_EQ(v, 0xFF00000F);
  for (const char* bad : {"", "-", "$", "0x", "1 2", "+-1", "0xG"})
    EXPECT_FALSE(TryStrToInt64(bad, v)) << bad;
}
