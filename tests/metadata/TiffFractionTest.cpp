#include "kestrix/TiffUtils.h"

#include <gtest/gtest.h>

using namespace Kestrix::Exif;

namespace {

using WordFraction = TTiffLongWordFraction;
using IntFraction = TTiffLongIntFraction;

} // namespace

TEST(TiffFraction, UnsignedFromAndToText) {
    struct Case {
        const char* text;
        WordFraction parsed;
        const char* printed;
    };
    const Case cases[] = {
        {"3/4", {3, 4}, "3/4"},
        {"7", {7, 1}, "7"},
        {"4294967295/2", {4294967295u, 2}, "4294967295/2"},
        {"4294967296", {0, 0}, ""},
        {"1/x", {0, 0}, ""},
        {"-1/3", {0, 0}, ""},
        {"", {0, 0}, ""},
        {"3/0", {3, 0}, ""},
        {"0/5", {0, 5}, "0/5"},
        {"1/2/3", {0, 0}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const WordFraction fraction = WordFraction::CreateFromString(c.text);
        EXPECT_EQ(fraction, c.parsed);
        EXPECT_EQ(fraction.AsString(), c.printed);
    }
}

TEST(TiffFraction, SignedFromAndToText) {
    struct Case {
        const char* text;
        IntFraction parsed;
        const char* printed;
    };
    const Case cases[] = {
        {"-1/3", {-1, 3}, "-1/3"},
        {"5/-2", {5, -2}, "5/-2"},
        {"-7", {-7, 1}, "-7"},
        {"2147483648/1", {0, 0}, ""},
        {"-2147483648/7", {INT32_MIN, 7}, "-2147483648/7"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const IntFraction fraction = IntFraction::CreateFromString(c.text);
        EXPECT_EQ(fraction, c.parsed);
        EXPECT_EQ(fraction.AsString(), c.printed);
    }
}

TEST(TiffFraction, FromFixedDecimalReduces) {
    struct Case {
        double value;
        std::int64_t numerator;
        std::int64_t denominator;
    };
    const Case cases[] = {
        {2.5, 5, 2}, {0, 0, 1}, {0.0001, 1, 10000}, {3, 3, 1}, {1.25, 5, 4}, {-0.5, -1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const IntFraction signedFraction = IntFraction::Create(TFixedDecimal::FromDouble(c.value));
        EXPECT_EQ(signedFraction.Numerator, c.numerator);
        EXPECT_EQ(signedFraction.Denominator, c.denominator);
        if (c.numerator >= 0) {
            const WordFraction fraction = WordFraction::Create(TFixedDecimal::FromDouble(c.value));
            EXPECT_EQ(fraction.Numerator, c.numerator);
            EXPECT_EQ(fraction.Denominator, c.denominator);
        }
    }
    // Parts that do not fit the 32-bit type.
    EXPECT_THROW(WordFraction::Create(TFixedDecimal::FromDouble(-0.5)), ERangeError);
    EXPECT_THROW(WordFraction::Create(TFixedDecimal{42949672960001}), ERangeError);
    EXPECT_NO_THROW(WordFraction::Create(TFixedDecimal{42949672950000}));
    EXPECT_THROW(IntFraction::Create(TFixedDecimal{42949672950000}), ERangeError);
    EXPECT_THROW(IntFraction::Create(TFixedDecimal{INT64_MIN}), ERangeError);
    EXPECT_THROW(TFixedDecimal::FromDouble(1e300), ERangeError);
}

TEST(TiffFraction, QuotientAndPackedValue) {
    EXPECT_EQ(WordFraction(1, 4).Quotient(), 0.25L);
    EXPECT_EQ(WordFraction(1, 0).Quotient(), 0.0L);
    EXPECT_EQ(IntFraction(-3, 2).Quotient(), -1.5L);
    EXPECT_TRUE(WordFraction(1, 0).MissingOrInvalid());
    EXPECT_TRUE(WordFraction().MissingOrInvalid());

    const IntFraction fraction(-1, 3);
    EXPECT_EQ(fraction.GetPackedValue(), 0x00000003FFFFFFFFull);
    WordFraction unpacked;
    unpacked.SetPackedValue(0x0000000200000001ull);
    EXPECT_EQ(unpacked, WordFraction(1, 2));
}

TEST(TiffTypes, ElementSizesSetsAndWellFormedEntries) {
    const int sizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4, 0, 0};
    for (std::uint16_t code = 0; code < 16; ++code) {
        EXPECT_EQ(TiffElementSize(static_cast<TTiffDataType>(code)), sizes[code]) << code;
    }
    TTiffDataTypes types = {TTiffDataType::tdShort};
    types.Include(TTiffDataType::tdLong);
    EXPECT_TRUE(types.Contains(TTiffDataType::tdLong));
    types.Exclude(TTiffDataType::tdShort);
    EXPECT_FALSE(types.Contains(TTiffDataType::tdShort));
    EXPECT_FALSE(TTiffDataTypes::FromBits(0xFFFF).Contains(static_cast<TTiffDataType>(16)));
    EXPECT_TRUE(TTiffDataTypes().Empty());

    TTiffTagInfo info;
    info.DataType = TTiffDataType::tdDouble;
    info.ElementCount = 268435455; // 2147483640 bytes
    EXPECT_TRUE(info.IsWellFormed());
    info.ElementCount = 268435456; // 2^31 bytes
    EXPECT_FALSE(info.IsWellFormed());
    EXPECT_EQ(info.DataSize(), 0);
    info.ElementCount = -1;
    EXPECT_FALSE(info.IsWellFormed());

    TMetadataLoadErrors errors;
    EXPECT_TRUE(errors.Empty());
    errors.Include(TMetadataLoadError::leBadOffset);
    EXPECT_TRUE(errors.Contains(TMetadataLoadError::leBadOffset));
    EXPECT_FALSE(errors.Contains(TMetadataLoadError::leBadTagCount));
    errors.Exclude(TMetadataLoadError::leBadOffset);
    EXPECT_TRUE(errors.Empty());
}
