#pragma once

#include <QString>
#include <cstdint>

// Font of the inlaid text. Colours are 0x00BBGGRR.
struct TfontRecord {
    QString FontName;
    int32_t FontSize = 21; // points
    uint32_t FontColor = 0xFFFFFF;
    uint8_t FontBold = 0;
    uint8_t FontItalic = 0;
    uint8_t FontUnderline = 0;
    uint8_t FontStrikeOut = 0;

    bool operator==(const TfontRecord&) const = default;
};

// Kind of inlaid text (WhatIncrust).
enum : uint8_t {
    wiDatecode = 0,
    wiTimecode = 1,
    wiPerso = 2,
    wiReel = 3,
    wiNothing = 4,
};

// Settings of the text overlay, shared by the overlay element, its settings panel and the
// stores. Field order is the persisted order.
struct TincrustRec {
    QString Incrust1;
    QString Incrust2;
    QString FormatDate1;
    QString FormatDate2;
    double Decalage = 0.0; // days added to every displayed date
    TfontRecord FontRec;
    bool Autofontsize = true;
    int32_t BorderSize = 1;
    uint8_t WhatIncrust = wiDatecode;
    uint8_t Alignement = 2; // 0 left, 1 centred on the anchor, 2 right, 3 sub-title
    uint32_t BorderColor = 0;
    int32_t Xpos = 914; // thousandths of the frame width
    int32_t Ypos = 914; // thousandths of the frame height, from the top

    bool operator==(const TincrustRec&) const = default;
};

// The record a fresh installation starts with.
inline TincrustRec DefaultIncrustRec() {
    return TincrustRec{};
}
