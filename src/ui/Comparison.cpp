#include "ui/Comparison.h"

#include "config/Setup.h"
#include "history/History.h"
#include "merge/Merge.h"
#include "support/LangText.h"
#include "support/LogFile.h"
#include "ui/Hints.h"
#include "ui/MessageView.h"
#include "ui/Views.h"
#include "workflow/Workflow.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListView>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <exception>
#include <future>
#include <map>
#include <unordered_set>

namespace vimosync {

namespace {

// Messages taken in between two check points of a fill loop.
constexpr int kFillStep = 100;
// How often the window handles its events while it waits for work on other threads:
// often enough that the wait ends close to when the work does.
constexpr std::chrono::milliseconds kPollInterval(1);

QString PathIn(const QString& dir, const QString& name) {
    return QDir(dir).filePath(name);
}

// On the destination's thread: reads the destination (dstRead tells the window when
// it is in, or its error), waits for the source, and merges the two unless stop is set
// by then. The merge only reads the lists' texts, and the text views, filled on the
// window's thread meanwhile, only read them as well.
// Both ways: marks the merged messages that the source lacks, those of the destination
// that no message of the source equals (each message of the source answers for one).
void MarkToSource(const TZMTMessList& source, TZMTMessList& result, bool ignoreSpaces) {
    std::multimap<long long, const TZMTMess*> bySecond;
    for (const TZMTMess& m : source.Items) {
        if (std::isfinite(m.Time)) {
            bySecond.emplace(std::llround(m.Time * 86400.0), &m);
        }
    }
    std::unordered_set<const TZMTMess*> used;
    for (TZMTMess& r : result.Items) {
        if (r.Differs || !std::isfinite(r.Time)) {
            continue; // taken from the source
        }
        const long long second = std::llround(r.Time * 86400.0);
        bool found = false;
        for (auto it = bySecond.lower_bound(second - 1);
             it != bySecond.end() && it->first <= second + 1; ++it) {
            if (used.count(it->second) == 0 && MessagesEqual(*it->second, r, ignoreSpaces)) {
                used.insert(it->second);
                found = true;
                break;
            }
        }
        r.ToSource = !found;
    }
}

void LoadAndMerge(TZMTMessList& src, TZMTMessList& dst, TZMTMessList& result,
                  std::shared_future<void> loadSrc, std::promise<void>& dstRead, bool dstArchives,
                  bool sameName, const std::atomic<bool>& stop, const TMergeOptions& merge,
                  const TReadOptions& read, bool bothWays) {
    std::exception_ptr dstError;
    try {
        if (!dst.FileName.isEmpty()) {
            LoadHistory(dst, LoadPlain, dstArchives, read);
        }
    } catch (...) {
        dstError = std::current_exception();
    }
    bool srcRead = true;
    try {
        loadSrc.get();
    } catch (...) {
        srcRead = false; // the window reports the source's error
    }
    if (dstError) {
        dstRead.set_exception(dstError);
        return;
    }
    // The destination list needs the source's version in the Varyon case of the same
    // name; set before the window looks at the list.
    if (sameName && srcRead) {
        dst.Version = src.Version;
    }
    dstRead.set_value();
    if (srcRead && !stop.load()) {
        MergeHistories(src, dst, result, merge, read);
        if (bothWays && !stop.load()) {
            MarkToSource(src, result, merge.MergeIgnoreSpaces);
        }
    }
}

// The hourglass pointer for the time of a filling, restored on every way out.
class TOverrideCursor {
public:
    TOverrideCursor() { QApplication::setOverrideCursor(Qt::BusyCursor); }
    ~TOverrideCursor() { QApplication::restoreOverrideCursor(); }
    TOverrideCursor(const TOverrideCursor&) = delete;
    TOverrideCursor& operator=(const TOverrideCursor&) = delete;
};

} // namespace

QString DescribeHistoryFile(const TZMTMessList& list, int defaultVersion) {
    QString name;
    if (!list.FileName.isEmpty()) {
        name = QFileInfo(list.FileName).fileName();
    } else {
        name = FormatMask(SaveMasks[static_cast<std::size_t>(defaultVersion)],
                          QString::fromStdString(list.UIN));
    }
    int label = 0;
    if (IsBinaryList(list, defaultVersion)) {
        label = list.FileName.isEmpty() ? defaultVersion : list.Version;
    }
    if (label < 0 || label >= kFormatVersionCount) {
        label = 0;
    }
    return QLatin1Char('"') + name + QLatin1String("\" [") +
           QString::fromUtf8(FormatLabels[static_cast<std::size_t>(label)]) + QLatin1Char(']');
}

TComparison::TComparison(TWorkflow& workflow, IUserInterface& ui, TMessageView* lbs,
                         TMessageView* lbd, QListView* lbm, TMergedModel* merged, QLabel* fileInfo,
                         QObject* parent)
    : QObject(parent), workflow_(workflow), ui_(ui), lbs_(lbs), lbd_(lbd), lbm_(lbm),
      merged_(merged), fileInfo_(fileInfo) {}

void TComparison::ShowSelectedContact() {
    TWorkflowState& state = workflow_.State;
    if (state.ViewsBusy) {
        if ((CurrentEntry ? CurrentEntry() : -1) != shown_) {
            restart_ = true;
        }
        return;
    }
    // A restart runs the filling again, for the line that is current by then.
    do {
        state.ViewsBusy = true;
        shown_ = CurrentEntry ? CurrentEntry() : -1;
        restart_ = false;
        abort_ = false;
        try {
            FillOnce();
        } catch (...) {
            state.ViewsBusy = false;
            throw;
        }
        state.ViewsBusy = false;
    } while (restart_ && !abort_);
}

bool TComparison::CheckPoint(int k, int count) {
    if (ShuttingDown && ShuttingDown()) {
        abort_ = true;
        return false;
    }
    ui_.showProgress(Format(LangText::ProgressOf, k, count));
    ui_.processEvents();
    return !restart_;
}

void TComparison::Await(std::future<void>& work) {
    if (!work.valid()) {
        return;
    }
    while (work.wait_for(kPollInterval) != std::future_status::ready) {
        ui_.processEvents();
    }
    work.get(); // an error of the work goes on from here
}

void TComparison::ReleaseShown() {
    // The previous contact's histories are destroyed on a thread of their own: for a
    // million messages a side that takes some 30 ms, which the window spends handling
    // its events instead. A release still running from the contact before is waited
    // for first, so that there is never more than one.
    Await(releasing_);
    releasing_ =
        std::async(std::launch::async, [source = lbs_->TakeLines(), destination = lbd_->TakeLines(),
                                        merged = merged_->TakeList()]() mutable {
            source.reset();
            destination.reset();
            merged.reset();
        });
}

void TComparison::FillOnce() {
    ++fillings_;
    TOverrideCursor cursor;
    TWorkflowState& state = workflow_.State;
    // The settings in force now; a command that runs meanwhile keeps its own.
    const TWorkflowOptions settings = workflow_.CurrentOptions();
    TReadOptions read = settings.Read;
    read.OwnNick = workflow_.OwnNick;
    const TMergeOptions merge = settings.Merge;

    ReleaseShown();
    SetHint(lbs_, QString());
    SetHint(lbd_, QString());
    SetHint(lbm_, QString());
    fileInfo_->setText(Tr(LangText::FileInfoEmpty));

    TZMTHeadList& heads = workflow_.HeadList;
    if (shown_ < 0 || shown_ >= heads.Count()) {
        return;
    }
    // A copy: the list may change while events are handled during the filling.
    const TZMTHead entry = heads[shown_];
    if (!entry.Valid) {
        const QStringList invalid{Tr(LangText::InvalidSourceFile)};
        lbs_->SetLines(std::make_unique<TPlainLines>(invalid));
        lbd_->SetLines(std::make_unique<TPlainLines>(invalid));
        merged_->SetLines(invalid);
        return;
    }

    auto src = std::make_shared<TZMTMessList>();
    // A contact that only the destination has (both ways) shows an empty source.
    if (!entry.SrcFile.isEmpty()) {
        src->FileName = PathIn(state.SrcPath, entry.SrcFile);
    }
    auto dst = std::make_shared<TZMTMessList>();
    dst->UIN = entry.UIN;
    // The destination list needs the source's version only in the Varyon case below,
    // so both files are read at once, each on a thread of its own, while the window
    // goes on handling its events.
    const bool srcArchives =
        settings.UseVaryonArchives && state.SrcVaryon && state.SrcArchiveExists;
    const bool dstArchives =
        settings.UseVaryonArchives && state.DstVaryon && state.DstArchiveExists;
    const bool sameName = entry.DstFile.isEmpty() && state.SrcVaryon && state.DstVaryon;
    if (!entry.DstFile.isEmpty()) {
        dst->FileName = PathIn(state.DstPath, entry.DstFile);
    } else if (sameName) {
        // The same name on the destination side, so that its archive files are found.
        dst->FileName = PathIn(state.DstPath, entry.SrcFile);
    }
    auto result = std::make_shared<TZMTMessList>();
    result->UIN = entry.UIN;
    if (!entry.DstFile.isEmpty()) {
        result->FileName = PathIn(state.DstPath, entry.DstFile);
    }

    // The files are read once the histories shown before are gone: read beside their
    // release, with the memory not yet back and the cores shared, they took longer than
    // the release itself. The window handles its events meanwhile.
    const auto stopRequested = [this] { return restart_ || (ShuttingDown && ShuttingDown()); };
    Await(releasing_);
    if (stopRequested()) {
        abort_ = ShuttingDown && ShuttingDown();
        return;
    }

    // The merge starts on the destination's thread as soon as both files are in, not
    // when the window next looks. A contact change or a close noticed before it starts
    // leaves it out.
    auto stop = std::make_shared<std::atomic<bool>>(false);
    std::shared_future<void> loadSrc = std::async(std::launch::async, [src, srcArchives, read] {
                                           LoadHistory(*src, LoadPlain, srcArchives, read);
                                       }).share();
    std::promise<void> dstRead;
    std::future<void> loadDst = dstRead.get_future();
    std::future<void> merging = std::async(
        std::launch::async, [src, dst, result, merge, read, sameName, dstArchives, stop, loadSrc,
                             bothWays = state.BothWays, dstRead = std::move(dstRead)]() mutable {
            LoadAndMerge(*src, *dst, *result, loadSrc, dstRead, dstArchives, sameName, *stop, merge,
                         read, bothWays);
        });
    const auto awaitLoad = [&](auto& work) {
        while (work.wait_for(kPollInterval) != std::future_status::ready) {
            ui_.processEvents();
            if (stopRequested()) {
                stop->store(true);
            }
        }
        work.get(); // an error of the load goes on from here
    };
    awaitLoad(loadSrc);
    awaitLoad(loadDst);
    ui_.processEvents();
    if (stopRequested()) {
        stop->store(true);
        abort_ = ShuttingDown && ShuttingDown();
        return;
    }

    const int defaultVersion = workflow_.DefaultFileVersion;
    fileInfo_->setText(DescribeHistoryFile(*src, defaultVersion) + Tr(LangText::FileInfoArrow) +
                       DescribeHistoryFile(*dst, defaultVersion));
    TraceDebug(Tr(LangText::TraceStartOutSrc));

    const QString dtFormat = read.Text.DTFormatString;
    const auto fillText = [&](TMessageView* view, const std::shared_ptr<TZMTMessList>& list) {
        SetHint(view, QLatin1Char('|') + Format(LangText::MessagesCount, list->Count()));
        auto lines = std::make_unique<THistoryLines>(list, dtFormat);
        const int count = list->Count();
        for (int k = 0; k < count; k += kFillStep) {
            if (!CheckPoint(k, count)) {
                break;
            }
            lines->Append(kFillStep);
        }
        view->SetLines(std::move(lines));
        ui_.showProgress(QString());
    };

    fillText(lbs_, src);
    lbd_->setUpdatesEnabled(false);
    if (!abort_) {
        fillText(lbd_, dst);
    }
    lbd_->setUpdatesEnabled(true);
    Await(merging);
    if (abort_) {
        return;
    }

    // Write the count back only when the list still holds the same contact.
    if (shown_ < heads.Count() && heads[shown_].UIN == entry.UIN &&
        heads[shown_].SrcFile == entry.SrcFile) {
        heads[shown_].DiffCount = result->DiffCount;
    }
    src.reset();
    dst.reset();

    SetHint(lbm_, QLatin1Char('|') + Format(LangText::MessagesCount, result->Count()) +
                      Tr(LangText::CountsSeparator) +
                      Format(LangText::DifferencesCount, result->DiffCount));
    // The widest line is measured step by step with the progress, not in a pass of
    // its own.
    const int count = result->Count();
    int added = 0;
    qsizetype longest = 0;
    while (added < count) {
        if (!CheckPoint(added, count)) {
            break;
        }
        const int next = std::min(count, added + kFillStep);
        longest = std::max(longest, TMergedModel::LongestText(*result, added, next));
        added = next;
    }
    if (abort_) {
        return;
    }
    merged_->SetList(result, Setup().ShowMessNumbers, dtFormat, added, longest);
    ui_.showProgress(QString());
    if (UpdateControls) {
        UpdateControls();
    }
}

void TComparison::NextDifference() {
    StepDifference(true);
}

void TComparison::PreviousDifference() {
    StepDifference(false);
}

void TComparison::StepDifference(bool forward) {
    if (workflow_.IsBusy()) {
        return;
    }
    const int n = merged_->rowCount();
    if (n == 0) {
        return;
    }
    int current = lbm_->currentIndex().isValid() ? lbm_->currentIndex().row() : -1;
    if (current < 0) {
        current = forward ? 0 : n - 1;
        lbm_->setCurrentIndex(merged_->index(current));
    }
    int i = current;
    for (;;) {
        if (forward) {
            ++i;
            if (i >= n) {
                i = 0;
                ui_.beep();
            }
        } else {
            --i;
            if (i < 0) {
                i = n - 1;
                ui_.beep();
            }
        }
        if (merged_->IsMarked(i) || i == current) {
            break;
        }
    }
    if (merged_->IsMarked(i)) {
        lbm_->setCurrentIndex(merged_->index(i));
        lbm_->scrollTo(merged_->index(i));
    }
}

} // namespace vimosync
