#pragma once

#include "Runtime.h"

#include <QString>

namespace vscript {

class Vm;

// Routines of the standard library the compiler calls by number; slot 0 of the window
// receives the result, the arguments follow.
enum class Bi : int32_t {
    IntToStr,
    FloatToStr,
    StrToInt,
    StrToIntDef,
    Copy,
    Pos,
    Delete,
    Insert,
    UpperCase,
    LowerCase,
    Trim,
    LengthS,
    LengthA,
    SetLengthS,
    SetLengthA,
    AbsI,
    AbsF,
    Sqrt,
    Round,
    Trunc,
    RandomI,
    RandomF,
    Randomize,
    Now,
    Date,
    Time,
    FormatDateTime,
    DateToStr,
    TimeToStr,
    Format,
    NewExc,
    ExcMessage,
    ExcClassName,
    RangeError,
    StrToInt64,
    StrToFloat,
    StringReplace,
    QuotedStr,
    IntToHex,
    StringOfChar,
    TrimLeft,
    TrimRight,
    CompareStr,
    CompareText,
    SameText,
    BoolToStr,
    LastDelimiter,
    FormatFloat,
    FloatToStrF,
    Int,
    Frac,
    Ln,
    Exp,
    Sin,
    Cos,
    ArcTan,
    EncodeDate,
    EncodeTime,
    DecodeDate,
    DecodeTime,
    DayOfWeek,
    IncDay,
    Write,
    // Math, System's Str and Val, SysUtils' Unicode case and paths, StrUtils (StdLibMathText.cpp)
    MinMaxI,
    MinMaxF,
    Ceil,
    Floor,
    Power,
    IntPower,
    Sign,
    UpCaseC,
    AnsiUpperCase,
    AnsiLowerCase,
    Str,
    Val,
    IncludeTrailingPathDelimiter,
    ExcludeTrailingPathDelimiter,
    DupeString,
    ReverseString,
    LeftStr,
    RightStr,
    StartsText,
    EndsText,
    StartsStr,
    EndsStr,
    Count
};

using BuiltinFn = bool (*)(Vm& vm, Value* w, int argc);
// Write and WriteLn: w[1] says whether a line ends; then per value its tag, the value, the
// width and the decimals (-1 when not given).
bool biWrite(Vm& vm, Value* w, int argc);

BuiltinFn builtinFunction(Bi id);
// The routines numbered after Write.
BuiltinFn mathTextFunction(Bi id);

// A string result stored in dst (nullptr when empty), accounted on the heap.
void setStr(Value& dst, QString s);
// False, with EOutOfMemory raised, when a string of n characters would not fit in the heap.
bool allowChars(Vm& vm, int64_t n);

// Tags of the elements of an array of const (Format's arguments).
// TagInt32: an integer of at most 32 bits, which %x writes on 8 digits at most.
enum ConstTag : int64_t {
    TagInt = 0,
    TagFloat = 1,
    TagStr = 2,
    TagChar = 3,
    TagBool = 4,
    TagInt32 = 5
};

// Free Pascal's text for a value written by Write (width and decimals -1 when not given).
QString writeValueText(ConstTag tag, Value v, int64_t width, int64_t decimals);

// Free Pascal's texts for reals and formats, '.' as decimal separator.
QString formatFloatGeneral(double v);
// FormatFloat's patterns: sections "positive;negative;zero", 0 # . , E+ E- e+ e-, quoted text.
QString formatFloatPattern(const QString& pattern, double v);
// FloatToStrF; style as TFloatFormat numbers it (ffGeneral, ffExponent, ffFixed, ffNumber,
// ffCurrency).
QString formatFloatStyle(double v, int style, int64_t precision, int64_t digits);
// False with error empty when the text would grow past maxChars.
bool formatPascal(const QString& fmt, const Value* args, int count, QString& out, QString& error,
                  int64_t maxChars = int64_t(1) << 30);

} // namespace vscript
