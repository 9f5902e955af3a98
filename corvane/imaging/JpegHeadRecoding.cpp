#include "JpegHeadRecoding.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace jpegio {

namespace {

// A part of the head is coded in runs of about this share of the head,
// each read back on its own.
constexpr long kRuns = 24;
// Heads smaller than this are coded by one thread.
constexpr std::size_t kSplitFrom = std::size_t{1} << 20;
// Read from the middle before the second thread codes from there: room for
// the reading to fall into step with the codes, and for the first thread's
// runs to end on one of the MCUs marked.
constexpr std::size_t kStepBytes = std::size_t{16} << 10;
// Until it knows how many MCUs to code, the second thread stops at this
// share of where its share of the MCUs puts the cut (going back when it
// went too far).
constexpr double kWaitAt = 1.15;

std::uint64_t BitOf(const ScanPoint& p)
{
    return static_cast<std::uint64_t>(p.Offset) * 8 + static_cast<std::uint64_t>(p.Bit);
}

// A run coded: where the MCU after it starts in the source and in what was
// written, and which MCU that is (counted from the part's first).
struct CodedRun {
    ScanPoint Source, Written;
    long Mcu = 0;
    unsigned Lead = 0;     // the bits of the byte begun there (its first Written.Bit bits)
    bool Claimed = false;  // for reading back
};

// What one thread codes: a part of the head, in a buffer of its own that
// never moves, so that runs published are read while later ones are written.
struct Part {
    std::unique_ptr<char[]> Buffer;
    std::size_t Capacity = 0;
    std::vector<CodedRun> Runs;  // published
    std::size_t Readable = 0;    // bytes published
    bool Finished = false;       // every run is in, and the byte begun last after them
    std::size_t Checked = 0;     // runs read back
    std::size_t Size = 0;        // whole bytes, once finished
    unsigned Lead = 0;           // and the `Bits` low bits of the byte begun
    int Bits = 0;

    bool Allocate(std::size_t scanBytes)
    {
        // Codes in the standard tables take a few percent more than the
        // picture's own; room never written costs no memory.
        Capacity = scanBytes * 2 + 65536;
        Buffer.reset(new (std::nothrow) char[Capacity]);
        Runs.reserve(static_cast<std::size_t>(kRuns) + 8);
        return Buffer != nullptr;
    }
};

}  // namespace

struct HeadRecoding::State {
    enum class Stage { Waiting, Running, Done };
    // The second thread's part: its start not yet known, known (Ready), or
    // the head coded by the first thread alone (Off).
    enum class Split { Pending, Ready, Off };

    State(const jpeg_decompress_struct& info, std::string_view scan, long first,
          std::function<void(const ScanPoint&)> cutWork)
        : Info(info), Scan(scan), First(first), CutWork(std::move(cutWork))
    {
    }

    const jpeg_decompress_struct& Info;
    std::string_view Scan;
    long First;
    const JHUFF_TBL* Dc[MAX_COMPS_IN_SCAN] = {};
    const JHUFF_TBL* Ac[MAX_COMPS_IN_SCAN] = {};
    std::function<void(const ScanPoint&)> CutWork;

    Part Parts[2];
    // Set by the second thread before Split is Ready, read by the first after.
    std::unique_ptr<MidScanMarks> Marks;
    ScanPoint SecondStart;  // where its part starts in the source
    std::size_t SecondMark = 0;
    std::size_t SecondGuess = 0;  // where it starts reading, as the first thread works it out

    std::mutex Mutex;
    std::condition_variable Changed;
    bool Abandoned = false;
    Split SplitState = Split::Pending;
    long SecondCount = -1;   // MCUs of the second part, once the first part meets its start
    int StartPredictions[4] = {};  // in force at its start, from the first part
    bool SecondDone = false, SecondFailed = false;
    ScanPoint SecondEnd;     // where it ended (predictions counted from its start)
    bool HeadKnown = false;  // every part finished, and the cut known
    bool TwoParts = false;
    ScanPoint Cut;
    Stage CutStage = Stage::Waiting, JoinStage = Stage::Waiting;
    bool CheckFailed = false, JoinFailed = false, CutFailed = false;
    std::size_t JoinedSize = 0;  // the head's whole bytes, in the first part's buffer
    unsigned JoinedLead = 0;
    int JoinedBits = 0;
    std::thread Helper;

    void Publish(Part& part, const CodedRun& run)
    {
        std::lock_guard<std::mutex> lock(Mutex);
        part.Runs.push_back(run);
        part.Readable = run.Written.Offset;
        Changed.notify_all();
    }

