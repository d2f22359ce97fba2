#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <vector>

// The load of the busiest processor, from two readings of /proc/stat.
namespace CpuLoad {

// The counters of one processor, in clock ticks since boot.
struct Times {
    quint64 idle = 0;  // idle and iowait
    quint64 total = 0; // every field of the line
};

// The per-processor lines ("cpu0", "cpu1", …) in their order; the "cpu" line of the whole
// machine and every line that is not a processor's are left out. Garbage gives nothing.
std::vector<Times> Parse(const QByteArray& procStat);

// The largest load of one processor between two readings, in percent rounded to the
// nearest. A processor whose counters did not advance counts 0; processors present in only
// one of the readings (taken off line in between) are not compared.
int Busiest(const std::vector<Times>& before, const std::vector<Times>& now);

} // namespace CpuLoad
