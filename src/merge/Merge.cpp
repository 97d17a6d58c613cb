// The merge of one contact's histories: the equality of messages, the choice of the
// procedure and the source taken as the destination's file holds it.

#include "merge/Merge.h"

#include "history/History.h"
#include "merge/MergeParts.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace vimosync {

namespace merging {

// ---- Equality of texts under the relaxed rule (MergeIgnoreSpaces) ----------------------
//
// The rule removes every space and then trims bytes 0..32 at both ends. Bytes 0..32 are
// single bytes in UTF-8 and never part of a multi-byte character, so the rule works on
// the bytes directly: trim the range to its first and last byte above 32 and skip the
// spaces inside while walking it. Nothing is allocated unless the texts differ in more
// than ASCII letter case and hold other characters.

ByteRange TrimmedRange(std::string_view s) {
    auto b = reinterpret_cast<const unsigned char*>(s.data());
    auto e = b + s.size();
    while (b < e && *b <= 32) {
        ++b;
    }
    while (e > b && e[-1] <= 32) {
        --e;
    }
    return {b, e};
}

unsigned char AsciiLower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

bool HasNonAscii(ByteRange r) {
    return std::any_of(r.begin, r.end, [](unsigned char c) { return c >= 0x80; });
}

// The trimmed bytes with the spaces taken out.
QByteArray WithoutSpaces(ByteRange r) {
    QByteArray out;
    out.reserve(r.end - r.begin);
    for (auto p = r.begin; p < r.end; ++p) {
        if (*p != ' ') {
            out.append(static_cast<char>(*p));
        }
    }
    return out;
}

bool DecodeUtf8(const QByteArray& bytes, QString& out) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    out = decoder.decode(QByteArrayView(bytes));
    return !decoder.hasError();
}

bool RelaxedTextsEqual(std::string_view a, std::string_view b) {
    const ByteRange ra = TrimmedRange(a);
    const ByteRange rb = TrimmedRange(b);

    // Bytes equal apart from spaces and ASCII letter case: equal whatever else they hold.
    auto pa = ra.begin;
    auto pb = rb.begin;
    for (;;) {
        while (pa < ra.end && *pa == ' ') {
            ++pa;
        }
        while (pb < rb.end && *pb == ' ') {
            ++pb;
        }
        if (pa == ra.end || pb == rb.end) {
            break;
        }
        if (AsciiLower(*pa) != AsciiLower(*pb)) {
            break;
        }
        ++pa;
        ++pb;
    }
    if (pa == ra.end && pb == rb.end) {
        return true;
    }
    // Pure ASCII texts: the walk above was the whole case-insensitive comparison.
    if (!HasNonAscii(ra) && !HasNonAscii(rb)) {
        return false;
    }
    // Other letters fold in Unicode; decode only these rare texts.
    QString sa;
    QString sb;
    if (!DecodeUtf8(WithoutSpaces(ra), sa) || !DecodeUtf8(WithoutSpaces(rb), sb)) {
        // Invalid UTF-8 decodes every bad byte to the same replacement character, which
        // would make different bytes look equal and drop a message as a duplicate. Such
        // texts are equal only by the byte walk above.
        return false;
    }
    return QString::compare(sa, sb, Qt::CaseInsensitive) == 0;
}

// True while message times stay inside the same-time window of m: the scans stop at the
// first time that differs by SameTimeTolerance or more.
bool WithinTolerance(double t, double tm) {
    return !(std::fabs(t - tm) >= SameTimeTolerance);
}

} // namespace merging

using namespace merging;

namespace {

// ---- Dispatch ---------------------------------------------------------------------------

using MergeProcedure = void (*)(TZMTMessList& source, TZMTMessList& destination,
                                TZMTMessList& result, const TMergeOptions& options);

// Indexed by MessMergeMode; mode 2 is merged by MergeSmart below, which needs to know the
// file the result goes to. Every value beyond leaves the result empty and without
// differences.
constexpr std::array<MergeProcedure, 2> kMergeProcedures = {MergeSequential, MergeSorted};

// The file a result goes to: its kind (0 plain text, else the binary version) and how it
// is read back.
struct StoreTarget {
    int version;
    const TReadOptions& read;
    const QString& name;
};

// Mode 2: the sorting merge of the source with its conversations moved into the
// destination's clock where the destination holds them under another. The moved source
// is taken as the file will hold it; when the file cannot hold it, nothing is moved.
void MergeSmart(TZMTMessList& source, TZMTMessList& destination, TZMTMessList& result,
                const TMergeOptions& options, const StoreTarget* target) {
    const SortedPlan plan = PlanSortedMerge(source, destination, options.MergeIgnoreSpaces);
    const std::size_t nd = destination.Items.size();
    std::vector<std::uint8_t> matchedAsIs(source.Items.size(), 0);
    for (std::size_t i = 0; i < plan.order.size(); ++i) {
        if (plan.order[i] >= nd && plan.keep[i] == 0) {
            matchedAsIs[plan.order[i] - nd] = 1;
        }
    }
    TZMTMessList shifted;
    if (ShiftToDestinationClock(source, destination, matchedAsIs, shifted)) {
        TZMTMessList* moved = &shifted;
        TZMTMessList stored;
        bool holds = true;
        if (target != nullptr) {
            QString problem;
            const TStoreCheck check =
                AsStoredIn(shifted, target->version, target->read, stored, problem, target->name);
            holds = check != TStoreCheck::CannotHold;
            if (check == TStoreCheck::Changed) {
                moved = &stored;
            }
        }
        if (holds) {
            const SortedPlan movedPlan =
                PlanSortedMerge(*moved, destination, options.MergeIgnoreSpaces);
            BuildSortedResult(*moved, destination, movedPlan, result);
            return;
        }
    }
    BuildSortedResult(source, destination, plan, result);
}

} // namespace

