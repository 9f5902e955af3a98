#include "JpegScanWalk.h"

#include <cstdint>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>
#include <type_traits>

namespace {

constexpr int kLookBits = 11;

// Whether any byte of `word` is 0xFF (a zero byte of its complement).
constexpr bool HasByteFF(std::uint64_t word)
{
    const std::uint64_t v = ~word;
    return ((v - 0x0101010101010101ull) & ~v & 0x8080808080808080ull) != 0;
}

// A Huffman table as the decoder needs it: a lookup of the first nine bits
// for short codes and the canonical limits per length for the rest.
struct DecodeTable {
    std::int32_t MaxCode[18] = {};
    std::int32_t ValueOffset[18] = {};
    std::uint8_t Values[256] = {};
    std::uint16_t Look[1 << kLookBits] = {};  // length << 8 | symbol, 0: longer
    // For walking AC codes whose value bits are not needed: the code and its
    // value bits together when they fit in the lookup, as the bits to drop
    // (low 5), the coefficients passed (next 7), and kEndOfBlockFlag; 0: the
    // long way.
    std::uint16_t Skip[1 << kLookBits] = {};

    bool Build(const JHUFF_TBL* table)
    {
        if (!table) return false;
        int count = 0;
        for (int l = 1; l <= 16; ++l) count += table->bits[l];
        if (count > 256) return false;
        std::memcpy(Values, table->huffval, static_cast<std::size_t>(count));
        std::uint32_t code = 0;
        int p = 0;
        for (int l = 1; l <= 16; ++l) {
            const int n = table->bits[l];
            if (n) {
                ValueOffset[l] = p - static_cast<std::int32_t>(code);
                for (int i = 0; i < n; ++i, ++p, ++code) {
                    // More codes than the length allows: a damaged table.
                    if (code >= (1u << l)) return false;
                    if (l <= kLookBits) {
                        const std::uint32_t first = code << (kLookBits - l), last = first + (1u << (kLookBits - l));
                        for (std::uint32_t k = first; k < last; ++k)
                            Look[k] = static_cast<std::uint16_t>(l << 8 | table->huffval[p]);
                        FillSkip(code, l, table->huffval[p]);
                    }
                }
                MaxCode[l] = static_cast<std::int32_t>(code) - 1;
            } else {
                MaxCode[l] = -1;
            }
            code <<= 1;
        }
        MaxCode[17] = 0x7fffffff;
        return true;
    }

    void FillSkip(std::uint32_t code, int length, int symbol)
    {
        const int run = symbol >> 4, size = symbol & 15, total = length + size;
        if (total > kLookBits) return;
        const int passed = size ? run + 1 : run == 15 ? 16 : 0;
        const auto entry = static_cast<std::uint16_t>(total | passed << 5 | (size || run == 15 ? 0 : kEndOfBlockFlag));
        // Every value the size's bits may take follows the code.
        const std::uint32_t first = code << (kLookBits - length), last = first + (1u << (kLookBits - length));
        for (std::uint32_t k = first; k < last; ++k) Skip[k] = entry;
    }

    static constexpr std::uint16_t kEndOfBlockFlag = 1 << 12;
};

// Bits of the coded data, most significant first, with stuffed zero bytes
// removed; it stops at a marker and then supplies zero bits, which count as
// running out.
class BitReader {
public:
    explicit BitReader(std::string_view data) : data(reinterpret_cast<const std::uint8_t*>(data.data())), size(data.size()) {}

    // Makes at least 32 bits readable: a code and the value bits after it.
    void Need()
    {
        if (bits < 32) Fill();
    }

    // Reads a code; Need() must have been called since the last 32 bits.
    int Decode(const DecodeTable& table)
    {
        const int look = table.Look[Peek(kLookBits)];
        if (look) {
            Drop(look >> 8);
            return look & 0xff;
        }
        for (int l = kLookBits + 1; l <= 16; ++l) {
            const std::int32_t code = static_cast<std::int32_t>(Peek(l));
            if (code <= table.MaxCode[l]) {
                Drop(l);
                return table.Values[(table.ValueOffset[l] + code) & 0xff];
            }
        }
        return -1;
    }

    // Reads `n` (0-16) value bits, within the bits Need() made readable.
    std::uint32_t Get(int n)
    {
        if (n == 0) return 0;
        const std::uint32_t value = Peek(n);
        Drop(n);
        return value;
    }

    // Passes an AC code and its value bits in one step when they are short
    // (Need() called since the last 32 bits): the table's Skip entry, or 0.
    unsigned Skip(const DecodeTable& table)
    {
        const unsigned entry = table.Skip[Peek(kLookBits)];
        Drop(static_cast<int>(entry & 31));
        return entry;
    }

    // Looks up the next short code and its value bits in a table of
    // 1 << kLookBits entries and passes them when the entry says how many
    // they are (Need() called since the last 32 bits).
    template <typename Entry>
    const Entry& Pass(const Entry* table)
    {
        const Entry& entry = table[Peek(kLookBits)];
        Drop(entry.Drop);
        return entry;
    }

    bool RanOut() const { return padding > 0 && bits < padding; }

    // Past the restart marker numbered `number` that must come next.
    bool Restart(int number)
    {
        if (bits - padding >= 8 || pos >= size || data[pos] != 0xff) return false;
        std::size_t next = pos + 1;
        while (next < size && data[next] == 0xff) ++next;  // fill bytes
        if (next >= size || data[next] != 0xd0 + number) return false;
        pos = next + 1;
        bits = 0;
        buffer = 0;
        padding = 0;
        atMarker = false;
        return true;
    }

