// The library's base: its exception tree, the missing-aware tag value types and
// small byte helpers.
#pragma once

#include "kestrix/Consts.h"
#include "kestrix/Platform.h"
#include "kestrix/StreamHelper.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace Kestrix::Exif {

// ---------------------------------------------------------------------------
// Exceptions

class EKestrixExifException : public Exception {
public:
    using Exception::Exception;
};

// Declares a library exception whose default message is a fixed constant.
#define KESTRIX_EXCEPTION(Name, Parent, DefaultMessage)                                            \
    class Name : public Parent {                                                                   \
    public:                                                                                        \
        Name() : Parent(DefaultMessage) {}                                                         \
        using Parent::Parent;                                                                      \
    }

KESTRIX_EXCEPTION(EUnsupportedGraphicFormat, EKestrixExifException,
                  Consts::SUnsupportedGraphicFormat);
KESTRIX_EXCEPTION(EInvalidJPEGHeader, EKestrixExifException, Consts::SInvalidJPEGHeader);
KESTRIX_EXCEPTION(EInvalidPSDHeader, EKestrixExifException, Consts::SInvalidPSDHeader);
KESTRIX_EXCEPTION(EInvalidTiffData, EKestrixExifException, Consts::SInvalidTiffData);
KESTRIX_EXCEPTION(ENotOnlyASCIIError, EInvalidTiffData, Consts::SNotOnlyASCIIError);
KESTRIX_EXCEPTION(EInvalidMakerNoteFormat, EInvalidTiffData, Consts::SInvalidMakerNoteFormat);

class ETagAlreadyExists : public EInvalidTiffData {
public:
    // "Tag with ID of "%d" already exists in section"
    explicit ETagAlreadyExists(int tagID);
};

class EExifDataPatcherError : public EKestrixExifException {
public:
    using EKestrixExifException::EKestrixExifException;
};
KESTRIX_EXCEPTION(EIllegalEditOfExifData, EExifDataPatcherError, Consts::SIllegalEditOfExifData);

// The two XMP errors stand outside the library tree.
KESTRIX_EXCEPTION(EInvalidXMPPacket, Exception, Consts::SInvalidXMPPacket);
class EInvalidXMPOperation : public EInvalidOperation {
public:
    using EInvalidOperation::EInvalidOperation;
};

#undef KESTRIX_EXCEPTION

// ---------------------------------------------------------------------------
// Tag value types: a number or a date with a missing-or-invalid state.

struct TDateTimeTagValue {
    static constexpr TDateTime MissingValue = -700000.0;
    // Anything before 1 January 0001 counts as missing.
    static constexpr TDateTime FirstValidValue = -693593.0;

    TDateTime FValue = MissingValue;

    constexpr TDateTimeTagValue() = default;
    constexpr TDateTimeTagValue(TDateTime value) : FValue(value) {}
    static TDateTimeTagValue CreateFromString(std::string_view text);
    static constexpr TDateTimeTagValue CreateMissingOrInvalid() { return {}; }
    constexpr bool MissingOrInvalid() const { return FValue < FirstValidValue; }
    constexpr explicit operator TDateTime() const { return FValue; }

    friend constexpr bool operator==(TDateTimeTagValue a, TDateTimeTagValue b) {
        return a.MissingOrInvalid() ? b.MissingOrInvalid() : a.FValue == b.FValue;
    }
    friend constexpr bool operator<(TDateTimeTagValue a, TDateTimeTagValue b) {
        return !a.MissingOrInvalid() && !b.MissingOrInvalid() && a.FValue < b.FValue;
    }
    friend constexpr bool operator<=(TDateTimeTagValue a, TDateTimeTagValue b) {
        return BothMissing(a, b) ||
               (!a.MissingOrInvalid() && !b.MissingOrInvalid() && a.FValue <= b.FValue);
    }
    friend constexpr bool operator>(TDateTimeTagValue a, TDateTimeTagValue b) { return b < a; }
    friend constexpr bool operator>=(TDateTimeTagValue a, TDateTimeTagValue b) { return b <= a; }

private:
    static constexpr bool BothMissing(TDateTimeTagValue a, TDateTimeTagValue b) {
        return a.MissingOrInvalid() && b.MissingOrInvalid();
    }
};

