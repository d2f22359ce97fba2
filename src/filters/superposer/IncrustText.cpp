#include "IncrustText.h"

#include "DateTimeFormat.h"

namespace incrust {
namespace {

const QString& notAvailable() {
    static const QString text = QStringLiteral("N/A");
    return text;
}

void dvDate(const TincrustRec& rec, const TextInputs& in, const QString& pattern, QString& out) {
    if (!in.haveScene || !in.info.DateValid) {
        out = notAvailable();
        return;
    }
    vrdate::formatDateTime(pattern, in.info.RecDate + rec.Decalage, out);
}

void realDate(const TincrustRec& rec, const TextInputs& in, const QString& pattern, QString& out) {
    vrdate::formatDateTime(pattern, in.now + rec.Decalage, out);
}

} // namespace

void formatTimecode(const TextInputs& in, QString& out) {
    if (!in.haveScene || !in.info.TimecodeValid) {
        out = notAvailable();
        return;
    }
    const auto& tc = in.info.Timecode;
    out = QString::asprintf("%d:%.2d:%.2d:%.2d", int(static_cast<int8_t>(tc[0])), int(tc[1]),
                            int(tc[2]), int(tc[3]));
}

void replaceMarker(QString& text, QChar letter, const QString& by) {
    const QChar marker[2] = {QChar(u'%'), letter};
    text.replace(QStringView(marker, 2).toString(), by, Qt::CaseInsensitive);
}

bool produceLines(const TincrustRec& rec, const TextInputs& in, QString& line1, QString& line2) {
    switch (rec.WhatIncrust) {
    case wiDatecode:
        dvDate(rec, in, rec.FormatDate1, line1);
        dvDate(rec, in, rec.FormatDate2, line2);
        return true;
    case wiTimecode:
        line1.clear();
        formatTimecode(in, line2);
        return true;
    case wiPerso: {
        QString d1, d2, t, r1, r2;
        dvDate(rec, in, rec.FormatDate1, d1);
        dvDate(rec, in, rec.FormatDate2, d2);
        formatTimecode(in, t);
        realDate(rec, in, rec.FormatDate1, r1);
        realDate(rec, in, rec.FormatDate2, r2);
        line1 = rec.Incrust1;
        replaceMarker(line1, u'D', d1);
        replaceMarker(line1, u'T', t);
        replaceMarker(line1, u'R', r1);
        line2 = rec.Incrust2;
        replaceMarker(line2, u'D', d2);
        replaceMarker(line2, u'T', t);
        replaceMarker(line2, u'R', r2);
        return true;
    }
    case wiReel:
        realDate(rec, in, rec.FormatDate1, line1);
        realDate(rec, in, rec.FormatDate2, line2);
        return true;
    case wiNothing:
        line1.clear();
        line2.clear();
        return true;
    default:
        return false;
    }
}

} // namespace incrust
