#pragma once

#include <cstdint>
#include <string>

// The overlay's own copy of the program's inlay record (TincrustRec in src/settings): the same
// fields with the same defaults, texts in UTF-8, so that the element links no Qt. The program
// converts its record when it hands it to an overlay; "incrust-rec" is this record boxed.
struct VrFontRec {
    std::string FontName;
    int32_t FontSize = 21; // points
    uint32_t FontColor = 0xFFFFFF;
    uint8_t FontBold = 0;
    uint8_t FontItalic = 0;
    uint8_t FontUnderline = 0;
    uint8_t FontStrikeOut = 0;

    bool operator==(const VrFontRec&) const = default;
};

struct VrIncrustRec {
    // Kinds of text (WhatIncrust), the values of the program's wiDatecode..wiNothing.
    enum What : uint8_t {
        Datecode = 0,
        Timecode = 1,
        Perso = 2,
        Reel = 3,
        Nothing = 4,
    };

    std::string Incrust1;
    std::string Incrust2;
    std::string FormatDate1;
    std::string FormatDate2;
    double Decalage = 0.0; // days added to every displayed date
    VrFontRec FontRec;
    bool Autofontsize = true;
    int32_t BorderSize = 1;
    uint8_t WhatIncrust = Datecode;
    uint8_t Alignement = 2; // 0 left, 1 centred on the anchor, 2 right, 3 sub-title
    uint32_t BorderColor = 0;
    int32_t Xpos = 914; // thousandths of the frame width
    int32_t Ypos = 914; // thousandths of the frame height, from the top

    bool operator==(const VrIncrustRec&) const = default;
};
