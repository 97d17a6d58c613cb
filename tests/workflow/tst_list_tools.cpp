// The work of the contact-list tools: selection commands, spam finder, full-text
// search and deletion of source files, after a real analysis.

#include "common/HistoryFixtures.h"
#include "common/ScriptedUi.h"
#include "config/Setup.h"
#include "support/LangText.h"
#include "workflow/Workflow.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace vimosync;
using namespace vimosync::test;

namespace {

std::vector<Msg> Messages(int in, int out, const char* text = "hi") {
    std::vector<Msg> m;
    for (int i = 0; i < in + out; ++i) {
        m.push_back({i, i >= in, text});
    }
    return m;
}

// The workflow of the running test.
TWorkflow* current = nullptr;

QString Checks() {
    QString s;
    for (const TZMTHead& e : current->HeadList.Items) {
        s += e.Valid ? (e.Checked ? QLatin1Char('x') : QLatin1Char('-')) : QLatin1Char('!');
    }
    return s;
}

} // namespace

class TestListTools : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> tmp_;
    QString src_, dst_;
    std::unique_ptr<ScriptedUi> ui_;
    std::unique_ptr<TWorkflow> wf_;

    QString S(const QString& n) const { return src_ + QLatin1Char('/') + n; }
    QString D(const QString& n) const { return dst_ + QLatin1Char('/') + n; }

