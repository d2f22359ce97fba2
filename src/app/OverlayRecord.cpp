#include "OverlayRecord.h"

#include "GstSuperposer.h"

VrIncrustRec toOverlayRec(const TincrustRec& rec) {
    VrIncrustRec out;
    out.Incrust1 = rec.Incrust1.toStdString();
    out.Incrust2 = rec.Incrust2.toStdString();
    out.FormatDate1 = rec.FormatDate1.toStdString();
    out.FormatDate2 = rec.FormatDate2.toStdString();
    out.Decalage = rec.Decalage;
    out.FontRec.FontName = rec.FontRec.FontName.toStdString();
    out.FontRec.FontSize = rec.FontRec.FontSize;
    out.FontRec.FontColor = rec.FontRec.FontColor;
    out.FontRec.FontBold = rec.FontRec.FontBold;
    out.FontRec.FontItalic = rec.FontRec.FontItalic;
    out.FontRec.FontUnderline = rec.FontRec.FontUnderline;
    out.FontRec.FontStrikeOut = rec.FontRec.FontStrikeOut;
    out.Autofontsize = rec.Autofontsize;
    out.BorderSize = rec.BorderSize;
    out.WhatIncrust = rec.WhatIncrust;
    out.Alignement = rec.Alignement;
    out.BorderColor = rec.BorderColor;
    out.Xpos = rec.Xpos;
    out.Ypos = rec.Ypos;
    return out;
}

void setOverlayIncrustRec(GstElement* overlay, const TincrustRec& rec) {
    const VrIncrustRec converted = toOverlayRec(rec);
    g_object_set(overlay, "incrust-rec", &converted, nullptr);
}
