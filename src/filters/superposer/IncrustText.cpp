#include "IncrustText.h"

#include "DateTimeFormat.h"

#include <cstdio>

namespace incrust {
namespace {

constexpr char kNotAvailable[] = "N/A";

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

void dvDate(const VrIncrustRec& rec, const TextInputs& in, const std::string& pattern,
            std::string& out) {
    if (!in.haveScene || !in.info.DateValid) {
        out = kNotAvailable;
        return;
    }
    vrdate::formatDateTime(pattern, in.info.RecDate + rec.Decalage, out);
}

void realDate(const VrIncrustRec& rec, const TextInputs& in, const std::string& pattern,
              std::string& out) {
    vrdate::formatDateTime(pattern, in.now + rec.Decalage, out);
}

} // namespace

void formatTimecode(const TextInputs& in, std::string& out) {
    if (!in.haveScene || !in.info.TimecodeValid) {
        out = kNotAvailable;
        return;
    }
    const auto& tc = in.info.Timecode;
    char text[32];
    const int n =
        std::snprintf(text, sizeof text, "%d:%.2d:%.2d:%.2d", int(static_cast<int8_t>(tc[0])),
                      int(tc[1]), int(tc[2]), int(tc[3]));
    out.assign(text, n > 0 ? size_t(n) : 0);
}

void replaceMarker(std::string& text, char letter, const std::string& by) {
    const char wanted = lowerAscii(letter);
    std::string result;
    size_t from = 0;
    size_t i = 0;
    while (i + 1 < text.size()) {
        if (text[i] == '%' && lowerAscii(text[i + 1]) == wanted) {
            if (result.empty())
                result.reserve(text.size() + by.size());
            result.append(text, from, i - from);
            result.append(by);
            i += 2;
            from = i;
        } else {
            ++i;
        }
    }
    if (from == 0)
        return; // no marker
    result.append(text, from, std::string::npos);
    text.swap(result);
}

bool produceLines(const VrIncrustRec& rec, const TextInputs& in, std::string& line1,
                  std::string& line2) {
    switch (rec.WhatIncrust) {
    case VrIncrustRec::Datecode:
        dvDate(rec, in, rec.FormatDate1, line1);
        dvDate(rec, in, rec.FormatDate2, line2);
        return true;
    case VrIncrustRec::Timecode:
        line1.clear();
        formatTimecode(in, line2);
        return true;
    case VrIncrustRec::Perso: {
        std::string d1, d2, t, r1, r2;
        dvDate(rec, in, rec.FormatDate1, d1);
        dvDate(rec, in, rec.FormatDate2, d2);
        formatTimecode(in, t);
        realDate(rec, in, rec.FormatDate1, r1);
        realDate(rec, in, rec.FormatDate2, r2);
        line1 = rec.Incrust1;
        replaceMarker(line1, 'D', d1);
        replaceMarker(line1, 'T', t);
        replaceMarker(line1, 'R', r1);
        line2 = rec.Incrust2;
        replaceMarker(line2, 'D', d2);
        replaceMarker(line2, 'T', t);
        replaceMarker(line2, 'R', r2);
        return true;
    }
    case VrIncrustRec::Reel:
        realDate(rec, in, rec.FormatDate1, line1);
        realDate(rec, in, rec.FormatDate2, line2);
        return true;
    case VrIncrustRec::Nothing:
        line1.clear();
        line2.clear();
        return true;
    default:
        return false;
    }
}

} // namespace incrust
