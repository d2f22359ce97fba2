#pragma once

#include "IncrustRec.h"

// The persisted fields of the overlay record, in stored order, for the stores.
// f(group, name, field): group is empty for the record's own fields and "FontRec" for the
// font's; field is a QString&, double&, bool&, int32_t&, uint32_t& (colour), ByteInt (a
// byte stored as an integer, low 8 bits kept) or ByteFlag (a byte stored as a boolean).
struct ByteInt {
    uint8_t& v;
};
struct ByteFlag {
    uint8_t& v;
};

inline constexpr const char* kFontGroup = "FontRec";

template <class F> void visitIncrustRec(TincrustRec& r, F&& f) {
    f("", "Incrust1", r.Incrust1);
    f("", "Incrust2", r.Incrust2);
    f("", "FormatDate1", r.FormatDate1);
    f("", "FormatDate2", r.FormatDate2);
    f("", "Decalage Horaire", r.Decalage);
    f(kFontGroup, "FontName", r.FontRec.FontName);
    f(kFontGroup, "FontSize", r.FontRec.FontSize);
    f(kFontGroup, "FontColor", r.FontRec.FontColor);
    f(kFontGroup, "FontBold", ByteFlag{r.FontRec.FontBold});
    f(kFontGroup, "FontItalic", ByteFlag{r.FontRec.FontItalic});
    f(kFontGroup, "FontUnderline", ByteFlag{r.FontRec.FontUnderline});
    f(kFontGroup, "FontStrikeOut", ByteFlag{r.FontRec.FontStrikeOut});
    f("", "Autofontsize", r.Autofontsize);
    f("", "BorderSize", r.BorderSize);
    f("", "What Incrust", ByteInt{r.WhatIncrust});
    f("", "Alignement", ByteInt{r.Alignement});
    f("", "BorderColor", r.BorderColor);
    f("", "Xpos", r.Xpos);
    f("", "Ypos", r.Ypos);
}