    // The place of the next unread bit.
    void Where(std::size_t& offset, int& bit) const
    {
        const int pending = bits - padding;   // real bits not yet read
        const int bytesBack = (pending + 7) / 8;
        bit = (8 - pending % 8) % 8;
        offset = bytesBack ? starts[(loaded - static_cast<unsigned>(bytesBack)) % 16] : pos;
    }

    // The place of the next unread bit as one number: offset * 8 + bit.
    std::uint64_t BitPosition() const
    {
        std::size_t offset = 0;
        int bit = 0;
        Where(offset, bit);
        return static_cast<std::uint64_t>(offset) * 8 + static_cast<std::uint64_t>(bit);
    }

    // Only fill bytes stand between the bits read and the marker after them.
    bool AtEnd()
    {
        while (!atMarker && pos < size && bits - padding < 8) LoadByte();
        return !RanOut() && bits - padding < 8 && atMarker;
    }

private:
    // The bits readable stand at the top of the buffer: a look at the next
    // ones is one shift, and passing them another.
    std::uint32_t Peek(int n) const { return static_cast<std::uint32_t>(buffer >> (64 - n)); }
    void Drop(int n)
    {
        buffer <<= n;
        bits -= n;
    }

    void Fill()
    {
        // Plain bytes, most of the data, go in without a look at markers:
        // as many as fit at once when none of the next eight is 0xFF.
        if (!atMarker && size - pos >= 8) {
            std::uint64_t word;
            std::memcpy(&word, data + pos, 8);
            if (!HasByteFF(word)) {
                const int take = (63 - bits) / 8;
                const std::uint64_t ahead = __builtin_bswap64(word);
                buffer |= ahead >> (64 - 8 * take) << (64 - bits - 8 * take);
                for (int k = 0; k < take; ++k) starts[loaded++ % 16] = pos++;
                bits += 8 * take;
            }
        }
        while (bits <= 56 && !atMarker && pos < size && data[pos] != 0xff) {
            starts[loaded++ % 16] = pos;
            buffer |= static_cast<std::uint64_t>(data[pos++]) << (56 - bits);
            bits += 8;
        }
        while (bits <= 56) LoadByte();
    }

    void LoadByte()
    {
        std::uint8_t byte = 0;
        if (atMarker || pos >= size) {
            atMarker = true;
            padding += 8;
        } else if (data[pos] != 0xff) {
            starts[loaded++ % 16] = pos;
            byte = data[pos++];
        } else {
            std::size_t next = pos + 1;
            while (next < size && data[next] == 0xff) ++next;  // fill bytes
            if (next < size && data[next] == 0x00) {
                starts[loaded++ % 16] = pos;
                byte = 0xff;
                pos = next + 1;
            } else {
                atMarker = true;
                padding += 8;
                if (next - 1 > pos) pos = next - 1;  // the marker itself
            }
        }
        buffer |= static_cast<std::uint64_t>(byte) << (56 - bits);
        bits += 8;
    }

    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;
    std::uint64_t buffer = 0;
    int bits = 0;
    int padding = 0;  // zero bits supplied past the marker (the last ones in the buffer)
    bool atMarker = false;
    unsigned loaded = 0;
    std::size_t starts[16] = {};  // where the last bytes loaded begin
};

struct ScanTables {
    DecodeTable Dc[4], Ac[4];
    int Blocks[4] = {};  // per MCU
    int Components = 0;
};

// The scan's own tables, or `dc` and `ac` (one each per scan component).
bool BuildTables(const jpeg_decompress_struct& info, const JHUFF_TBL* const* dc, const JHUFF_TBL* const* ac,
                 ScanTables& t)
{
    t.Components = info.comps_in_scan;
    for (int i = 0; i < t.Components; ++i) {
        const jpeg_component_info* c = info.cur_comp_info[i];
        if (c->dc_tbl_no < 0 || c->dc_tbl_no >= NUM_HUFF_TBLS || c->ac_tbl_no < 0 || c->ac_tbl_no >= NUM_HUFF_TBLS)
            return false;
        if (!t.Dc[i].Build(dc ? dc[i] : info.dc_huff_tbl_ptrs[c->dc_tbl_no]) ||
            !t.Ac[i].Build(ac ? ac[i] : info.ac_huff_tbl_ptrs[c->ac_tbl_no]))
            return false;
        t.Blocks[i] = t.Components == 1 ? 1 : c->h_samp_factor * c->v_samp_factor;
    }
    return true;
}

std::int32_t Extend(std::uint32_t value, int size)
{
    return value < (1u << (size - 1)) ? static_cast<std::int32_t>(value) - static_cast<std::int32_t>((1u << size) - 1)
                                      : static_cast<std::int32_t>(value);
}

// A Huffman table as the encoder needs it: the code and its length per symbol.
struct EncodeTable {
    std::uint16_t Code[256] = {};
    std::uint8_t Size[256] = {};  // 0: no code

