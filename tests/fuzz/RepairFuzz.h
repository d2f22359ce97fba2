#pragma once

#include "FuzzSupport.h"
#include "RecoveryJournal.h"

// The repair of a recording found unfinished at start, on a file of the fuzzer's bytes
// whose first bytes are made to announce the container under test (else the repair would
// not even look at it). What must hold whatever the bytes: a file the repair does not
// recognise, finds finished or cannot repair is left byte for byte as it was, and a file it
// repaired is left byte for byte as it is by a second repair.
namespace fuzz {

inline int RunRepair(const uint8_t* data, size_t size, const QByteArray& magic, int magicAt,
                     int minSize) {
    QByteArray bytes = Bytes(data, size);
    if (bytes.size() < minSize)
        bytes.append(QByteArray(minSize - bytes.size(), '\0'));
    bytes.replace(magicAt, magic.size(), magic);
    if (magicAt > 0)
        bytes.replace(0, 4, "RIFF");

    const QString path = WorkFile(QStringLiteral("enregistrement"));
    FUZZ_CHECK(WriteWhole(path, bytes));
    const TRepairOutcome outcome = RepairRecordingOutcome(path);
    const QByteArray after = ReadWhole(path);
    if (outcome != TRepairOutcome::Repaired) {
        FUZZ_CHECK(after == bytes);
        return 0;
    }
    // Repaired once, the file is what a second repair leaves as it is.
    const TRepairOutcome again = RepairRecordingOutcome(path);
    if (again != TRepairOutcome::Intact && again != TRepairOutcome::Repaired) {
        std::fprintf(stderr, "repaired file refused by a second repair: outcome %d\n", int(again));
        std::abort();
    }
    FUZZ_CHECK(ReadWhole(path) == after);
    return 0;
}

} // namespace fuzz
