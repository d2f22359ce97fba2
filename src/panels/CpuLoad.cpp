#include "CpuLoad.h"

#include <QList>

#include <algorithm>

namespace CpuLoad {

std::vector<Times> Parse(const QByteArray& procStat) {
    std::vector<Times> cpus;
    for (const QByteArray& line : procStat.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        const QByteArray& name = fields.first();
        // "cpu" alone is the whole machine.
        if (name.size() <= 3 || !name.startsWith("cpu"))
            continue;
        bool numbered = false;
        name.mid(3).toUInt(&numbered);
        // user nice system idle at least; iowait and the rest when the kernel has them.
        if (!numbered || fields.size() < 5)
            continue;
        Times t;
        bool valid = true;
        for (qsizetype i = 1; i < fields.size() && valid; ++i) {
            const quint64 v = fields[i].toULongLong(&valid);
            t.total += v;
            if (i == 4 || i == 5)
                t.idle += v;
        }
        if (valid)
            cpus.push_back(t);
    }
    return cpus;
}

int Busiest(const std::vector<Times>& before, const std::vector<Times>& now) {
    int busiest = 0;
    const size_t n = std::min(before.size(), now.size());
    for (size_t i = 0; i < n; ++i) {
        if (now[i].total <= before[i].total || now[i].idle < before[i].idle)
            continue;
        const quint64 elapsed = now[i].total - before[i].total;
        const quint64 idle = std::min(now[i].idle - before[i].idle, elapsed);
        // Percent of busy ticks, rounded half up, in integers so that 75.5 is always 76.
        const quint64 percent = ((elapsed - idle) * 200 + elapsed) / (2 * elapsed);
        busiest = std::max(busiest, int(percent));
    }
    return busiest;
}

} // namespace CpuLoad