    bool Build(const JHUFF_TBL* table)
    {
        if (!table) return false;
        std::uint32_t code = 0;
        int p = 0;
        for (int l = 1; l <= 16; ++l) {
            for (int i = 0; i < table->bits[l]; ++i, ++p, ++code) {
                if (p >= 256) return false;
                Code[table->huffval[p]] = static_cast<std::uint16_t>(code);
                Size[table->huffval[p]] = static_cast<std::uint8_t>(l);
            }
            if (code > (1u << l)) return false;
            code <<= 1;
        }
        return true;
    }
};

// For writing AC codes again in other tables: per look-up of the source's
// next bits, the new code with the same value bits after it, when the source
// code and its value bits fit in the look-up and the new table has the code.
struct TranscodeEntry {
    std::uint32_t Out = 0;       // the new code, then the value bits
    std::uint8_t OutLength = 0;
    std::uint8_t Drop = 0;       // source bits passed; 0: the long way
    std::uint8_t Passed = 0;     // coefficients passed
    std::uint8_t EndOfBlock = 0;
};

struct TranscodeTable {
    TranscodeEntry Entries[1 << kLookBits];

    void Build(const DecodeTable& from, const EncodeTable& to)
    {
        for (std::uint32_t k = 0; k < (1u << kLookBits); ++k) {
            TranscodeEntry& e = Entries[k];
            e = TranscodeEntry();
            const int look = from.Look[k];
            if (!look) continue;
            const int length = look >> 8, symbol = look & 0xff, run = symbol >> 4, size = symbol & 15;
            const int total = length + size;
            if (total > kLookBits || !to.Size[symbol]) continue;  // the long way reads it, or finds it missing
            const std::uint32_t value = (k >> (kLookBits - total)) & ((1u << size) - 1);
            e.Out = static_cast<std::uint32_t>(to.Code[symbol]) << size | value;
            e.OutLength = static_cast<std::uint8_t>(to.Size[symbol] + size);
            e.Drop = static_cast<std::uint8_t>(total);
            e.Passed = static_cast<std::uint8_t>(size ? run + 1 : run == 15 ? 16 : 0);
            e.EndOfBlock = size == 0 && run != 15;
        }
    }
};

// Codes written most significant bit first, 0xFF bytes stuffed.
class BitWriter {
public:
    // Where whole bytes go from now on, after what `next` holds.
    void WriteTo(std::string& next)
    {
        grown = &next;
        data = next.data();
        capacity = next.size();
        used = next.size();
        overflow = false;
    }

    // Or into `capacity` bytes that never move, after the first `written`.
    void WriteTo(char* next, std::size_t room, std::size_t written)
    {
        grown = nullptr;
        data = next;
        capacity = room;
        used = written;
        overflow = (written > room);
    }

    // The bytes did not fit in the fixed room: what was written is incomplete.
    bool Overflowed() const { return overflow; }
    std::size_t Used() const { return used; }

    bool Put(const EncodeTable& table, int symbol, std::uint32_t value, int size)
    {
        const int length = table.Size[symbol];
        if (!length) return false;
        Emit(static_cast<std::uint64_t>(table.Code[symbol]) << size | (value & ((1u << size) - 1)), length + size);
        return true;
    }

    // `n` (at most 32) bits, the low ones of `bits`.
    void PutBits(std::uint32_t bits, int n) { Emit(bits, n); }

    // Fills the byte begun with one bits, then writes the marker.
    void Restart(int number)
    {
        if (count % 8) Emit((1u << (8 - count % 8)) - 1, 8 - count % 8);
        Drain(0);
        if (!Room(2)) return;
        data[used++] = static_cast<char>(0xff);
        data[used++] = static_cast<char>(0xd0 + number);
    }

    // Writes every whole byte and leaves a grown output at its length; the
    // bits of the byte begun stay.
    void Flush()
    {
        Drain(0);
        if (grown) grown->resize(used);
    }

    // Goes back to a place written before: `bytes` whole bytes, then the
    // `bits` low bits of `lead` begun.
    void Restore(std::size_t bytes, unsigned lead, int bits)
    {
        used = bytes;
        buffer = lead & ((1u << bits) - 1);
        count = bits;
        overflow = false;
    }

    // The bits of the byte begun (after Flush()).
    unsigned Pending(int& bits) const
    {
        bits = count;
        return static_cast<unsigned>(buffer & ((1u << count) - 1));
    }

private:
    // A grown output grows ahead of the bytes written, which go in through a
    // pointer; Flush() cuts it to them. Fixed room that is full takes nothing more.
    bool Room(std::size_t bytes)
    {
        if (capacity - used >= bytes && !overflow) return true;
        if (!grown) return overflow = true, false;
        grown->resize(std::max(grown->size() + grown->size() / 2, used + bytes + 65536));
        data = grown->data();
        capacity = grown->size();
        return true;
    }

    // Called for every code: the bits stay in the buffer until it holds 32.
    __attribute__((always_inline)) void Emit(std::uint64_t bits, int n)
    {
        buffer = buffer << n | bits;
        count += n;
        if (count >= 32) WriteWord();
    }

    // Four bytes at once unless one of them needs a stuffed zero.
    void WriteWord()
    {
        const auto word = static_cast<std::uint32_t>(buffer >> (count - 32));
        if (HasByteFF(word)) {
            Drain(32);
            return;
        }
        if (!Room(4)) {
            count -= 32;
            return;
        }
        char* at = data + used;
        at[0] = static_cast<char>(word >> 24);
        at[1] = static_cast<char>(word >> 16);
        at[2] = static_cast<char>(word >> 8);
        at[3] = static_cast<char>(word);
        used += 4;
        count -= 32;
    }

    // Writes whole bytes until fewer than `keep` + 8 bits are left.
    void Drain(int keep)
    {
        while (count >= 8 && count >= keep) {
            const auto byte = static_cast<char>(buffer >> (count - 8));
            count -= 8;
            if (!Room(2)) continue;
            data[used++] = byte;
            if (byte == static_cast<char>(0xff)) data[used++] = '\0';
        }
    }

