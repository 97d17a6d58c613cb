// The time from selecting a contact in the contact list to the three comparison views
// filled, for a contact with N messages on each side (default 1 000 000), and how long
// the window went without handling its events meanwhile; then how long leaving the
// contact takes, and showing it once more.
//
//   views_fill [N] [DIR] [--views-only]
//
// Histories are written to DIR (default: a temporary folder). --views-only leaves out
// the timing of the parts on their own, for profiling the views alone.
//
// Run it in a real window (xvfb-run bench/views_fill) or offscreen.

#include "common_bench_ui.h"
#include "config/Setup.h"
#include "history/History.h"
#include "history/TimeStamp.h"
#include "merge/Merge.h"
#include "ui/Application.h"
#include "ui/Main.h"
#include "ui/MessageView.h"
#include "ui/Views.h"

#include <QElapsedTimer>
#include <QListView>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstring>

using namespace vimosync;

namespace {

// The default settings, with replaced files simply overwritten.
const TReadOptions gRead;
const TSaveOptions gSave = [] {
    TSaveOptions save;
    save.BackupToRecycleBin = false;
    return save;
}();

void WriteSide(const QString& path, int n, bool source) {
    TZMTMessList list;
    list.UIN = "123456";
    list.ContactNick = "night_owl";
    list.FileName = path;
    list.Version = 2;
    list.Scrambled = 1;
    list.Items.reserve(static_cast<std::size_t>(n));
    const double base = EncodeDateTime(QDate(2005, 1, 1), QTime(0, 0, 0));
    HArena arena;
    for (int i = 0; i < n; ++i) {
        // One message in a hundred is only on the source side.
        if (!source && i % 100 == 50) {
            continue;
        }
        TZMTMess& m = NewMessage(list);
        m.Time = base + i * 20.0 / 86400.0;
        m.Outgoing = i % 3 == 0;
        m.Text = arena.add("message text number " + std::to_string(i) +
                           (i % 7 == 0 ? "\r\nsecond line" : ""));
    }
    bool backedUp = false;
    SaveHistory(list, backedUp, false, gRead, gSave);
}

} // namespace

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    const int n = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir tmp;
    const QString dir = argc > 2 ? QString::fromLocal8Bit(argv[2]) : tmp.path();
    QDir().mkpath(dir + "/src");
    QDir().mkpath(dir + "/dst");
    Setup().BackupToRecycleBin = false;
    const TMergeOptions gMerge;
    const QString src = dir + "/src/Varyon_123456.zmt";
    const QString dst = dir + "/dst/Varyon_123456.zmt";
    if (!QFileInfo::exists(src) || !QFileInfo::exists(dst)) {
        std::printf("writing %d messages a side...\n", n);
        WriteSide(src, n, true);
        WriteSide(dst, n, false);
    }

    const bool viewsOnly = argc > 3 && std::strcmp(argv[3], "--views-only") == 0;

    // The parts on their own.
    QElapsedTimer t;
    t.start();
    if (!viewsOnly) {
        TZMTMessList s, d, r;
        s.FileName = src;
        d.FileName = dst;
        t.restart();
        LoadHistory(s, LoadPlain, false, gRead);
        const qint64 loadSrc = t.restart();
        LoadHistory(d, LoadPlain, false, gRead);
        const qint64 loadDst = t.restart();
        MergeHistories(s, d, r, gMerge, gRead);
        const qint64 merge = t.restart();
        std::printf("messages: source %d, destination %d, merged %d, differences %d\n", s.Count(),
                    d.Count(), r.Count(), r.DiffCount);
        std::printf("load source %lld ms, load destination %lld ms, merge %lld ms\n", loadSrc,
                    loadDst, merge);
    }

    TForm1 form;
    TQuietUi quiet;
    form.SetDialogs(&quiet);
    TWorkflow& wf = form.Workflow();
    wf.SrcPathEditChange(dir + "/src");
    wf.DstPathEditChange(dir + "/dst");
    TZMTHead& e = NewEntry(wf.HeadList);
    e.UIN = "123456";
    e.Nick = "night_owl";
    e.SrcFile = "Varyon_123456.zmt";
    e.DstFile = "Varyon_123456.zmt";
    e.Valid = true;
    e.Marked = true;
    e.Checked = true;
    wf.State.Analysed = true;
    form.RebuildContactList();
    form.show();
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
    }

    // A timer that should fire every 5 ms: the longest gap between two firings is the
    // longest time the window did not answer.
    QElapsedTimer gap;
    qint64 longest = 0;
    QTimer probe;
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (gap.isValid()) {
            longest = std::max(longest, gap.elapsed());
        }
        gap.restart();
    });
    probe.start();
    gap.restart();

    t.restart();
    form.LB1->setCurrentIndex(form.LB1->model()->index(0, 0));
    form.repaint(); // the views drawn with their content
    const qint64 filled = t.elapsed();
    probe.stop();
    longest = std::max(longest, gap.elapsed());
    std::printf(
        "views filled: %lld ms (Source %lld lines, Destination %lld lines, Merged %d items)\n",
        filled, form.LBS->LineCount(), form.LBD->LineCount(), form.MergedModel()->rowCount());
    std::printf("longest time without handling events: %lld ms\n", longest);

    // Leaving the contact (no line current) empties the views; then the contact again,
    // shown now where the histories of the one before were just let go.
    t.restart();
    form.LB1->setCurrentIndex(QModelIndex());
    const qint64 emptied = t.elapsed();
    t.restart();
    form.LB1->setCurrentIndex(form.LB1->model()->index(0, 0));
    form.repaint();
    const qint64 again = t.elapsed();
    std::printf("views emptied: %lld ms, filled again: %lld ms\n", emptied, again);
    form.close();
    return 0;
}
