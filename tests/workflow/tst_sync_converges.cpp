// Synchronizations that used to lose, double or invent messages, or rewrite the same
// contact on every run: each case is synchronized, analysed again (no difference may
// be left) and synchronized a second time (no file may change).

#include "common/HistoryFixtures.h"
#include "common/ScriptedUi.h"
#include "common/TestOptions.h"
#include "common/TestUtil.h"
#include "config/Setup.h"
#include "history/History.h"
#include "history/TimeStamp.h"
#include "support/LangText.h"
#include "support/LogFile.h"
#include "workflow/Workflow.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <functional>
#include <memory>
#include <sys/stat.h>
#include <utility>
#include <vector>

using namespace vimosync;
using vimosync::test::Msg;
using vimosync::test::ScriptedUi;
using vimosync::test::WriteHistory;

namespace {

// A user interface that runs a step when the analysis shows its first progress.
class HookedUi : public ScriptedUi {
public:
    std::function<void()> OnFirstProgress;
    void showProgress(const QString& text) override {
        ScriptedUi::showProgress(text);
        if (OnFirstProgress && !text.isEmpty()) {
            auto f = std::move(OnFirstProgress);
            OnFirstProgress = nullptr;
            f();
        }
    }
    void processEvents() override { QCoreApplication::processEvents(); }
};

} // namespace

class TestSyncConverges : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> tmp_;
    QString src_;
    QString dst_;
    std::unique_ptr<HookedUi> ui_;
    std::unique_ptr<TWorkflow> wf_;

    QString S(const QString& name) const { return src_ + QLatin1Char('/') + name; }
    QString D(const QString& name) const { return dst_ + QLatin1Char('/') + name; }

    const TZMTHead* Find(const std::string& uin) const {
        for (const TZMTHead& e : wf_->HeadList.Items) {
            if (e.UIN == uin && e.Valid) {
                return &e;
            }
        }
        return nullptr;
    }

    // Analyse and synchronize the checked contacts; returns the final report.
    QString sync(int defaultVersion = 0) {
        ui_->FileVersions = {defaultVersion, defaultVersion};
        wf_->Analyse();
        if (!wf_->State.Analysed) {
            return QStringLiteral("not analysed");
        }
        if (!wf_->AnyChecked()) {
            return QStringLiteral("nothing checked");
        }
        ui_->Confirms = {true};
        wf_->Sync();
        return ui_->Infos.isEmpty() ? QString() : ui_->Infos.last();
    }

    // After a synchronization: no contact but the skipped ones shows a difference, and
    // a second synchronization of every contact changes no file.
    void verifyConverged(const QStringList& skippedUins = {}) {
        ui_->FileVersions = {0, 0};
        wf_->Analyse();
        QVERIFY(wf_->State.Analysed);
        for (const TZMTHead& e : wf_->HeadList.Items) {
            if (e.Valid && !skippedUins.contains(QString::fromStdString(e.UIN))) {
                QVERIFY2(!e.Marked, e.UIN.c_str());
            }
        }
        const auto before = test::treeBytes(dst_);
        wf_->SelectAll();
        ui_->Confirms = {true};
        QVERIFY(wf_->Sync());
        QVERIFY2(ui_->Infos.last().contains(QLatin1String("Files updated: 0\r\nFiles created: 0")),
                 qPrintable(ui_->Infos.last()));
        QCOMPARE(test::treeBytes(dst_), before);
    }