    std::string* grown = nullptr;  // grown as needed, or null: fixed room
    char* data = nullptr;
    std::size_t capacity = 0;
    std::size_t used = 0;      // bytes of data written; the rest is room
    bool overflow = false;
    std::uint64_t buffer = 0;  // the low `count` bits are pending
    int count = 0;
};

// What reading the codes does with them: nothing, or write them again in other tables.
struct NoSink {
    bool Put(int, int, std::uint32_t, int, bool) { return true; }
    void Restart(int) {}
};

struct CodeSink {
    BitWriter Writer;
    const EncodeTable* Dc;  // per scan component
    const EncodeTable* Ac;
    const TranscodeTable* Transcode;
    bool Put(int component, int symbol, std::uint32_t value, int size, bool dc)
    {
        return Writer.Put(dc ? Dc[component] : Ac[component], symbol, value, size);
    }
    void Restart(int number) { Writer.Restart(number); }
};

template <typename Sink>
bool WalkBlock(BitReader& reader, const DecodeTable& dc, const DecodeTable& ac, std::int64_t& prediction, Sink& sink,
               int component)
{
    reader.Need();
    const int s = reader.Decode(dc);
    if (s < 0 || s > 15) return false;
    const std::uint32_t bits = reader.Get(s);
    if (s) prediction += Extend(bits, s);
    if (!sink.Put(component, s, bits, s, true)) return false;
    for (int k = 1; k < 64;) {
        reader.Need();
        if constexpr (std::is_same_v<Sink, NoSink>) {
            // Walking only: most codes and their value bits go at once.
            if (const unsigned entry = reader.Skip(ac)) {
                if (entry & DecodeTable::kEndOfBlockFlag) break;
                k += static_cast<int>(entry >> 5 & 127);
                if (k > 64) return false;
                continue;
            }
        } else if constexpr (std::is_same_v<Sink, CodeSink>) {
            // Most codes and their value bits are written again in one step.
            const TranscodeEntry& entry = reader.Pass(sink.Transcode[component].Entries);
            if (entry.Drop) {
                sink.Writer.PutBits(entry.Out, entry.OutLength);
                if (entry.EndOfBlock) break;
                k += entry.Passed;
                if (k > 64) return false;
                continue;
            }
        }
        const int rs = reader.Decode(ac);
        if (rs < 0) return false;
        const int run = rs >> 4, size = rs & 15;
        if (!sink.Put(component, rs, reader.Get(size), size, false)) return false;
        if (size) {
            k += run + 1;
        } else if (run == 15) {
            k += 16;
        } else {
            break;
        }
        if (k > 64) return false;
    }
    return true;
}

// Codes a table holds, and every code a block of 8-bit samples may need.
constexpr int kEndOfBlock = 0x00, kZeroRun = 0xF0;

struct Codes {
    bool Has[256] = {};
    void Read(const JHUFF_TBL* table)
    {
        if (!table) return;
        int count = 0;
        for (int l = 1; l <= 16; ++l) count += table->bits[l];
        for (int i = 0; i < count && i < 256; ++i) Has[table->huffval[i]] = true;
    }
};

bool Complete(const JHUFF_TBL* table, bool dc)
{
    Codes codes;
    codes.Read(table);
    if (!table) return false;
    if (dc) {
        for (int size = 0; size <= 11; ++size)
            if (!codes.Has[size]) return false;
        return true;
    }
    if (!codes.Has[kEndOfBlock] || !codes.Has[kZeroRun]) return false;
    for (int run = 0; run < 16; ++run)
        for (int size = 1; size <= 10; ++size)
            if (!codes.Has[run << 4 | size]) return false;
    return true;
}

}  // namespace

bool IsWalkableScan(const jpeg_decompress_struct& info)
{
    if (info.progressive_mode || info.arith_code || info.data_precision != 8) return false;
    if (info.comps_in_scan != info.num_components || info.num_components > 4) return false;
    if (info.Ss != 0 || info.Se != 63 || info.Ah != 0 || info.Al != 0) return false;
    for (int i = 0; i < info.comps_in_scan; ++i)
        if (info.cur_comp_info[i] != &info.comp_info[i]) return false;
    if (info.num_components == 1 && (info.comp_info[0].h_samp_factor != 1 || info.comp_info[0].v_samp_factor != 1))
        return false;
    return info.image_width > 0 && info.image_height > 0;
}

long McusPerRow(const jpeg_decompress_struct& info)
{
    const long step = info.comps_in_scan == 1 ? DCTSIZE : info.max_h_samp_factor * DCTSIZE;
    return (static_cast<long>(info.image_width) + step - 1) / step;
}

long McuRows(const jpeg_decompress_struct& info)
{
    const long step = info.comps_in_scan == 1 ? DCTSIZE : info.max_v_samp_factor * DCTSIZE;
    return (static_cast<long>(info.image_height) + step - 1) / step;
}

bool WalkScan(const jpeg_decompress_struct& info, std::string_view scan, long mcu, ScanPoint& at)
{
    return WalkScanFrom(info, scan, ScanPoint(), 0, mcu, at);
}