// The shared shape of the three integer types. Equality compares value and
// flag; the orderings hold only between two valid values, and <=, >= also hold
// between two missing ones.
template <typename T, typename Derived> struct TIntegerTagValue {
    T FValue = 0;
    bool FMissingOrInvalid = true;

    constexpr TIntegerTagValue() = default;
    constexpr TIntegerTagValue(T value) : FValue(value), FMissingOrInvalid(false) {}
    static constexpr Derived CreateMissingOrInvalid() { return Derived(); }
    constexpr bool MissingOrInvalid() const { return FMissingOrInvalid; }

    friend constexpr bool operator==(const Derived& a, const Derived& b) {
        return a.FValue == b.FValue && a.FMissingOrInvalid == b.FMissingOrInvalid;
    }
    friend constexpr bool operator<(const Derived& a, const Derived& b) {
        return BothValid(a, b) && a.FValue < b.FValue;
    }
    friend constexpr bool operator<=(const Derived& a, const Derived& b) {
        return BothMissing(a, b) || (BothValid(a, b) && a.FValue <= b.FValue);
    }
    friend constexpr bool operator>(const Derived& a, const Derived& b) { return b < a; }
    friend constexpr bool operator>=(const Derived& a, const Derived& b) { return b <= a; }

private:
    static constexpr bool BothValid(const Derived& a, const Derived& b) {
        return !a.FMissingOrInvalid && !b.FMissingOrInvalid;
    }
    static constexpr bool BothMissing(const Derived& a, const Derived& b) {
        return a.FMissingOrInvalid && b.FMissingOrInvalid;
    }
};

struct TLongIntTagValue : TIntegerTagValue<std::int32_t, TLongIntTagValue> {
    using TIntegerTagValue::TIntegerTagValue;
    static TLongIntTagValue CreateFromString(std::string_view text);
    constexpr explicit operator std::int32_t() const { return FValue; }
    constexpr explicit operator std::int64_t() const { return FValue; }
    // A missing value stays missing.
    constexpr TLongIntTagValue operator-() const {
        return FMissingOrInvalid ? *this
                                 : TLongIntTagValue(static_cast<std::int32_t>(
                                       -static_cast<std::int64_t>(FValue)));
    }
};

struct TLongWordTagValue : TIntegerTagValue<std::uint32_t, TLongWordTagValue> {
    using TIntegerTagValue::TIntegerTagValue;
    static TLongWordTagValue CreateFromString(std::string_view text);
    constexpr explicit operator std::uint32_t() const { return FValue; }
    constexpr explicit operator std::int64_t() const { return FValue; }
    constexpr explicit operator std::uint64_t() const { return FValue; }
};

struct TWordTagValue : TIntegerTagValue<std::uint16_t, TWordTagValue> {
    using TIntegerTagValue::TIntegerTagValue;
    static TWordTagValue CreateFromString(std::string_view text);
    constexpr explicit operator std::uint16_t() const { return FValue; }
    constexpr explicit operator std::int32_t() const { return FValue; }
    constexpr explicit operator std::int64_t() const { return FValue; }
    constexpr explicit operator std::uint64_t() const { return FValue; }
    // Widening keeps the state.
    constexpr operator TLongIntTagValue() const {
        return FMissingOrInvalid ? TLongIntTagValue() : TLongIntTagValue(FValue);
    }
    constexpr operator TLongWordTagValue() const {
        return FMissingOrInvalid ? TLongWordTagValue() : TLongWordTagValue(FValue);
    }
};

// ---------------------------------------------------------------------------
// Byte helpers

// Invalid UTF-8 decodes to U+FFFD.
std::string UTF8BytesToText(const void* buffer, std::size_t count);
// Two uppercase hexadecimal digits a byte, no separators.
std::string BytesToHex(const void* buffer, std::size_t count);

} // namespace Kestrix::Exif
