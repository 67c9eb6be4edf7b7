#include "kestrix/BaseUtils.h"

#include <gtest/gtest.h>

using namespace Kestrix::Exif;

TEST(TagValues, ParsingHonoursEachTypesRange) {
    EXPECT_EQ(TWordTagValue::CreateFromString("65535"), TWordTagValue(65535));
    EXPECT_TRUE(TWordTagValue::CreateFromString("65536").MissingOrInvalid());
    EXPECT_TRUE(TWordTagValue::CreateFromString("-1").MissingOrInvalid());
    EXPECT_EQ(TLongWordTagValue::CreateFromString("4294967295"), TLongWordTagValue(4294967295u));
    EXPECT_TRUE(TLongWordTagValue::CreateFromString("4294967296").MissingOrInvalid());
    EXPECT_TRUE(TLongWordTagValue::CreateFromString("-1").MissingOrInvalid());
    EXPECT_EQ(TLongIntTagValue::CreateFromString("-2147483648"), TLongIntTagValue(INT32_MIN));
    EXPECT_TRUE(TLongIntTagValue::CreateFromString("2147483648").MissingOrInvalid());
    EXPECT_TRUE(TLongIntTagValue::CreateFromString("twelve").MissingOrInvalid());
    EXPECT_EQ(TDateTimeTagValue::CreateFromString("2014-03-05 10:30").FValue,
              EncodeDateTime(2014, 3, 5, 10, 30, 0, 0));
    EXPECT_EQ(TDateTimeTagValue::CreateFromString("someday").FValue, -700000.0);
}

TEST(TagValues, MissingStates) {
    EXPECT_TRUE(TDateTimeTagValue(-700000.0).MissingOrInvalid());
    EXPECT_TRUE(TDateTimeTagValue(-693593.5).MissingOrInvalid());
    EXPECT_FALSE(TDateTimeTagValue(-693593.0).MissingOrInvalid());
    EXPECT_FALSE(TDateTimeTagValue(0.0).MissingOrInvalid());
    EXPECT_EQ(TDateTimeTagValue::CreateMissingOrInvalid().FValue, -700000.0);
    const TLongIntTagValue missing = TLongIntTagValue::CreateMissingOrInvalid();
    EXPECT_TRUE(missing.MissingOrInvalid());
    EXPECT_EQ(missing.FValue, 0);
    EXPECT_EQ(-missing, missing);
    EXPECT_EQ(-TLongIntTagValue(5), TLongIntTagValue(-5));
    EXPECT_EQ(-TLongIntTagValue(INT32_MIN), TLongIntTagValue(INT32_MIN)); // wraps, never traps
}

TEST(TagValues, ComparisonsTreatMissingAsUnordered) {
    const TDateTimeTagValue missingDate;
    const TDateTimeTagValue otherMissing(-800000.0);
    const TDateTimeTagValue date(100.0);
    EXPECT_TRUE(missingDate == otherMissing);
    EXPECT_TRUE(missingDate <= otherMissing);
    EXPECT_TRUE(missingDate >= otherMissing);
    EXPECT_FALSE(missingDate < otherMissing);
    EXPECT_FALSE(missingDate == date);
    EXPECT_FALSE(date == missingDate);
    EXPECT_TRUE(date != missingDate);
    EXPECT_FALSE(missingDate < date || missingDate > date || date < missingDate ||
                 date > missingDate);
    EXPECT_FALSE(missingDate <= date || date <= missingDate);
    EXPECT_TRUE(date < TDateTimeTagValue(100.5));

    const TLongWordTagValue missing;
    const TLongWordTagValue big(0xFFFFFFFFu);
    EXPECT_TRUE(missing == TLongWordTagValue::CreateMissingOrInvalid());
    EXPECT_FALSE(missing == TLongWordTagValue(0));
    EXPECT_TRUE(TLongWordTagValue(1) < big);                 // unsigned order
    EXPECT_TRUE(TLongIntTagValue(-1) < TLongIntTagValue(1)); // signed order
    EXPECT_TRUE(missing <= TLongWordTagValue::CreateMissingOrInvalid());
    EXPECT_FALSE(missing <= big || big >= missing || missing < big);
    EXPECT_TRUE(TWordTagValue(3) >= TWordTagValue(3));
}

TEST(TagValues, ConversionsKeepValueOrState) {
    EXPECT_EQ(static_cast<std::int64_t>(TLongIntTagValue(-5)), -5);
    EXPECT_EQ(static_cast<std::uint64_t>(TLongWordTagValue(0xFFFFFFFFu)), 0xFFFFFFFFull);
    EXPECT_EQ(static_cast<std::int64_t>(TLongWordTagValue(0xFFFFFFFFu)), 0xFFFFFFFFll);
    EXPECT_EQ(static_cast<std::int32_t>(TWordTagValue(0xFFFF)), 0xFFFF);
    EXPECT_EQ(static_cast<std::int32_t>(TLongIntTagValue::CreateMissingOrInvalid()), 0);
    EXPECT_EQ(static_cast<TDateTime>(TDateTimeTagValue()), -700000.0);
    const TLongIntTagValue wide = TWordTagValue(7);
    EXPECT_EQ(wide, TLongIntTagValue(7));
    const TLongWordTagValue wideMissing = TWordTagValue::CreateMissingOrInvalid();
    EXPECT_TRUE(wideMissing.MissingOrInvalid());
}

TEST(Exceptions, LibraryTreeAndMessages) {
    try {
        throw ETagAlreadyExists(271);
    } catch (const EInvalidTiffData& e) {
        EXPECT_EQ(e.GetMessage(), "Tag with ID of \"271\" already exists in section");
    }
    EXPECT_STREQ(EInvalidPSDHeader().what(), "Photoshop (PSD) file header is not valid");
    EXPECT_STREQ(EListError(3).what(), "List index out of bounds (3)");
    EXPECT_STREQ(ERangeError().what(), "Range check error");
    EXPECT_STREQ(EAssertionFailed().what(), "Assertion failure");
    const EInvalidXMPPacket xmp;
    EXPECT_EQ(dynamic_cast<const EKestrixExifException*>(static_cast<const Exception*>(&xmp)),
              nullptr);
    const EIllegalEditOfExifData edit;
    EXPECT_NE(dynamic_cast<const EExifDataPatcherError*>(&edit), nullptr);
}