namespace {

// One MCU's codes, without restart markers. False on a code the tables do
// not hold, a block of more than 64 coefficients, or data ending early.
template <typename Sink>
bool WalkMcu(BitReader& reader, const ScanTables& tables, std::int64_t* predictions, Sink& sink)
{
    for (int c = 0; c < tables.Components; ++c)
        for (int b = 0; b < tables.Blocks[c]; ++b)
            if (!WalkBlock(reader, tables.Dc[c], tables.Ac[c], predictions[c], sink, c)) return false;
    return !reader.RanOut();
}

bool WalkMcu(BitReader& reader, const ScanTables& tables, std::int64_t* predictions)
{
    NoSink sink;
    return WalkMcu(reader, tables, predictions, sink);
}

// The predictions of a ScanPoint; false for one no coefficient can hold,
// which comes only from damaged data.
bool SetPredictions(const std::int64_t* predictions, ScanPoint& at)
{
    for (int c = 0; c < 4; ++c) {
        if (predictions[c] < -32768 || predictions[c] > 32767) return false;
        at.Predictions[c] = static_cast<int>(predictions[c]);
    }
    return true;
}

template <typename Sink>
bool Walk(const jpeg_decompress_struct& info, const ScanTables& tables, std::string_view scan, const ScanPoint& from,
          long first, long mcu, ScanPoint& at, Sink& sink)
{
    if (!IsWalkableScan(info)) return false;
    const long total = McusPerRow(info) * McuRows(info);
    if (first < 0 || mcu < first || mcu > total || from.Offset > scan.size() || from.Bit < 0 || from.Bit > 7)
        return false;
    BitReader reader(scan.substr(from.Offset));
    reader.Need();
    reader.Get(from.Bit);
    std::int64_t predictions[4] = {};
    for (int c = 0; c < 4; ++c) predictions[c] = from.Predictions[c];
    const long interval = static_cast<long>(info.restart_interval);
    int marker = interval ? static_cast<int>((first / interval) % 8) : 0;
    for (long m = first; m < mcu; ++m) {
        if (interval && m != first && m % interval == 0) {
            if (!reader.Restart(marker)) return false;
            sink.Restart(marker);
            marker = (marker + 1) % 8;
            for (auto& p : predictions) p = 0;
        }
        if (!WalkMcu(reader, tables, predictions, sink)) return false;
    }
    if (interval && mcu != first && mcu < total && mcu % interval == 0) {
        // The MCU starts a restart interval: the marker before it is part of what precedes.
        if (!reader.Restart(marker)) return false;
        sink.Restart(marker);
        for (auto& p : predictions) p = 0;
    }
    if (mcu == total && !reader.AtEnd()) return false;
    reader.Where(at.Offset, at.Bit);
    at.Offset += from.Offset;
    return SetPredictions(predictions, at);
}

}  // namespace

bool WalkScanFrom(const jpeg_decompress_struct& info, std::string_view scan, const ScanPoint& from, long first,
                  long mcu, ScanPoint& at)
{
    ScanTables tables;
    NoSink sink;
    return BuildTables(info, nullptr, nullptr, tables) && Walk(info, tables, scan, from, first, mcu, at, sink);
}

namespace {

// Where an MCU starts as a reader that began in the middle of the scan saw
// it: the bit, the sums of the DC differences it read up to there, and the
// run of reading it belongs to.
struct McuMark {  // left uninitialised: only the marks made are touched
    std::uint64_t Bit;
    std::int64_t Sums[4];
    std::uint32_t Run;
};

// Reads the scan from a byte in its middle as if an MCU started there.
// Huffman codes fall into step with the true ones within a few codes, and
// blocks and MCUs soon after; a run of reading that meets a code no table
// holds or too long a block was out of step, and the next begins where it
// stopped. From some MCU on its marks are the true MCU starts; which ones,
// the reader from the start finds when it meets one of them. Its marks are
// published one by one, in the order of their bits, for that reader.
class MidScanReader {
public:
    MidScanReader(const ScanTables& tables, std::string_view scan, std::size_t start, std::size_t capacity)
        : tables(tables), scan(scan), start(start), from(static_cast<std::uint64_t>(start) * 8), capacity(capacity),
          marks(new McuMark[capacity])
    {
    }

    void Run()
    {
        ReadUntil(scan.size());
        Finish();
    }

    // Reads on until the next MCU would start at or past byte `until`; it
    // goes on from there when called again. True while there is more to read.
    bool ReadUntil(std::size_t until)
    {
        while (!ended && n < capacity) {
            if (!reader && !Begin()) break;
            reader->Need();
            const std::uint64_t bit = reader->BitPosition() + static_cast<std::uint64_t>(byte) * 8;
            if (bit / 8 >= until) return true;
            if (stop.load(std::memory_order_relaxed)) break;
            McuMark& mark = marks[n];
            mark.Bit = bit;
            std::copy(sums, sums + 4, mark.Sums);
            mark.Run = run;
            published.store(++n, std::memory_order_release);
            if (WalkMcu(*reader, tables, sums)) continue;
            if (reader->RanOut()) break;
            // Out of step: the next run of reading starts past this one's last mark.
            from = std::max(reader->BitPosition() + static_cast<std::uint64_t>(byte) * 8, marks[n - 1].Bit + 1);
            reader.reset();
            ++run;
        }
        ended = true;
        return false;
    }

    void Finish() { done.store(true, std::memory_order_release); }
    std::size_t Start() const { return start; }
    std::size_t Published() const { return published.load(std::memory_order_acquire); }
    bool Done() const { return done.load(std::memory_order_acquire); }
    const McuMark& Mark(std::size_t n) const { return marks[n]; }
    void Stop() { stop.store(true, std::memory_order_relaxed); }

private:
    bool Begin()
    {
        byte = static_cast<std::size_t>(from / 8);
        if (byte >= scan.size()) return false;
        reader.emplace(scan.substr(byte));
        reader->Need();
        reader->Get(static_cast<int>(from % 8));
        std::fill(sums, sums + 4, 0);
        return true;
    }