private slots:
    void init() {
        Setup() = TSettings{};
        Setup().BackupToRecycleBin = false;
        Setup().CreateArchivesFolder = false;
        tmp_ = std::make_unique<QTemporaryDir>();
        src_ = tmp_->filePath(QStringLiteral("src"));
        dst_ = tmp_->filePath(QStringLiteral("dst"));
        QVERIFY(QDir().mkpath(src_) && QDir().mkpath(dst_));
        // Sorted: a (differs), b (differs), c (equal), d (equal), then the unreadable one
        // among the different ones.
        WriteHistory(S("1_1.zmt"), 1, "1", "a", Messages(2, 500, "hello there"));
        WriteHistory(S("1_2.zmt"), 1, "2", "b", Messages(3, 0, "helloworld"));
        WriteHistory(S("1_3.zmt"), 1, "3", "c", Messages(1, 1));
        WriteHistory(D("1_3.zmt"), 1, "3", "c", Messages(1, 1));
        WriteHistory(S("1_4.zmt"), 1, "4", "d", Messages(5, 5, "HELLO"));
        WriteHistory(D("1_4.zmt"), 1, "4", "d", Messages(5, 5, "HELLO"));
        test::WriteHistory(S("1_9.zmt"), 1, "9", "z", {});
        QFile bad(S("1_9.zmt"));
        QVERIFY(bad.open(QIODevice::WriteOnly | QIODevice::Truncate));
        bad.write("junk");
        bad.close();
        ui_ = std::make_unique<ScriptedUi>();
        wf_ = std::make_unique<TWorkflow>(*ui_);
        wf_->OptionsSource = [] { return WorkflowOptions(Setup()); };
        wf_->HeadList.Clear();
        wf_->OwnNick = "me";
        current = wf_.get();
        wf_->MonitorEnabled = false;
        wf_->SrcPathEditChange(src_);
        wf_->DstPathEditChange(dst_);
        ui_->FileVersions = {1};
        wf_->Analyse();
        QVERIFY(wf_->State.Analysed);
        QCOMPARE(Checks(), QStringLiteral("!xx--"));
    }
    void cleanup() {
        wf_.reset();
        tmp_.reset();
    }

    void selectionCommands() {
        wf_->State.ShowUnchecked = false;
        wf_->SelectAll();
        QCOMPARE(Checks(), QStringLiteral("!xxxx"));
        wf_->SelectAllDifferent();
        QCOMPARE(Checks(), QStringLiteral("!xx--"));
        QCOMPARE(wf_->ContactList().Lines.size(), std::size_t(2)); // exactly the different
        wf_->SelectInverse();
        QCOMPARE(Checks(), QStringLiteral("!--xx"));
        wf_->SelectInverse();
        QCOMPARE(Checks(), QStringLiteral("!xx--"));
        QVERIFY(!wf_->HeadList[0].Checked); // the unreadable one keeps its mark
        wf_->DeselectAll();
        QVERIFY(wf_->ContactList().Lines.empty());
        QCOMPARE(wf_->Controls().ListHint, QStringLiteral("0 checked of 5 (5 hidden)"));
        QVERIFY(!wf_->Controls().Sync);
        QVERIFY(ui_->ListRebuilds >= 5);
    }

    void spamFinder() {
        Setup().SpamMinMessagesIn = 3;
        Setup().SpamMinMessagesOut = 0;
        ui_->Confirms = {false};
        QVERIFY(!wf_->LookForSpam()); // "clear current selection?" answered No
        QCOMPARE(ui_->Questions, QStringList{QString::fromLatin1(LangText::ClearSelection)});
        QCOMPARE(Checks(), QStringLiteral("!xx--"));
        ui_->Confirms = {true};
        QVERIFY(wf_->LookForSpam());
        // a: 2 in, 500 out -> spam; b: 3 in; c: 1 in; d: 5 in.
        QCOMPARE(Checks(), QStringLiteral("!x-x-"));
        QCOMPARE(ui_->Progress, QString());
        QCOMPARE(ui_->BusyDepth, 0);

        // The defaults: contacts the user never wrote to.
        Setup().SpamMinMessagesIn = 0;
        Setup().SpamMinMessagesOut = 1;
        ui_->Confirms = {true};
        QVERIFY(wf_->LookForSpam());
        QCOMPARE(Checks(), QStringLiteral("!-x--"));
    }

    void fullTextSearchWholeWord() {
        QVERIFY(wf_->ConfirmClearSelection() == false); // no answer queued: No
        const QRegularExpression word(QStringLiteral("(?<![A-Za-z0-9])hello(?![A-Za-z0-9])"),
                                      QRegularExpression::CaseInsensitiveOption);
        QVERIFY(
            wf_->FullTextSearch([&](const QString& text) { return word.match(text).hasMatch(); }));
        // a has "hello there", b only "helloworld", d "HELLO" (case ignored here).
        QCOMPARE(Checks(), QStringLiteral("!x--x"));
        QCOMPARE(ui_->BusyDepth, 0);
    }

    // A cancelled full-text search stops after the contact it is on; the contacts it did
    // not look at are left unchecked, as the search began.
    void fullTextSearchCancel() {
        int looked = 0;
        QVERIFY(wf_->FullTextSearch([&](const QString&) {
            if (++looked == 2) {
                wf_->RequestCancel(); // as the Cancel button, while the second is searched
            }
            return true;
        }));
        QVERIFY(wf_->Cancelled());
        QCOMPARE(looked, 2);
        QCOMPARE(Checks(), QStringLiteral("!xx--"));
        // The next search runs to its end.
        QVERIFY(wf_->FullTextSearch([](const QString&) { return true; }));
        QVERIFY(!wf_->Cancelled());
        QCOMPARE(Checks(), QStringLiteral("!xxxx"));
    }

    void deleteSourceFiles() {
        wf_->SelectAll();
        // Contact c's "file" is now a folder with content: it cannot be deleted.
        QVERIFY(QFile::remove(S("1_3.zmt")));
        QVERIFY(QDir().mkpath(S("1_3.zmt/inner")));
        std::vector<int> lines;
        for (const TContactLine& l : wf_->ContactList().Lines) {
            if (l.HasCheckBox && l.Checked && l.Index != 4) {
                lines.push_back(l.Index);
            }
        }
        QCOMPARE(lines.size(), std::size_t(3)); // a, b, c
        ui_->Confirms = {true};
        const std::vector<int> removed = wf_->DeleteSrcFiles(lines);
        QCOMPARE(removed, lines);
        QCOMPARE(ui_->Questions.last(),
                 QStringLiteral("Do you really want to delete\r\n3 marked source files?"));
        QCOMPARE(ui_->Infos.last(), QStringLiteral("2 files was successfully deleted"));
        QVERIFY(!QFileInfo::exists(S("1_1.zmt")));
        QVERIFY(QFileInfo::exists(S("1_4.zmt")));
        // Nothing checked on the shown lines: only a beep.
        const int beeps = ui_->Beeps;
        QVERIFY(wf_->DeleteSrcFiles({}).empty());
        QCOMPARE(ui_->Beeps, beeps + 1);
    }

    // Both ways a contact that only the destination has is listed without a source file:
    // the tools read it as an empty source, and deleting "its source file" touches
    // nothing (its path would be the source folder itself).
    void destinationOnlyContact() {
        WriteHistory(D("1_7.zmt"), 1, "7", "g", Messages(2, 2));
        Setup().SyncDirection = 1;
        ui_->FileVersions = {1, 1};
        wf_->Analyse();
        Setup().SyncDirection = 0;
        QVERIFY(wf_->State.Analysed);
        int only = -1;
        for (int i = 0; i < wf_->HeadList.Count(); ++i) {
            if (wf_->HeadList[i].SrcFile.isEmpty() && wf_->HeadList[i].Valid) {
                only = i;
            }
        }
        QVERIFY(only >= 0);
        QCOMPARE(wf_->HeadList[only].BackDiffCount, 4);
        QVERIFY(wf_->HeadList[only].Checked);
        ui_->Confirms = {true, true};
        QVERIFY(wf_->FullTextSearch([](const QString&) { return true; }));
        QVERIFY(wf_->DeleteSrcFiles({only}).empty());
        QVERIFY(QFileInfo(src_).isDir());
        QVERIFY(QFileInfo::exists(S("1_1.zmt")));
    }
};

QTEST_GUILESS_MAIN(TestListTools)
#include "tst_list_tools.moc"
