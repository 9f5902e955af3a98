// The coded data before a band written again, code for code, in other
// Huffman tables, with the work that needs the cut in the source (the
// band's own rows) done meanwhile. Internal to the imaging codecs.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include <jpeglib.h>

#include "JpegScanWalk.h"

namespace jpegio {

// The head as written: its whole bytes and the bits of the byte begun last
// (the `Bits` low bits of `Lead`).
struct RecodedHead {
    std::string_view Bytes;  // held by the HeadRecoding
    unsigned Lead = 0;
    int Bits = 0;
    ScanPoint Cut;  // where MCU `first` starts in the source
    int Parts = 1;  // coded by one thread, or in two parts by two
};

// Two threads code the head in two parts: the second from an MCU about
// halfway to the cut, found by reading from a byte there until the codes
// fall into step; the first from the start up to that MCU, which it
// recognises when its own reading meets one of the MCUs marked there (an
// MCU start it reached from the start of the scan). The second part is
// coded up to the cut once the first tells how many MCUs that is. Then one
// thread does the work that needs the cut while the other reads back what
// was coded, run by run, and joins the parts' bits. Where the second start
// cannot be found or checked, the first thread codes the whole head.
// Nothing coded is used before it is read back.
class HeadRecoding {
public:
    // `info` has read the source's header; `scan` is its coded data up to
    // the marker ending it; `dc` and `ac` are the new tables, one each per
    // scan component. `cutWork` is run once, on either thread.
    HeadRecoding(const jpeg_decompress_struct& info, std::string_view scan, long first, const JHUFF_TBL* const* dc,
                 const JHUFF_TBL* const* ac, std::function<void(const ScanPoint& cut)> cutWork);
    ~HeadRecoding();
    HeadRecoding(const HeadRecoding&) = delete;
    HeadRecoding& operator=(const HeadRecoding&) = delete;

    // True when the head was coded, every run of it read back as coded, and
    // `cutWork` ran with the cut the coding reached. The head's bytes live
    // as long as this object.
    bool Run(RecodedHead& head);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace jpegio