    const ScanTables& tables;
    std::string_view scan;
    std::size_t start;
    std::uint64_t from;  // where the next run of reading starts
    std::size_t capacity;
    std::unique_ptr<McuMark[]> marks;
    std::optional<BitReader> reader;  // of the run of reading under way
    std::size_t byte = 0;             // where that reader starts
    std::int64_t sums[4] = {};
    std::uint32_t run = 0;
    std::size_t n = 0;  // marks made
    bool ended = false;
    std::atomic<std::size_t> published{0};
    std::atomic<bool> done{false}, stop{false};
};

// Runs a MidScanReader on a thread of its own, stopped and joined on leaving.
class MidScanThread {
public:
    explicit MidScanThread(MidScanReader& reader) : reader(reader)
    {
        try {
            thread = std::thread([&reader] { reader.Run(); });
        } catch (const std::system_error&) {
            // No thread: the reader from the start does it all.
        }
    }
    ~MidScanThread()
    {
        reader.Stop();
        if (thread.joinable()) thread.join();
    }
    MidScanThread(const MidScanThread&) = delete;
    MidScanThread& operator=(const MidScanThread&) = delete;
    bool Running() const { return thread.joinable(); }

private:
    MidScanReader& reader;
    std::thread thread;
};

// A byte about halfway to MCU `mcu` (guessed from its share of the MCUs)
// that is neither a marker's nor a stuffed zero.
std::size_t MidScanStart(std::string_view scan, long mcu, long total, double share = 0.5)
{
    const double guess = static_cast<double>(scan.size()) * static_cast<double>(mcu) / static_cast<double>(total);
    std::size_t at = std::max<std::size_t>(1, static_cast<std::size_t>(guess * share));
    while (at + 1 < scan.size() && (static_cast<unsigned char>(scan[at - 1]) == 0xff ||
                                    static_cast<unsigned char>(scan[at]) == 0xff))
        ++at;
    return at;
}

// Reads MCUs from the start of the scan until one begins where `ahead`
// marked one: `m` ends at that MCU (at `mcu` when none does before it) and
// `next` at its mark. False on damaged data.
bool ReadUntilInStep(BitReader& reader, const ScanTables& tables, const MidScanReader& ahead, std::uint64_t startBit,
                     long mcu, std::int64_t* predictions, long& m, std::size_t& next)
{
    for (m = 0; m < mcu; ++m) {
        reader.Need();
        const std::uint64_t bit = reader.BitPosition();
        if (bit >= startBit) {
            // The other reader, far ahead as a rule, is let ahead of this one.
            std::size_t published = ahead.Published();
            while (!ahead.Done() && (published == 0 || ahead.Mark(published - 1).Bit < bit)) {
                std::this_thread::yield();
                published = ahead.Published();
            }
            published = ahead.Published();
            while (next < published && ahead.Mark(next).Bit < bit) ++next;
            if (next < published && ahead.Mark(next).Bit == bit) return true;
        }
        if (!WalkMcu(reader, tables, predictions)) return false;
    }
    return true;
}

}  // namespace

bool WalkScanInParallel(const jpeg_decompress_struct& info, std::string_view scan, long mcu, ScanPoint& at,
                        std::size_t minimumBytes)
{
    const long total = McusPerRow(info) * McuRows(info);
    ScanTables tables;
    if (!IsWalkableScan(info) || info.restart_interval != 0 || mcu < 2 || mcu >= total ||
        scan.size() < std::max<std::size_t>(minimumBytes, 64) || !BuildTables(info, nullptr, nullptr, tables))
        return WalkScan(info, scan, mcu, at);

    const std::size_t start = MidScanStart(scan, mcu, total);
    MidScanReader ahead(tables, scan, start, static_cast<std::size_t>(total));
    MidScanThread thread(ahead);
    if (!thread.Running()) return WalkScan(info, scan, mcu, at);

    BitReader reader(scan);
    std::int64_t predictions[4] = {};
    long m = 0;
    std::size_t next = 0;
    if (!ReadUntilInStep(reader, tables, ahead, static_cast<std::uint64_t>(start) * 8, mcu, predictions, m, next))
        return false;
    if (m < mcu) {
        // In step at MCU m: the mark of MCU `mcu` is as many marks further.
        const std::size_t want = next + static_cast<std::size_t>(mcu - m);
        while (ahead.Published() <= want && !ahead.Done()) std::this_thread::yield();
        if (ahead.Published() > want && ahead.Mark(want).Run == ahead.Mark(next).Run) {
            const McuMark& from = ahead.Mark(next);
            const McuMark& to = ahead.Mark(want);
            at.Offset = static_cast<std::size_t>(to.Bit / 8);
            at.Bit = static_cast<int>(to.Bit % 8);
            std::int64_t there[4];
            for (int c = 0; c < 4; ++c) there[c] = predictions[c] + to.Sums[c] - from.Sums[c];
            return SetPredictions(there, at);
        }
        // That run stopped short (damage after the step): read on alone.
        for (; m < mcu; ++m)
            if (!WalkMcu(reader, tables, predictions)) return false;
    }
    reader.Where(at.Offset, at.Bit);
    return SetPredictions(predictions, at);
}

