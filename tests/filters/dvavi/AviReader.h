#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// Reads back the structures of an AVI file written by the DV AVI writer, by position, so that
// sparse files of many gigabytes are checked without reading their media.
class AviReader {
public:
    explicit AviReader(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY)) {}
    ~AviReader() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool ok() const { return m_fd >= 0; }
    uint64_t size() const { return static_cast<uint64_t>(::lseek(m_fd, 0, SEEK_END)); }

    std::vector<uint8_t> Bytes(uint64_t pos, size_t n) const {
        std::vector<uint8_t> b(n);
        const ssize_t got = ::pread(m_fd, b.data(), n, static_cast<off_t>(pos));
        b.resize(got > 0 ? static_cast<size_t>(got) : 0);
        return b;
    }
    std::string Cc(uint64_t pos) const {
        const auto b = Bytes(pos, 4);
        return std::string(b.begin(), b.end());
    }
    uint32_t U32(uint64_t pos) const {
        const auto b = Bytes(pos, 4);
        return b.size() < 4 ? 0 : b[0] | b[1] << 8 | b[2] << 16 | uint32_t(b[3]) << 24;
    }
    uint16_t U16(uint64_t pos) const {
        const auto b = Bytes(pos, 2);
        return b.size() < 2 ? 0 : uint16_t(b[0] | b[1] << 8);
    }
    uint64_t U64(uint64_t pos) const { return U32(pos) | uint64_t(U32(pos + 4)) << 32; }

    // The position of the first chunk with this id (and list type) inside [from, to).
    int64_t Find(uint64_t from, uint64_t to, const std::string& id,
                 const std::string& type = {}) const {
        uint64_t pos = from;
        while (pos + 8 <= to) {
            const std::string cc = Cc(pos);
            if (cc == id && (type.empty() || Cc(pos + 8) == type))
                return static_cast<int64_t>(pos);
            pos += 8 + U32(pos + 4) + (U32(pos + 4) & 1);
        }
        return -1;
    }

private:
    int m_fd;
};