private slots:
    void init() {
        Setup() = TSettings{};
        Setup().BackupToRecycleBin = false;
        Setup().CreateArchivesFolder = false;
        tmp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(tmp_->isValid());
        src_ = tmp_->filePath(QStringLiteral("src"));
        dst_ = tmp_->filePath(QStringLiteral("dst"));
        QVERIFY(QDir().mkpath(src_));
        QVERIFY(QDir().mkpath(dst_));
        ui_ = std::make_unique<HookedUi>();
        wf_ = std::make_unique<TWorkflow>(*ui_);
        wf_->OptionsSource = [] { return WorkflowOptions(Setup()); };
        wf_->HeadList.Clear();
        wf_->OwnNick = "me";
        wf_->DefaultFileVersion = 0;
        wf_->MonitorEnabled = false;
        wf_->SrcPathEditChange(src_);
        wf_->DstPathEditChange(dst_);
        wf_->State.NickEdited = true;
        OpenLog(tmp_->filePath(QStringLiteral("wf.log")), false);
    }
    void cleanup() {
        CloseLog();
        wf_.reset();
        ui_.reset();
        tmp_.reset();
    }

    // A plain-text destination with a message the reader cannot take is left alone: a
    // rewrite would drop it. A text file of blank lines is no damage.
    void plainTextReadInPartIsDamaged() {
        WriteHistory(S("1.txt"), 0, "1", "a", {{1, false, "one"}, {2, true, "two"}});
        const QByteArray damaged = "a note before any message\r\n"
                                   "--------------------------------------<-\r\n"
                                   "a (12:01:00 4/03/2021)\r\none\r\n\r\n"
                                   "--------------------------------------<-\r\n"
                                   "a (no date here)\r\nlost if rewritten\r\n";
        test::writeAll(D("1.txt"), damaged);
        WriteHistory(S("2.txt"), 0, "2", "b", {{1, false, "hello"}});
        test::writeAll(D("2.txt"), "\r\n   \r\n\r\n");
        const QString report = sync();
        QCOMPARE(test::FileBytes(D("1.txt")), damaged);
        QVERIFY2(report.contains(QLatin1String("Files updated: 1")), qPrintable(report));
        QVERIFY(report.contains(QLatin1String("Files skipped: 1")));
        QVERIFY(
            report.contains(QLatin1String("Destination file 1.txt is damaged; contact 1 skipped")));
        QCOMPARE(test::LoadFile(D("2.txt")).Count(), 1);
        verifyConverged({QStringLiteral("1")});
    }

    // Two source files of one UIN and no destination file: the second merges with what
    // the first wrote, and the counts say so.
    void twoSourceFilesOfOneUin() {
        WriteHistory(S("1_800.zmt"), 1, "800", "x", {{1, false, "from the handheld"}});
        WriteHistory(S("Varyon_800.zmt"), 2, "800", "x",
                     {{1, false, "from the handheld"}, {3, true, "from the desktop"}});
        const QString report = sync(0);
        QVERIFY2(report.contains(QLatin1String("Files updated: 1\r\nFiles created: 1")),
                 qPrintable(report));
        const TZMTMessList merged = test::LoadFile(D("800.txt"));
        QCOMPARE(merged.Count(), 2);
        verifyConverged();
    }

    // Texts that a plain-text file cannot keep as they are: the merge takes them as the
    // file reads them back, so a second run finds nothing new and no message is invented.
    void plainTextKeepsWhatItCan_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("correctCrlf");
        QTest::addColumn<QString>("codePage");
        QTest::addColumn<bool>("destinationExists");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("lone line feed")
            << QByteArray("a\nb") << false << QString() << true << QByteArray("a\r\nb");
        QTest::newRow("lone carriage return")
            << QByteArray("a\rb") << false << QString() << true << QByteArray("a\r\nb");
        QTest::newRow("character the code page lacks")
            << QByteArray("check \xE2\x9C\x93 done") << false << QStringLiteral("windows-1251")
            << true << QByteArray("check ? done");
        QTest::newRow("separator line inside a text")
            << QByteArray("see:\r\n--------------------------------------<-\r\nend") << true
            << QString() << true
            << QByteArray("see:\r\n- -------------------------------------<-\r\nend");
        QTest::newRow("trailing blanks into a new file")
            << QByteArray("bye  \r\n\t") << false << QString() << false << QByteArray("bye");
    }
    void plainTextKeepsWhatItCan() {
        QFETCH(QByteArray, text);
        QFETCH(bool, correctCrlf);
        QFETCH(QString, codePage);
        QFETCH(bool, destinationExists);
        QFETCH(QByteArray, stored);
        Setup().CorrectCRLF = correctCrlf;
        if (!codePage.isEmpty()) {
            Setup().CodePage = codePage;
        }
        const std::string t = text.toStdString();
        WriteHistory(S("Varyon_4.zmt"), 2, "4", "d", {{1, false, "hello"}, {2, true, t.c_str()}});
        if (destinationExists) {
            WriteHistory(D("4.txt"), 0, "4", "d", {{1, false, "hello"}});
        }
        const QString report = sync(0);
        QVERIFY2(report.contains(destinationExists ? QLatin1String("Files updated: 1")
                                                   : QLatin1String("Files created: 1")),
                 qPrintable(report));
        const TZMTMessList back = test::LoadFile(D("4.txt"));
        QCOMPARE(back.Count(), 2);
        QCOMPARE(QByteArray::fromStdString(back[1].Text.str()), stored);
        verifyConverged();
    }

    // The other way: a plain-text source that holds a binary destination's message in its
    // text-file form (as a run the other way or both ways leaves it) holds that message,
    // not a new one. It is not added beside its fuller form, once or repeated in the same
    // second, while a message that is new still is.
    void textCopyOfABinaryMessageIsThatMessage_data() { plainTextKeepsWhatItCan_data(); }
    void textCopyOfABinaryMessageIsThatMessage() {
        QFETCH(QByteArray, text);
        QFETCH(bool, correctCrlf);
        QFETCH(QString, codePage);
        QFETCH(QByteArray, stored);
        Setup().CorrectCRLF = correctCrlf;
        if (!codePage.isEmpty()) {
            Setup().CodePage = codePage;
        }
        const std::string full = text.toStdString();
        const std::string plain = stored.toStdString();
        WriteHistory(D("Varyon_4.zmt"), 2, "4", "d",
                     {{1, false, "hello"}, {2, true, full.c_str()}});
        WriteHistory(S("4.txt"), 0, "4", "d",
                     {{1, false, "hello"},
                      {2, true, plain.c_str()},
                      {2, true, plain.c_str()},
                      {3, false, "new"}});
        const QString report = sync(2);
        QVERIFY2(report.contains(QLatin1String("Files updated: 1")), qPrintable(report));
        const TZMTMessList merged = test::LoadFile(D("Varyon_4.zmt"));
        QCOMPARE(merged.Count(), 3);
        QCOMPARE(QByteArray::fromStdString(merged[1].Text.str()), text);
        QCOMPARE(QByteArray::fromStdString(merged[2].Text.str()), QByteArray("new"));
        verifyConverged();
    }

    // A text over the 16-bit length and a date outside the 32-bit stamp range end only
    // their own contact, named with its file and the reason; the others are written.
    void whatABinaryFileCannotHoldSkipsItsContact() {
        const std::string longText(70000, 'x');
        WriteHistory(S("5.txt"), 0, "5", "e", {{1, false, "short"}, {2, false, longText.c_str()}});
        WriteHistory(D("1_5.zmt"), 1, "5", "e", {{1, false, "short"}});
        test::writeAll(S("6.txt"), "--------------------------------------<-\r\n"
                                   "f (10:00:00 1/02/2045)\r\nfrom the future\r\n");
        WriteHistory(D("1_6.zmt"), 1, "6", "f", {{1, false, "old"}});
        WriteHistory(S("7.txt"), 0, "7", "g", {{1, false, "fine"}, {2, true, "also fine"}});
        WriteHistory(D("1_7.zmt"), 1, "7", "g", {{1, false, "fine"}});
        const auto before5 = test::FileBytes(D("1_5.zmt"));
        const auto before6 = test::FileBytes(D("1_6.zmt"));
        const QString report = sync(1);
        QVERIFY2(report.contains(QLatin1String("Files updated: 1")), qPrintable(report));
        QVERIFY(report.contains(QLatin1String("Files skipped: 2")));
        QVERIFY(report.contains(QLatin1String("Contact 5 skipped: Message text too long")));
        QVERIFY(report.contains(QLatin1String("Contact 6 skipped: Message date 2045-02-01")));
        QCOMPARE(test::FileBytes(D("1_5.zmt")), before5);
        QCOMPARE(test::FileBytes(D("1_6.zmt")), before6);
        QCOMPARE(test::LoadFile(D("1_7.zmt")).Count(), 2);
        QCOMPARE(wf_->LastSyncSkipped, 2);
        verifyConverged({QStringLiteral("5"), QStringLiteral("6")});
    }

    // Between two Varyon directories a contact whose destination history has another
    // name is merged into it; no second history is made beside it.
    void varyonContactUnderAnotherName() {
        Setup().CreateArchivesFolder = true; // a handheld history first: Varyon all the same
        WriteHistory(S("Varyon_9.zmt"), 2, "9", "i", {{1, false, "a"}, {2, true, "b"}});
        WriteHistory(D("1_9.zmt"), 1, "9", "i", {{1, false, "a"}, {3, false, "c"}});
        WriteHistory(D("Varyon_10.zmt"), 2, "10", "j", {{1, false, "z"}});
        const QString report = sync(2);
        QVERIFY(wf_->State.SrcVaryon && wf_->State.DstVaryon);
        QVERIFY2(report.contains(QLatin1String("Files updated: 1\r\nFiles created: 0")),
                 qPrintable(report));
        QVERIFY(!QFileInfo::exists(D("Varyon_9.zmt")));
        QCOMPARE(test::LoadFile(D("1_9.zmt")).Count(), 3);
        verifyConverged();
    }

    // The same messages kept by a handheld (version 1, universal time) and a desktop
    // (version 2, local time) are one history in zones whose offset is no exact
    // binary fraction of a day.
    void handheldAndDesktopAgreeInEveryZone() {
        const QByteArray oldZone = qgetenv("TZ");
        for (const char* zone : {"Europe/Berlin", "America/New_York", "Asia/Kolkata"}) {
            qputenv("TZ", zone);
            tzset();
            Setup().PdaOffset = ZonePdaOffset();
            for (int mode : {0, 1}) {
                Setup().MessMergeMode = static_cast<std::uint8_t>(mode);
                std::vector<Msg> msgs;
                std::vector<std::string> texts;
                texts.reserve(120);
                for (int i = 0; i < 120; ++i) {
                    texts.push_back("message " + std::to_string(i));
                }
                for (int i = 0; i < 120; ++i) {
                    msgs.push_back({i * 7, i % 3 == 0, texts[static_cast<std::size_t>(i)].c_str()});
                }
                WriteHistory(S("1_12.zmt"), 1, "12", "k", msgs);
                WriteHistory(D("Varyon_12.zmt"), 2, "12", "k", msgs);
                wf_->Analyse();
                QVERIFY(wf_->State.Analysed);
                QVERIFY(Find("12"));
                QVERIFY2(Find("12")->DiffCount == 0, zone);
            }
        }
        qputenv("TZ", oldZone);
        tzset();
        Setup().PdaOffset = ZonePdaOffset();
    }

    // The smart mode: a handheld an hour behind recorded the same conversation and one
    // message more. The sync keeps the conversation once, adds that message in the
    // destination's clock, and a second run changes nothing.
    void smartModeMergesAConversationOnceAcrossClocks_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("sourceVersion");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<int>("destinationVersion");
        QTest::newRow("plain text into version 2") << "12.txt" << 0 << "Varyon_12.zmt" << 2;
        QTest::newRow("handheld into plain text") << "1_12.zmt" << 1 << "12.txt" << 0;
    }
    void smartModeMergesAConversationOnceAcrossClocks() {
        QFETCH(QString, source);
        QFETCH(int, sourceVersion);
        QFETCH(QString, destination);
        QFETCH(int, destinationVersion);
        Setup().MessMergeMode = 2;
        const char* const texts[] = {"are you at home tonight", "yes, come over at eight",
                                     "shall I bring something", "just yourself", "ok"};
        std::vector<Msg> handheld;
        std::vector<Msg> desktop;
        for (int i = 0; i < 5; ++i) {
            handheld.push_back({i, i % 2 == 1, texts[i]});
            desktop.push_back({60 + i, i % 2 == 1, texts[i]});
        }
        handheld.push_back({5, false, "see you then"});
        WriteHistory(S(source), sourceVersion, "12", "k", handheld);
        WriteHistory(D(destination), destinationVersion, "12", "k", desktop);
        const QString report = sync();
        QVERIFY2(report.contains(QLatin1String("Files updated: 1")), qPrintable(report));
        const TZMTMessList merged = test::LoadFile(D(destination));
        QCOMPARE(merged.Count(), 6);
        const TZMTMess& added = merged.Items.back();
        QCOMPARE(QString::fromUtf8(added.Text.data(), qsizetype(added.Text.size())),
                 QStringLiteral("see you then"));
        long long first = 0;
        long long last = 0;
        QVERIFY(SecondsOfTime(merged.Items.front().Time, first));
        QVERIFY(SecondsOfTime(added.Time, last));
        QCOMPARE(last - first, 5 * 60);
        verifyConverged();
    }

    // A save whose content is already on disk byte for byte leaves the file alone: no
    // new inode, nothing to the trash, the archive parts kept too.
    void sameBytesAreNotWrittenAgain() {
        qputenv("XDG_DATA_HOME", tmp_->filePath(QStringLiteral("data")).toUtf8());
        Setup().BackupToRecycleBin = true;
        Setup().NewArchiveSize = 1;
        QVERIFY(QDir().mkpath(D("Archive")));
        TZMTMessList list;
        list.FileName = D("Varyon_3.zmt");
        list.UIN = "3";
        list.Version = 2;
        list.Scrambled = 1;
        const std::string text(300, 'x');
        for (int i = 0; i < 12; ++i) {
            TZMTMess& m = NewMessage(list);
            m.Time = StampToTime(1600000000 + i * 60, 2, test::ReadOptions());
            m.Text = text;
        }
        bool backedUp = false;
        SaveHistory(list, backedUp, true, test::ReadOptions(), test::SaveOptions());
        const auto inode = [](const QString& path) {
            struct stat st;
            return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
        };
        const QString part = D("Archive/Varyon_3_1.ahf");
        QVERIFY(QFileInfo::exists(part));
        const auto before = std::make_pair(inode(list.FileName), inode(part));
        SaveHistory(list, backedUp, true, test::ReadOptions(), test::SaveOptions());
        QVERIFY(!backedUp);
        QCOMPARE(std::make_pair(inode(list.FileName), inode(part)), before);
        QVERIFY(!QFileInfo::exists(tmp_->filePath(QStringLiteral("data/Trash/files"))) ||
                QDir(tmp_->filePath(QStringLiteral("data/Trash/files")))
                    .entryList(QDir::NoDotAndDotDot | QDir::AllEntries)
                    .isEmpty());
    }

    // A change notice that comes while the analysis runs makes its result stale when
    // it ends, instead of being lost.
    void changeDuringAnalysisIsNotLost() {
        WriteHistory(S("1_1.zmt"), 1, "1", "a", {{1, false, "one"}, {2, true, "two"}});
        WriteHistory(D("1_1.zmt"), 1, "1", "a", {{1, false, "one"}});
        wf_->MonitorEnabled = true;
        ui_->OnFirstProgress = [this] {
            WriteHistory(S("1_2.zmt"), 1, "2", "b", {{1, false, "new"}});
            // Long enough for the monitor's wait to see it and post its notice.
            for (int i = 0; i < 20; ++i) {
                QThread::msleep(50);
                QCoreApplication::processEvents();
            }
        };
        wf_->Analyse();
        QVERIFY(!wf_->State.Analysed);
        QVERIFY(!wf_->Controls().Sync);
        QVERIFY(ui_->Infos.join(QString()).contains(
            QLatin1String("Source directory content change detected")));
        wf_->StopMonitor();
    }
};

QTEST_GUILESS_MAIN(TestSyncConverges)
#include "tst_sync_converges.moc"