struct MidScanMarks::State {
    ScanTables Tables;
    std::unique_ptr<MidScanReader> Reader;
};

std::size_t MidScanMarks::StartOf(const jpeg_decompress_struct& info, std::string_view scan, long target,
                                  double share)
{
    const long total = McusPerRow(info) * McuRows(info);
    if (!IsWalkableScan(info) || info.restart_interval != 0 || target < 2 || target >= total || scan.size() < 64)
        return std::string_view::npos;
    return MidScanStart(scan, target, total, share);
}

MidScanMarks::MidScanMarks(const jpeg_decompress_struct& info, std::string_view scan, long target, double share)
    : state_(std::make_unique<State>())
{
    const std::size_t start = StartOf(info, scan, target, share);
    if (start == std::string_view::npos || !BuildTables(info, nullptr, nullptr, state_->Tables)) return;
    state_->Reader = std::make_unique<MidScanReader>(state_->Tables, scan, start,
                                                    static_cast<std::size_t>(McusPerRow(info) * McuRows(info)));
}

MidScanMarks::~MidScanMarks() = default;

std::size_t MidScanMarks::Start() const
{
    return state_->Reader ? state_->Reader->Start() : std::string_view::npos;
}

bool MidScanMarks::ReadUntil(std::size_t until)
{
    return state_->Reader && state_->Reader->ReadUntil(until);
}

bool MidScanMarks::LastMark(ScanPoint& at, std::size_t& index) const
{
    const MidScanReader* reader = state_->Reader.get();
    const std::size_t n = reader ? reader->Published() : 0;
    if (n == 0) return false;
    const std::uint64_t bit = reader->Mark(n - 1).Bit;
    at = ScanPoint();
    at.Offset = static_cast<std::size_t>(bit / 8);
    at.Bit = static_cast<int>(bit % 8);
    index = n - 1;
    return true;
}

bool MidScanMarks::Meets(const ScanPoint& point, std::size_t index, long& count) const
{
    const MidScanReader* reader = state_->Reader.get();
    const std::size_t n = reader ? reader->Published() : 0;
    if (index >= n) return false;
    const std::uint64_t bit = static_cast<std::uint64_t>(point.Offset) * 8 + static_cast<std::uint64_t>(point.Bit);
    // Marks lie in the order of their bits.
    std::size_t low = 0, high = index + 1;
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        if (reader->Mark(mid).Bit < bit)
            low = mid + 1;
        else
            high = mid;
    }
    if (low > index || reader->Mark(low).Bit != bit || reader->Mark(low).Run != reader->Mark(index).Run) return false;
    count = static_cast<long>(index - low);
    return true;
}

struct ScanRecoder::State {
    EncodeTable DcTables[4], AcTables[4];
    TranscodeTable Transcode[4];
    ScanTables Tables;
    CodeSink Sink{{}, DcTables, AcTables, Transcode};
    std::size_t Written = 0;  // whole bytes written so far
};

ScanRecoder::ScanRecoder(const jpeg_decompress_struct& info, const JHUFF_TBL* const* dc, const JHUFF_TBL* const* ac)
    : state(std::make_unique<State>()), info(info)
{
    ready = BuildTables(info, nullptr, nullptr, state->Tables);
    for (int c = 0; ready && c < info.comps_in_scan && c < 4; ++c)
        ready = state->DcTables[c].Build(dc[c]) && state->AcTables[c].Build(ac[c]);
    for (int c = 0; ready && c < state->Tables.Components; ++c)
        state->Transcode[c].Build(state->Tables.Ac[c], state->AcTables[c]);
}

ScanRecoder::~ScanRecoder() = default;

bool ScanRecoder::Code(std::string_view scan, const ScanPoint& from, long first, long mcu, ScanPoint& at,
                       ScanPoint& written, std::string& out)
{
    if (!ready) return false;
    const std::size_t before = out.size();
    state->Sink.Writer.WriteTo(out);
    const bool read = Walk(info, state->Tables, scan, from, first, mcu, at, state->Sink);
    state->Sink.Writer.Flush();
    return read && Coded(out.size() - before, at, written);
}

bool ScanRecoder::Code(std::string_view scan, const ScanPoint& from, long first, long mcu, ScanPoint& at,
                       ScanPoint& written, char* out, std::size_t capacity)
{
    if (!ready) return false;
    BitWriter& writer = state->Sink.Writer;
    writer.WriteTo(out, capacity, state->Written);
    const bool read = Walk(info, state->Tables, scan, from, first, mcu, at, state->Sink);
    writer.Flush();
    return read && !writer.Overflowed() && Coded(writer.Used() - state->Written, at, written);
}

bool ScanRecoder::Coded(std::size_t bytes, const ScanPoint& at, ScanPoint& written)
{
    int bits = 0;
    state->Sink.Writer.Pending(bits);
    state->Written += bytes;
    written = at;
    written.Offset = state->Written;
    written.Bit = bits;
    return true;
}

void ScanRecoder::Rewind(const ScanPoint& written, unsigned lead)
{
    state->Written = written.Offset;
    state->Sink.Writer.Restore(written.Offset, lead, written.Bit);
}

unsigned ScanRecoder::Pending(int& bits)
{
    return state->Sink.Writer.Pending(bits);  // whole bytes were written by Code()
}