    // The part's byte begun last goes after its bytes filled with one bits,
    // so that its last run reads back to its end.
    bool Finish(Part& part, std::size_t size, ScanRecoder& recoder)
    {
        part.Size = size;
        part.Lead = recoder.Pending(part.Bits);
        std::string last;
        if (part.Bits) AppendShifted(last, part.Lead, part.Bits, {});
        if (part.Capacity - size < last.size()) return false;
        std::memcpy(part.Buffer.get() + size, last.data(), last.size());
        std::lock_guard<std::mutex> lock(Mutex);
        part.Readable = size + last.size();
        part.Finished = true;
        Changed.notify_all();
        return true;
    }

    bool Checkable(int p) const { return p == 0 || (HeadKnown && TwoParts); }
    bool AllChecked(int p) const
    {
        return !Checkable(p) || (Parts[p].Finished && Parts[p].Checked == Parts[p].Runs.size());
    }

    // Takes the next run that can be read back (the one after it is in) and
    // reads it back without the lock. False when there is none.
    bool CheckNext(std::unique_lock<std::mutex>& lock);
    bool JoinParts();

    bool AllDone() const
    {
        return HeadKnown && AllChecked(0) && AllChecked(1) && CutStage == Stage::Done &&
               (!TwoParts || JoinStage == Stage::Done);
    }

    // Runs one piece of the work left: the work that needs the cut, a run to
    // read back, or the joining of the parts (once the first part's last run
    // is read back: joining writes over its last byte). False when none is free.
    bool TakeWork(std::unique_lock<std::mutex>& lock, bool cutFirst)
    {
        if (Abandoned) return false;
        if (cutFirst && HeadKnown && CutStage == Stage::Waiting) return RunCutWork(lock), true;
        if (TwoParts && HeadKnown && JoinStage == Stage::Waiting && AllChecked(0)) {
            JoinStage = Stage::Running;
            lock.unlock();
            const bool joined = JoinParts();
            lock.lock();
            JoinFailed = !joined;
            JoinStage = Stage::Done;
            Changed.notify_all();
            return true;
        }
        if (CheckNext(lock)) return true;
        if (HeadKnown && CutStage == Stage::Waiting) return RunCutWork(lock), true;
        return false;
    }

    void RunCutWork(std::unique_lock<std::mutex>& lock)
    {
        CutStage = Stage::Running;
        const ScanPoint cut = Cut;
        lock.unlock();
        bool done = true;
        try {
            CutWork(cut);
        } catch (...) {
            done = false;  // memory, as a rule: the whole-picture path decides
        }
        lock.lock();
        CutFailed = !done;
        CutStage = Stage::Done;
        Changed.notify_all();
    }

    void Abandon()
    {
        {
            std::lock_guard<std::mutex> lock(Mutex);
            Abandoned = true;
            Changed.notify_all();
        }
        if (Helper.joinable()) Helper.join();
    }

    void Help();
    bool StartSecond();
    void CodeSecond();
    long RunEnd(long m, long limit, const ScanPoint& from, Split split, bool helping) const;
    bool MeetSecond(ScanRecoder& recoder, long& m, ScanPoint& from, ScanPoint& written);
    bool CodeFirst(RecodedHead& head, bool helping);
    bool Conclude(bool twoParts, const ScanPoint& firstEnd, RecodedHead& head);
};

bool HeadRecoding::State::CheckNext(std::unique_lock<std::mutex>& lock)
{
    for (int p = 0; p < 2; ++p) {
        Part& part = Parts[p];
        if (!Checkable(p)) continue;
        for (std::size_t k = 0; k < part.Runs.size(); ++k) {
            if (part.Runs[k].Claimed) continue;
            if (k + 1 == part.Runs.size() && !part.Finished) break;
            part.Runs[k].Claimed = true;
            const ScanPoint from = k ? part.Runs[k - 1].Written : ScanPoint();
            const long first = k ? part.Runs[k - 1].Mcu : 0;
            const CodedRun run = part.Runs[k];
            const std::size_t end = k + 1 < part.Runs.size() ? part.Runs[k + 1].Written.Offset : part.Readable;
            const bool skip = CheckFailed;
            lock.unlock();
            const bool same = skip || CheckScanPart(Info, std::string_view(part.Buffer.get(), end), Dc, Ac, from,
                                                    first, run.Mcu, run.Written);
            lock.lock();
            ++part.Checked;
            CheckFailed = CheckFailed || !same;
            Changed.notify_all();
            return true;
        }
    }
    return false;
}