int CompareTimes(const TZMTMess& a, const TZMTMess& b) {
    if (a.Time > b.Time) {
        return 1;
    }
    if (a.Time < b.Time) {
        return -1;
    }
    if (a.Time == b.Time) {
        return 0;
    }
    // A NaN time is not greater, less or equal; put it first so that sorting still has a
    // total order to follow.
    return static_cast<int>(std::isnan(b.Time)) - static_cast<int>(std::isnan(a.Time));
}

int CompareTimeSeq(const TZMTMess& a, const TZMTMess& b) {
    const int c = CompareTimes(a, b);
    if (c != 0) {
        return c;
    }
    // The sign of a.Seq - b.Seq, without the overflow of the subtraction.
    return (a.Seq > b.Seq) - (a.Seq < b.Seq);
}

bool MessagesEqual(const TZMTMess& a, const TZMTMess& b, bool ignoreSpaces) {
    // An incoming and an outgoing message are two messages whatever their texts ("ok"
    // both ways in one second).
    if (a.Outgoing != b.Outgoing || !(std::fabs(a.Time - b.Time) < SameTimeTolerance)) {
        return false;
    }
    if (!ignoreSpaces) {
        return a.Text.view() == b.Text.view();
    }
    return RelaxedTextsEqual(a.Text.view(), b.Text.view());
}

bool IsRecentDuplicate(const TZMTMessList& result, const TZMTMess& m, bool ignoreSpaces) {
    for (std::size_t k = result.Items.size(); k-- > 0;) {
        const TZMTMess& r = result.Items[k];
        if (!WithinTolerance(r.Time, m.Time)) {
            return false;
        }
        if (MessagesEqual(r, m, ignoreSpaces)) {
            return true;
        }
    }
    return false;
}

namespace {

// The version of the file the result goes to, -1 for a result without a file.
int TargetVersion(const TZMTMessList& result, const TZMTMessList& destination) {
    if (result.FileName.isEmpty()) {
        return -1;
    }
    if (!IsBinaryPath(result.FileName)) {
        return 0;
    }
    if (result.Version >= 1 && result.Version <= 3) {
        return result.Version;
    }
    if (destination.Version >= 1 && destination.Version <= 3) {
        return destination.Version;
    }
    return 2;
}

} // namespace

namespace {

void MergeLists(TZMTMessList& source, TZMTMessList& destination, TZMTMessList& result,
                const TMergeOptions& options, const StoreTarget* target) {
    if (&result == &source || &result == &destination) {
        // Emptying the result first would destroy the input it also is.
        TZMTMessList merged;
        MergeLists(source, destination, merged, options, target);
        result.Items = std::move(merged.Items);
        result.HasDiff = merged.HasDiff;
        result.DiffCount = merged.DiffCount;
        return;
    }
    result.Items.clear();
    result.HasDiff = false;
    result.DiffCount = 0;
    const std::size_t mode = options.MessMergeMode;
    if (mode < kMergeProcedures.size()) {
        kMergeProcedures[mode](source, destination, result, options);
    } else if (mode == 2) {
        MergeSmart(source, destination, result, options, target);
    }
}

} // namespace

void MergeHistories(TZMTMessList& source, TZMTMessList& destination, TZMTMessList& result,
                    const TMergeOptions& options, const TReadOptions& read) {
    // The destination's file reads its messages back only as its format holds them
    // (a plain-text file trims blanks and makes every line break CR LF, a binary one has
    // a 16-bit text length and a 32-bit stamp). Compared as they are, source texts that
    // the format changes would count as new on every run and be stored once more each
    // time, so the source is compared and taken as the file will hold it.
    const int target = TargetVersion(result, destination);
    const QString name = result.FileName;
    const StoreTarget store{target, read, name};
    const StoreTarget* into = target >= 0 ? &store : nullptr;
    QString problem;
    if (target >= 0) {
        TZMTMessList stored;
        const TStoreCheck check =
            AsStoredIn(source, target, read, stored, problem, result.FileName);
        if (check == TStoreCheck::Changed) {
            MergeLists(stored, destination, result, options, into);
            result.StoreProblem.clear();
            return;
        }
    }
    // A source the file cannot hold is merged as it is, for the views; the
    // synchronization refuses to store it.
    MergeLists(source, destination, result, options, problem.isEmpty() ? into : nullptr);
    result.StoreProblem = problem;
}

} // namespace vimosync
