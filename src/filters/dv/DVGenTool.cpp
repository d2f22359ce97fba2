// vr_dvgen: writes a DV clip with recording dates, scene jumps, timecode and 48 kHz audio.
#include "DVGenerator.h"

#include <gst/gst.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void Usage() {
    std::fprintf(stderr, "usage: vr_dvgen -o FILE [--frames N] [--ntsc] [--wide]\n"
                         "                [--date YYYY-MM-DDTHH:MM:SS] [--jump FRAME:SECONDS]...\n"
                         "                [--nodate FROM:TO]... [--timecode HH:MM:SS:FF]\n");
}

bool ParsePair(const char* s, double& a, double& b) {
    return std::sscanf(s, "%lf:%lf", &a, &b) == 2;
}

} // namespace

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    dv::ClipSpec spec;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        double x = 0, y = 0;
        if (!std::strcmp(a, "--ntsc")) {
            spec.pal = false;
            continue;
        }
        if (!std::strcmp(a, "--wide")) {
            spec.widescreen = true;
            continue;
        }
        if (!v) {
            Usage();
            return 2;
        }
        ++i;
        if (!std::strcmp(a, "-o")) {
            out = v;
        } else if (!std::strcmp(a, "--frames")) {
            spec.frames = std::atoi(v);
        } else if (!std::strcmp(a, "--jump") && ParsePair(v, x, y)) {
            spec.dateJumps.push_back({static_cast<int>(x), y});
        } else if (!std::strcmp(a, "--nodate") && ParsePair(v, x, y)) {
            spec.datelessStretches.push_back({static_cast<int>(x), static_cast<int>(y)});
        } else if (!std::strcmp(a, "--date")) {
            int Y, M, D, h, m, s;
            if (std::sscanf(v, "%d-%d-%dT%d:%d:%d", &Y, &M, &D, &h, &m, &s) != 6 ||
                !dv::EncodeDateTime(Y, M, D, h, m, s)) {
                Usage();
                return 2;
            }
            spec.startDate = *dv::EncodeDateTime(Y, M, D, h, m, s);
        } else if (!std::strcmp(a, "--timecode")) {
            int h, m, s, f;
            if (std::sscanf(v, "%d:%d:%d:%d", &h, &m, &s, &f) != 4) {
                Usage();
                return 2;
            }
            spec.startTimecode = {static_cast<uint8_t>(h), static_cast<uint8_t>(m),
                                  static_cast<uint8_t>(s), static_cast<uint8_t>(f)};
        } else {
            Usage();
            return 2;
        }
    }
    if (out.empty() || spec.frames <= 0) {
        Usage();
        return 2;
    }
    std::string error;
    if (!dv::GenerateClip(out, spec, &error)) {
        std::fprintf(stderr, "vr_dvgen: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
