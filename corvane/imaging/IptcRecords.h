// The datasets of an IPTC IIM record as stored: tag marker 0x1C, record,
// number, then a 2-byte length, or an extended length (IIM 1.3.2) of up to
// 4 bytes. Bounded by the bytes given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Calls `visit(record, number, offset, size, headerSize)` for each dataset
// (`size` counting its header). False when the record is malformed; zero
// bytes after the last dataset are padding.
template <typename Visit>
inline bool WalkIptcDatasets(const std::string& iptc, Visit visit)
{
    const auto* p = reinterpret_cast<const std::uint8_t*>(iptc.data());
    size_t pos = 0;
    while (pos < iptc.size()) {
        if (p[pos] != 0x1C) {
            // Padding after the last dataset is allowed; anything else is not IPTC.
            for (size_t i = pos; i < iptc.size(); ++i)
                if (p[i] != 0) return false;
            return true;
        }
        if (pos + 5 > iptc.size()) return false;
        size_t header = 5;
        std::uint64_t length = static_cast<std::uint64_t>(p[pos + 3]) << 8 | p[pos + 4];
        if (length & 0x8000) {
            const size_t bytes = length & 0x7FFF;
            if (bytes == 0 || bytes > 4 || pos + 5 + bytes > iptc.size()) return false;
            length = 0;
            for (size_t i = 0; i < bytes; ++i) length = length << 8 | p[pos + 5 + i];
            header += bytes;
        }
        if (length > iptc.size() - pos - header) return false;
        visit(p[pos + 1], p[pos + 2], pos, header + static_cast<size_t>(length), header);
        pos += header + static_cast<size_t>(length);
    }
    return true;
}

