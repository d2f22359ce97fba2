#pragma once

#include "RecoveryJournal.h"

#include <QFile>
#include <QString>

#include <cstdint>
#include <vector>

// The repairs behind RepairRecording, one per container, and the positioned file access
// they share. Each reads the whole structure first and writes only once it knows what to
// write; a file it does not recognise is never opened for writing.
namespace repair {

// Reads and writes at absolute positions; every call checks the range against the file.
class TFileAccess {
public:
    explicit TFileAccess(const QString& fileName) : m_file(fileName) {}
    bool OpenRead();
    // Reopens for writing, keeping the content.
    bool OpenWrite();
    uint64_t Size() const { return m_size; }
    bool Read(uint64_t pos, void* data, uint64_t n);
    bool Read32(uint64_t pos, uint32_t& value);
    bool Write(uint64_t pos, const void* data, uint64_t n);
    bool Write32(uint64_t pos, uint32_t value);
    bool Truncate(uint64_t size);
    bool Sync();

private:
    QFile m_file;
    uint64_t m_size = 0; // refreshed on open, write and truncate
};

inline uint32_t Le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}
inline uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline void Put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i)
        v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
inline void Put64(std::vector<uint8_t>& v, uint64_t x) {
    Put32(v, static_cast<uint32_t>(x));
    Put32(v, static_cast<uint32_t>(x >> 32));
}
inline void PutId(std::vector<uint8_t>& v, const char* id) {
    v.insert(v.end(), id, id + 4);
}

// The file was opened for reading; RIFF 'WAVE' and RIFF 'AVI ' respectively.
TRepairOutcome RepairWav(TFileAccess& file);
TRepairOutcome RepairAvi(TFileAccess& file);
// An ASF file written as a stream: size, packet count and duration into its header.
TRepairOutcome RepairAsf(TFileAccess& file);

} // namespace repair