bool CheckScanPart(const jpeg_decompress_struct& info, std::string_view coded, const JHUFF_TBL* const* dc,
                   const JHUFF_TBL* const* ac, const ScanPoint& from, long first, long mcu, const ScanPoint& expected)
{
    ScanTables tables;
    NoSink sink;
    ScanPoint at;
    return BuildTables(info, dc, ac, tables) && Walk(info, tables, coded, from, first, mcu, at, sink) &&
           at.Offset == expected.Offset && at.Bit == expected.Bit &&
           std::equal(at.Predictions, at.Predictions + 4, expected.Predictions);
}

std::size_t ScanEnd(std::string_view scan)
{
    const auto* data = reinterpret_cast<const std::uint8_t*>(scan.data());
    for (std::size_t i = 0; i + 1 < scan.size(); ++i) {
        const void* mark = std::memchr(data + i, 0xff, scan.size() - 1 - i);
        if (!mark) break;
        i = static_cast<std::size_t>(static_cast<const std::uint8_t*>(mark) - data);
        std::size_t next = i + 1;
        while (next < scan.size() && data[next] == 0xff) ++next;
        if (next >= scan.size()) return std::string_view::npos;
        if (data[next] == 0x00 || (data[next] >= 0xd0 && data[next] <= 0xd7)) {
            i = next;
            continue;
        }
        return i;
    }
    return std::string_view::npos;
}

void AppendShifted(std::string& out, unsigned lead, int bits, std::string_view coded, int lastBits)
{
    // The whole bytes go as AppendCodedBits moves them; of the last data byte
    // (the one before a final stuffed zero, if any) only the first lastBits.
    std::size_t last = coded.size();
    if (last > 0) --last;
    if (last > 0 && coded[last] == '\0' && static_cast<unsigned char>(coded[last - 1]) == 0xff) --last;
    std::size_t used = out.size();
    // Stuffing again may at most double the bytes.
    out.resize(used + 2 * coded.size() + 4);
    unsigned pending = lead & ((1u << bits) - 1);
    int count = bits;
    AppendCodedBits(out.data(), out.size(), used, pending, count, coded.substr(0, last));
    std::uint32_t buffer = pending;
    const auto put = [&](unsigned byte) {
        out[used++] = static_cast<char>(byte);
        if (byte == 0xff) out[used++] = '\0';
    };
    if (last < coded.size()) {
        buffer = buffer << lastBits | static_cast<unsigned char>(coded[last]) >> (8 - lastBits);
        count += lastBits;
        if (count >= 8) {
            put((buffer >> (count - 8)) & 0xff);
            count -= 8;
            buffer &= (1u << count) - 1;
        }
    }
    if (count) put((buffer << (8 - count) | ((1u << (8 - count)) - 1)) & 0xff);
    out.resize(used);
}

bool AppendCodedBits(char* out, std::size_t capacity, std::size_t& used, unsigned& lead, int& bits,
                     std::string_view coded)
{
    const auto* data = reinterpret_cast<const std::uint8_t*>(coded.data());
    std::uint64_t pending = lead & ((1u << bits) - 1);
    const int count = bits;  // stays the same: a byte out for every byte in
    const auto put = [&](std::uint8_t byte) {
        if (capacity - used < 2) return false;
        out[used++] = static_cast<char>(byte);
        if (byte == 0xff) out[used++] = '\0';
        return true;
    };
    for (std::size_t i = 0; i < coded.size();) {
        if (coded.size() - i >= 8 && capacity - used >= 8) {
            // Eight bytes at once when neither they nor what they become hold 0xFF.
            std::uint64_t word;
            std::memcpy(&word, data + i, 8);
            if (!HasByteFF(word)) {
                const std::uint64_t in = __builtin_bswap64(word);
                const std::uint64_t shifted = count ? pending << (64 - count) | in >> count : in;
                if (!HasByteFF(shifted)) {
                    const std::uint64_t bytes = __builtin_bswap64(shifted);
                    std::memcpy(out + used, &bytes, 8);
                    used += 8;
                    pending = count ? in & ((std::uint64_t{1} << count) - 1) : 0;
                    i += 8;
                    continue;
                }
            }
        }
        const std::uint8_t byte = data[i];
        i += byte == 0xff ? 2 : 1;  // the stuffed zero after it
        pending = pending << 8 | byte;
        if (!put(static_cast<std::uint8_t>(pending >> count))) return false;
        pending &= (1u << count) - 1;
    }
    lead = static_cast<unsigned>(pending);
    return true;
}

void RenumberRestarts(std::string& coded, int delta)
{
    for (std::size_t i = 0; i + 1 < coded.size(); ++i) {
        const auto byte = static_cast<std::uint8_t>(coded[i]), next = static_cast<std::uint8_t>(coded[i + 1]);
        if (byte != 0xff || next == 0xff) continue;  // a fill byte may stand before the marker
        if (next >= 0xd0 && next <= 0xd7) coded[i + 1] = static_cast<char>(0xd0 + (next - 0xd0 + delta) % 8);
        ++i;
    }
}

bool HuffmanTablesComplete(const jpeg_decompress_struct& info)
{
    for (int c = 0; c < info.comps_in_scan; ++c) {
        const jpeg_component_info* comp = info.cur_comp_info[c];
        if (comp->dc_tbl_no < 0 || comp->dc_tbl_no >= NUM_HUFF_TBLS || comp->ac_tbl_no < 0 ||
            comp->ac_tbl_no >= NUM_HUFF_TBLS)
            return false;
        if (!Complete(info.dc_huff_tbl_ptrs[comp->dc_tbl_no], true) ||
            !Complete(info.ac_huff_tbl_ptrs[comp->ac_tbl_no], false))
            return false;
    }
    return true;
}