// The second part's bits after the first's, in the first part's buffer.
bool HeadRecoding::State::JoinParts()
{
    Part& a = Parts[0];
    const Part& b = Parts[1];
    std::size_t used = a.Size;
    unsigned lead = a.Lead;
    int bits = a.Bits;
    if (!AppendCodedBits(a.Buffer.get(), a.Capacity, used, lead, bits, std::string_view(b.Buffer.get(), b.Size)))
        return false;
    unsigned pending = lead << b.Bits | (b.Lead & ((1u << b.Bits) - 1));
    int count = bits + b.Bits;
    if (count >= 8) {
        const auto byte = static_cast<unsigned char>(pending >> (count - 8));
        if (a.Capacity - used < 2) return false;
        a.Buffer[used++] = static_cast<char>(byte);
        if (byte == 0xff) a.Buffer[used++] = '\0';
        count -= 8;
    }
    JoinedSize = used;
    JoinedLead = pending & ((1u << count) - 1);
    JoinedBits = count;
    return true;
}

// The second thread's start: the last of the MCUs marked a little way into
// the middle, where its reading is in step as a rule. The first thread
// checks it when it meets one of the marks.
bool HeadRecoding::State::StartSecond()
{
    if (Scan.size() < kSplitFrom) return false;
    try {
        Marks = std::make_unique<MidScanMarks>(Info, Scan, First);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const std::size_t start = Marks->Start();
    if (start == std::string_view::npos) return false;
    Marks->ReadUntil(start + kStepBytes);
    ScanPoint at;
    std::size_t mark = 0;
    if (!Marks->LastMark(at, mark) || !Parts[1].Allocate(Scan.size())) return false;
    std::lock_guard<std::mutex> lock(Mutex);
    if (SplitState != Split::Pending) return false;
    SecondStart = at;
    SecondMark = mark;
    SplitState = Split::Ready;
    Changed.notify_all();
    return true;
}

// Codes from the second start on in runs, up to the cut once the first thread
// tells how many MCUs that is, and until then no further than near where the
// cut should be.
void HeadRecoding::State::CodeSecond()
{
    Part& part = Parts[1];
    ScanRecoder recoder(Info, Dc, Ac);
    // Where its share of the MCUs puts the cut, and a little further; no
    // further than halfway from there to the end, where the scan may end.
    const double share = static_cast<double>(First) / static_cast<double>(McusPerRow(Info) * McuRows(Info));
    const auto guess = static_cast<std::size_t>(static_cast<double>(Scan.size()) * share);
    const std::size_t waitAt = std::min(guess + (Scan.size() - guess) / 2, static_cast<std::size_t>(guess * kWaitAt));
    const long step = std::max(McusPerRow(Info), (First + kRuns - 1) / kRuns);
    CodedRun last{SecondStart, ScanPoint(), 0};  // the end of the last run coded
    bool stuck = false;  // coding stopped before the count was known (the scan's end, or damage)
    std::unique_lock<std::mutex> lock(Mutex);
    while (!Abandoned && SplitState != Split::Off) {
        if (SecondCount >= 0 && last.Mcu == SecondCount) {
            lock.unlock();
            const bool finished = Finish(part, last.Written.Offset, recoder);
            lock.lock();
            if (!finished) break;
            SecondEnd = last.Source;
            SecondDone = true;
            Changed.notify_all();
            return;
        }
        if (SecondCount >= 0 && last.Mcu > SecondCount) {
            // Past the cut (it lay nearer than its share of the MCUs put it):
            // back to the end of the last run before it.
            std::size_t k = part.Runs.size();
            while (k > 0 && part.Runs[k - 1].Mcu > SecondCount) --k;
            last = k ? part.Runs[k - 1] : CodedRun{SecondStart, ScanPoint(), 0};
            part.Runs.resize(k);
            part.Readable = last.Written.Offset;
            recoder.Rewind(last.Written, last.Lead);
            continue;
        }
        if (SecondCount < 0 && (stuck || last.Source.Offset >= waitAt)) {
            Changed.wait(lock);
            continue;
        }
        long next = last.Mcu + step;
        if (SecondCount >= 0) {
            next = std::min(next, SecondCount);
        } else {
            // Shorter runs near where it stops to wait.
            const double read = static_cast<double>(last.Source.Offset - SecondStart.Offset);
            const double perMcu = last.Mcu ? std::max(1.0, read / static_cast<double>(last.Mcu)) : 64.0;
            const auto left = static_cast<long>(static_cast<double>(waitAt - last.Source.Offset) / perMcu);
            next = last.Mcu + std::clamp(left / 2, 1L, step);
        }
        lock.unlock();
        CodedRun run;
        const bool coded = recoder.Code(Scan, last.Source, last.Mcu, next, run.Source, run.Written,
                                        part.Buffer.get(), part.Capacity);
        if (coded) {
            run.Mcu = next;
            int bits = 0;
            run.Lead = recoder.Pending(bits);
            Publish(part, run);
        }
        lock.lock();
        if (coded) {
            last = run;
        } else if (SecondCount < 0) {
            // Perhaps only the scan's end: wait for the count, and code up to it.
            recoder.Rewind(last.Written, last.Lead);
            stuck = true;
        } else {
            break;
        }
    }
    SecondFailed = true;
    Changed.notify_all();
}

void HeadRecoding::State::Help()
{
    if (StartSecond()) {
        try {
            CodeSecond();
        } catch (const std::bad_alloc&) {
            std::lock_guard<std::mutex> lock(Mutex);  // a run's record: the first thread codes on
            SecondFailed = true;
            Changed.notify_all();
        }
    } else {
        std::lock_guard<std::mutex> lock(Mutex);
        if (SplitState == Split::Pending) SplitState = Split::Off;
        Changed.notify_all();
    }
    std::unique_lock<std::mutex> lock(Mutex);
    while (!Abandoned && !AllDone()) {
        if (!TakeWork(lock, false)) Changed.wait(lock);
    }
}

// Where the first part's next run from MCU `m` (at `from`) ends: runs
// shorten near where the second thread reads, so that one ends on an MCU
// marked there. 0: wait for the second thread, which is late.
long HeadRecoding::State::RunEnd(long m, long limit, const ScanPoint& from, Split split, bool helping) const
{
    const long step = std::max(McusPerRow(Info), (First + kRuns - 1) / kRuns);
    const double perMcu = std::max(
        1.0, m ? static_cast<double>(from.Offset) / static_cast<double>(m)
               : static_cast<double>(Scan.size()) / static_cast<double>(McusPerRow(Info) * McuRows(Info)));
    // MCUs up to `byte`, guessed from the bytes per MCU so far, at most those left.
    const auto mcusTo = [&](std::size_t byte) {
        const double mcus = static_cast<double>(byte - std::min(byte, from.Offset)) / perMcu;
        return mcus < static_cast<double>(limit - m) ? static_cast<long>(mcus) : limit - m;
    };
    long next = std::min(limit, m + step);
    if (split == Split::Pending && helping && SecondGuess != std::string_view::npos && from.Offset < SecondGuess) {
        const long left = mcusTo(SecondGuess);
        if (left < 2) return 0;
        next = std::min(next, m + left / 2);
    }
    if (split == Split::Ready && BitOf(from) <= BitOf(SecondStart)) {
        const long left = mcusTo(SecondStart.Offset);
        next = std::min(next, m + std::max(1L, left > 64 ? left / 4 : 1L));
    }
    return next;
}

// After a run of the first part ends at MCU `m` (at `from`): when `from` is
// one of the MCUs marked before the second start, codes up to that start and
// tells the second thread how many MCUs its part has (true). Past the start,
// the first thread codes the whole head.
bool HeadRecoding::State::MeetSecond(ScanRecoder& recoder, long& m, ScanPoint& from, ScanPoint& written)
{
    long count = 0;
    if (BitOf(from) > BitOf(SecondStart)) {
        std::lock_guard<std::mutex> lock(Mutex);
        SplitState = Split::Off;
        Changed.notify_all();
        return false;
    }
    if (!Marks->Meets(from, SecondMark, count) || First - m - count <= 0) return false;
    ScanPoint at = from;
    if (count && !recoder.Code(Scan, from, m, m + count, at, written, Parts[0].Buffer.get(), Parts[0].Capacity))
        return false;
    m += count;
    from = at;
    std::lock_guard<std::mutex> lock(Mutex);
    if (BitOf(from) != BitOf(SecondStart)) {
        SplitState = Split::Off;
    } else {
        SecondCount = First - m;
        std::copy(from.Predictions, from.Predictions + 4, StartPredictions);
    }
    Changed.notify_all();
    return SplitState != Split::Off;
}

// Codes from the start on, in runs, up to the second thread's start once its
// reading is found in step there, else up to the cut.
bool HeadRecoding::State::CodeFirst(RecodedHead& head, bool helping)
{
    Part& part = Parts[0];
    SecondGuess = Scan.size() >= kSplitFrom ? MidScanMarks::StartOf(Info, Scan, First) : std::string_view::npos;
    ScanRecoder recoder(Info, Dc, Ac);
    const long step = std::max(McusPerRow(Info), (First + kRuns - 1) / kRuns);
    ScanPoint from, written;
    long m = 0, limit = First, published = 0;
    bool met = false;
    for (;;) {
        while (m < limit) {
            Split split = Split::Off;
            if (!met) {
                std::lock_guard<std::mutex> lock(Mutex);
                split = SplitState;
            }
            const long next = RunEnd(m, limit, from, split, helping);
            if (!next) {
                std::unique_lock<std::mutex> lock(Mutex);
                Changed.wait(lock, [this] { return SplitState != Split::Pending || Abandoned; });
                continue;
            }
            ScanPoint at;
            if (!recoder.Code(Scan, from, m, next, at, written, part.Buffer.get(), part.Capacity)) return false;
            m = next;
            from = at;
            met = split == Split::Ready && MeetSecond(recoder, m, from, written);
            if (met) limit = m;
            // The short runs near the second start are read back as one.
            if (m == limit || m - published >= step) {
                Publish(part, {from, written, m});
                published = m;
            }
        }
        if (!met) break;
        // The second part reaches the cut, or this thread codes on from its start.
        std::unique_lock<std::mutex> lock(Mutex);
        while (!SecondDone && !SecondFailed && !Abandoned)
            if (!TakeWork(lock, false)) Changed.wait(lock);
        if (SecondDone || Abandoned) break;
        SplitState = Split::Off;
        met = false;
        limit = First;
    }
    return Finish(part, written.Offset, recoder) && Conclude(met, from, head);
}

// Every part is coded: the cut is known, and the work that needs it may start.
bool HeadRecoding::State::Conclude(bool twoParts, const ScanPoint& firstEnd, RecodedHead& head)
{
    std::lock_guard<std::mutex> lock(Mutex);
    if (Abandoned) return false;
    TwoParts = twoParts;
    if (twoParts) {
        Cut = SecondEnd;
        for (int c = 0; c < 4; ++c) Cut.Predictions[c] += StartPredictions[c];
    } else {
        Cut = firstEnd;
        SplitState = Split::Off;
    }
    head.Cut = Cut;
    HeadKnown = true;
    Changed.notify_all();
    return true;
}

HeadRecoding::HeadRecoding(const jpeg_decompress_struct& info, std::string_view scan, long first,
                           const JHUFF_TBL* const* dc, const JHUFF_TBL* const* ac,
                           std::function<void(const ScanPoint& cut)> cutWork)
    : state_(std::make_unique<State>(info, scan, first, std::move(cutWork)))
{
    for (int c = 0; c < info.comps_in_scan && c < MAX_COMPS_IN_SCAN; ++c) {
        state_->Dc[c] = dc[c];
        state_->Ac[c] = ac[c];
    }
}

HeadRecoding::~HeadRecoding() { state_->Abandon(); }

bool HeadRecoding::Run(RecodedHead& head)
{
    State& s = *state_;
    if (s.First <= 0 || s.Parts[0].Buffer || !s.Parts[0].Allocate(s.Scan.size())) return false;
    try {
        s.Helper = std::thread([&s] { s.Help(); });
    } catch (const std::system_error&) {
        // No second thread: this one does it all, in turn.
    }
    if (!s.CodeFirst(head, s.Helper.joinable())) {
        s.Abandon();
        return false;
    }
    {
        std::unique_lock<std::mutex> lock(s.Mutex);
        while (!s.AllDone())
            if (!s.TakeWork(lock, true)) s.Changed.wait(lock);
    }
    s.Abandon();  // nothing is left for the second thread; it is joined
    if (s.CheckFailed || s.JoinFailed || s.CutFailed) return false;
    const Part& first = s.Parts[0];
    head.Bytes = std::string_view(first.Buffer.get(), s.TwoParts ? s.JoinedSize : first.Size);
    head.Lead = s.TwoParts ? s.JoinedLead : first.Lead;
    head.Bits = s.TwoParts ? s.JoinedBits : first.Bits;
    head.Parts = s.TwoParts ? 2 : 1;
    return true;
}

}  // namespace jpegio
