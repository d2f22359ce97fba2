#include "RecordingRepair.h"

#include "Log.h"

#include <cstring>

// A WAV file cut short keeps the header of an empty stream (the WAV writer sends it first
// and rewrites it at the end): the data chunk is then taken to run to the end of the file,
// in whole blocks.
namespace repair {

namespace {

constexpr uint64_t kMaxRiff = 0xFFFFFFFFull;

struct TWavLayout {
    uint64_t fmtPos = 0;
    uint32_t blockAlign = 1;
    uint64_t dataPos = 0; // of the 'data' chunk header
    uint32_t dataSize = 0;
};

// Walks the chunks up to 'data'; only 'fmt ' and chunks that fit in the file before it.
bool FindLayout(TFileAccess& file, TWavLayout& wav) {
    uint64_t pos = 12;
    bool haveFmt = false;
    uint8_t head[8];
    while (file.Read(pos, head, 8)) {
        const uint32_t size = Le32(head + 4);
        if (std::memcmp(head, "data", 4) == 0) {
            if (!haveFmt)
                return false;
            wav.dataPos = pos;
            wav.dataSize = size;
            return true;
        }
        const uint64_t next = pos + 8 + size + (size & 1u);
        if (next > file.Size())
            return false;
        if (std::memcmp(head, "fmt ", 4) == 0) {
            uint8_t fmt[16];
            if (size < 14 || !file.Read(pos + 8, fmt, 14))
                return false;
            wav.fmtPos = pos;
            wav.blockAlign = Le16(fmt + 12) ? Le16(fmt + 12) : 1;
            haveFmt = true;
        }
        pos = next;
    }
    return false;
}

} // namespace

TRepairOutcome RepairWav(TFileAccess& file) {
    TWavLayout wav;
    uint32_t riffSize = 0;
    if (!file.Read32(4, riffSize) || !FindLayout(file, wav))
        return TRepairOutcome::Failed;
    const uint64_t dataStart = wav.dataPos + 8;
    const uint64_t available = file.Size() - dataStart;
    const bool dataKnown = wav.dataSize != 0 && wav.dataSize <= available;
    if (dataKnown) {
        // The data chunk was closed; only a RIFF size that does not cover it is wrong, or the
        // pad byte after an odd chunk that the file lost.
        const uint64_t end = dataStart + wav.dataSize + (wav.dataSize & 1u);
        if (uint64_t(riffSize) + 8 >= end && uint64_t(riffSize) + 8 <= file.Size())
            return TRepairOutcome::Intact;
        const uint8_t zero = 0;
        if (!file.OpenWrite() || (end > file.Size() && !file.Write(end - 1, &zero, 1)))
            return TRepairOutcome::Failed;
        const uint64_t riffEnd = std::min<uint64_t>(file.Size(), kMaxRiff + 8);
        if (!file.Write32(4, static_cast<uint32_t>(riffEnd - 8)) || !file.Sync())
            return TRepairOutcome::Failed;
        return TRepairOutcome::Repaired;
    }
    if (available == 0 && wav.dataSize == 0 && uint64_t(riffSize) + 8 == file.Size())
        return TRepairOutcome::Intact; // an empty recording, finished
    // Whole blocks only; a RIFF file cannot pass 4 GiB.
    uint64_t data = std::min<uint64_t>(available, kMaxRiff - (dataStart - 8) - 1);
    data -= data % wav.blockAlign;
    const uint64_t pad = data & 1u;
    if (!file.OpenWrite() || !file.Truncate(dataStart + data))
        return TRepairOutcome::Failed;
    const uint8_t zero = 0;
    if ((pad && !file.Write(dataStart + data, &zero, 1)) ||
        !file.Write32(wav.dataPos + 4, static_cast<uint32_t>(data)) ||
        !file.Write32(4, static_cast<uint32_t>(dataStart + data + pad - 8)) || !file.Sync())
        return TRepairOutcome::Failed;
    qCInfo(lcVidorra) << "WAV recording repaired:" << data << "bytes of sound";
    return TRepairOutcome::Repaired;
}

} // namespace repair
