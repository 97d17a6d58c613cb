// The analysis and the synchronization run on real temporary directories, every
// question answered by the scripted user interface.

#include "common/HistoryFixtures.h"
#include "common/ScriptedUi.h"
#include "common/TestOptions.h"
#include "common/TestUtil.h"
#include "config/Setup.h"
#include "history/FileStore.h"
#include "history/History.h"
#include "history/TimeStamp.h"
#include "support/Errors.h"
#include "support/LangText.h"
#include "support/LogFile.h"
#include "workflow/Workflow.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>

#include <thread>
#include <vector>

using namespace vimosync;
using vimosync::test::ScriptedUi;

namespace {

using test::Msg;
using test::WriteHistory;

TZMTMessList Load(const QString& path) {
    return test::LoadFile(path);
}

QByteArray Bytes(const QString& path) {
    return test::FileBytes(path);
}

const std::vector<Msg> kAB = {{1, false, "hello"}, {2, true, "hi there"}};
const std::vector<Msg> kABC = {{1, false, "hello"}, {2, true, "hi there"}, {3, false, "bye"}};

// The workflow of the running test.
TWorkflow* current = nullptr;

const TZMTHead* Find(const std::string& uin) {
    for (const TZMTHead& e : current->HeadList.Items) {
        if (e.UIN == uin) {
            return &e;
        }
    }
    return nullptr;
}

} // namespace

class TestWorkflow : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> tmp_;
    QString src_;
    QString dst_;
    std::unique_ptr<ScriptedUi> ui_;
    std::unique_ptr<TWorkflow> wf_;
    double pdaOffset_ = 0;

    QString S(const QString& name) const { return src_ + QLatin1Char('/') + name; }
    QString D(const QString& name) const { return dst_ + QLatin1Char('/') + name; }

    void analyse() {
        wf_->Analyse();
        QVERIFY(wf_->State.Analysed);
    }
    QString logText() {
        CloseLog();
        const QString text = QString::fromUtf8(Bytes(tmp_->filePath(QStringLiteral("wf.log"))));
        OpenLog(tmp_->filePath(QStringLiteral("wf.log")), false);
        return text;
    }

private slots:
    void initTestCase() { pdaOffset_ = Setup().PdaOffset; }
    void init() {
        Setup().PdaOffset = pdaOffset_;
        Setup() = TSettings{};
        Setup().BackupToRecycleBin = false;
        Setup().CreateArchivesFolder = false;
        tmp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(tmp_->isValid());
        src_ = tmp_->filePath(QStringLiteral("src"));
        dst_ = tmp_->filePath(QStringLiteral("dst"));
        QVERIFY(QDir().mkpath(src_));
        QVERIFY(QDir().mkpath(dst_));
        ui_ = std::make_unique<ScriptedUi>();
        wf_ = std::make_unique<TWorkflow>(*ui_);
        wf_->OptionsSource = [] { return WorkflowOptions(Setup()); };
        current = wf_.get();
        wf_->HeadList.Clear();
        wf_->OwnNick = LangText::NickUnset;
        wf_->DefaultFileVersion = 0;
        wf_->MonitorEnabled = false;
        wf_->SrcPathEditChange(src_ + QLatin1Char('/'));
        wf_->DstPathEditChange(dst_);
        OpenLog(tmp_->filePath(QStringLiteral("wf.log")), false);
    }
    void cleanup() {
        CloseLog();
        wf_.reset();
        ui_.reset();
        tmp_.reset();
    }

    void zmtFilesHideTxtFiles() {
        WriteHistory(S("Varyon_1.zmt"), 2, "1", "one", kAB);
        WriteHistory(S("2.txt"), 0, "2", "two", kAB);
        analyse();
        QCOMPARE(wf_->HeadList.Count(), 1);
        QCOMPARE(wf_->HeadList[0].UIN, std::string("1"));

        QFile::remove(S("Varyon_1.zmt"));
        analyse();
        QCOMPARE(wf_->HeadList.Count(), 1);
        QCOMPARE(wf_->HeadList[0].UIN, std::string("2"));
        QCOMPARE(wf_->HeadList[0].SrcFile, QStringLiteral("2.txt"));
    }

    // A history that exists but cannot be read is named to the user and in the log, with
    // the reason, instead of looking missing or empty.
    void unreadableFilesAreNamed() {
        WriteHistory(S("Varyon_1.zmt"), 2, "1", "one", kAB);
        WriteHistory(S("Varyon_2.zmt"), 2, "2", "two", kAB);
        WriteHistory(S("Varyon_3.zmt"), 2, "3", "three", kAB);
        WriteHistory(D("Varyon_3.zmt"), 2, "3", "three", kAB);
        WriteHistory(S("4.txt"), 0, "4", "four", kAB);
        static QStringList unreadable;
        unreadable = {S("Varyon_2.zmt"), D("Varyon_3.zmt")};
        HistoryReadHooks().fail = [](const QString& path) {
            return unreadable.contains(path) ? EACCES : 0;
        };
        wf_->Analyse();
        HistoryReadHooks().fail = nullptr;
        QVERIFY(wf_->State.Analysed);
        const QString why = QString::fromLocal8Bit(std::strerror(EACCES));
        const QString s2 = QStringLiteral("Cannot read file %1: %2").arg(S("Varyon_2.zmt"), why);
        const QString d3 = QStringLiteral("Cannot read file %1: %2").arg(D("Varyon_3.zmt"), why);
        QCOMPARE(ui_->Warnings, QStringList{QStringLiteral("Some files could not be read:\r\n") +
                                            s2 + QStringLiteral("\r\n") + d3});
        const QString log = logText();
        QVERIFY(log.contains(s2));
        QVERIFY(log.contains(d3));
        // The readable contacts are there as ever; a second analysis says nothing more.
        wf_->Analyse();
        QCOMPARE(ui_->Warnings.size(), 1);
    }

    // Cancel: the contact being worked on ends whole, no other starts. A cancelled
    // analysis leaves no list; a cancelled sync reports how far it came, leaves the
    // contacts not started as they were, and the next run finishes the work.
    void cancelStopsBetweenContacts() {
        wf_->OptionsSource = [] {
            TWorkflowOptions o = WorkflowOptions(Setup());
            o.Jobs = 1; // the contacts in list order, so that the stop falls in one place
            return o;
        };
        for (int i = 0; i < 12; ++i) {
            const std::string uin = std::to_string(100 + i);
            WriteHistory(S(QString::fromStdString(uin) + ".txt"), 0, uin, "n" + uin, kAB);
            WriteHistory(D(QString::fromStdString(uin) + ".txt"), 0, uin, "n" + uin, {kAB[0]});
        }
        static TWorkflow* running = nullptr;
        static QString stopAt;
        running = wf_.get();
        HistoryReadHooks().fail = [](const QString& path) {
            if (path == stopAt) {
                running->RequestCancel(); // as the Cancel button would, meanwhile
            }
            return 0;
        };
        stopAt = S("105.txt");
        wf_->Analyse();
        QVERIFY(wf_->Cancelled());
        QVERIFY(!wf_->State.Analysed);
        QVERIFY(wf_->HeadList.IsEmpty());
        QVERIFY(logText().contains(QLatin1String("Analyse cancelled")));

        stopAt.clear();
        analyse();
        QVERIFY(!wf_->Cancelled());
        const auto before = test::treeBytes(dst_);
        stopAt = S("103.txt");
        ui_->Confirms = {true};
        QVERIFY(wf_->Sync());
        QVERIFY(wf_->Cancelled());
        QVERIFY2(ui_->Infos.last().startsWith(
                     QLatin1String("Synchronization cancelled after 4 of 12 contacts\r\n"
                                   "Files updated: 4\r\n")),
                 qPrintable(ui_->Infos.last()));
        const auto after = test::treeBytes(dst_);
        int changed = 0;
        for (auto it = before.begin(); it != before.end(); ++it) {
            changed += after.value(it.key()) != it.value() ? 1 : 0;
        }
        QCOMPARE(changed, 4);
        QCOMPARE(test::LoadFile(D("103.txt")).Count(), 2); // the contact it stopped on, whole
        QCOMPARE(test::LoadFile(D("104.txt")).Count(), 1);

        stopAt.clear();
        HistoryReadHooks().fail = nullptr;
        analyse();
        ui_->Confirms = {true};
        QVERIFY(wf_->Sync());
        QVERIFY2(ui_->Infos.last().contains(QLatin1String("\r\nFiles updated: 8\r\n")),
                 qPrintable(ui_->Infos.last()));
    }

    void noHistoriesLeavesNothingAnalysed() {
        WriteHistory(S("notes.dat"), 0, "1", "x", kAB);
        wf_->Analyse();
        QVERIFY(!wf_->State.Analysed);
        QVERIFY(wf_->HeadList.IsEmpty());
        QCOMPARE(ui_->BusyDepth, 0);
        const QString log = logText();
        QVERIFY(log.contains(QLatin1String("No ZMT found. Trying TXT")));
        QVERIFY(log.contains(QLatin1String("No TXT found. Fail")));
    }

    void missingAndSameDirectories() {
        wf_->SrcPathEditChange(tmp_->filePath(QStringLiteral("nope1")));
        wf_->DstPathEditChange(tmp_->filePath(QStringLiteral("nope2")));
        QVERIFY(!wf_->CheckDirectories());
        QCOMPARE(ui_->Warnings.size(), 2);
        QVERIFY(ui_->Warnings[0].endsWith(QLatin1String("nope1")));
        QVERIFY(ui_->Warnings[0].startsWith(QLatin1String("Directory is absent: ")));

        wf_->SrcPathEditChange(src_);
        wf_->DstPathEditChange(src_);
        WriteHistory(S("Varyon_1.zmt"), 2, "1", "one", kAB);
        wf_->Analyse();
        QVERIFY(!wf_->State.Analysed);
        QCOMPARE(ui_->Infos.last(),
                 QStringLiteral("You are about to synchronize the same directory!"));
        QVERIFY(wf_->HeadList.IsEmpty());
    }

    // Any readable Varyon history makes the destination Varyon, whatever the order of
    // the names; handheld histories alone do so only with CreateArchivesFolder.
    void varyonDecisions_data() {
        QTest::addColumn<int>("firstVersion");  // -1: no .zmt file in the destination
        QTest::addColumn<int>("secondVersion"); // 0: no second file
        QTest::addColumn<bool>("archiveFolder");
        QTest::addColumn<bool>("createArchives");
        QTest::addColumn<bool>("varyon");
        QTest::addColumn<bool>("archiveAfter");
        QTest::newRow("empty, no folder") << -1 << 0 << false << false << false << false;
        QTest::newRow("empty, no folder, create on") << -1 << 0 << false << true << false << false;
        QTest::newRow("empty, archive folder") << -1 << 0 << true << false << true << true;
        QTest::newRow("v1 only, create off") << 1 << 0 << false << false << false << false;
        QTest::newRow("v1 only, create on") << 1 << 0 << false << true << true << true;
        QTest::newRow("v1 only, folder, create off") << 1 << 0 << true << false << false << true;
        QTest::newRow("v1 first, v2 after, create off")
            << 1 << 2 << false << false << true << false;
        QTest::newRow("v2 first, create off") << 2 << 1 << false << false << true << false;
        QTest::newRow("v3 first, create on") << 3 << 1 << false << true << true << true;
    }
    void varyonDecisions() {
        QFETCH(int, firstVersion);
        QFETCH(int, secondVersion);
        QFETCH(bool, archiveFolder);
        QFETCH(bool, createArchives);
        QFETCH(bool, varyon);
        QFETCH(bool, archiveAfter);
        Setup().CreateArchivesFolder = createArchives;
        WriteHistory(S("1_5.zmt"), 1, "5", "five", kAB);
        // An unreadable file sorts first and is passed over.
        QFile bad(D("0_bad.zmt"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("XYZ");
        bad.close();
        if (firstVersion > 0) {
            WriteHistory(D("a_7.zmt"), firstVersion, "7", "seven", kAB);
        }
        if (secondVersion > 0) {
            WriteHistory(D("b_8.zmt"), secondVersion, "8", "eight", kAB);
        }
        if (archiveFolder) {
            QVERIFY(QDir().mkpath(D("Archive")));
        }
        analyse();
        QVERIFY(!wf_->State.SrcVaryon);
        QCOMPARE(wf_->State.DstVaryon, varyon);
        QCOMPARE(wf_->State.DstArchiveExists, archiveAfter);
        QCOMPARE(QFileInfo(D("Archive")).isDir(), archiveAfter);
        QVERIFY(logText().contains(Format(LangText::VaryonMode, 0, int(varyon))));
    }

    void archiveFolderCreatedWithoutNotice() {
        Setup().CreateArchivesFolder = true;
        wf_->MonitorEnabled = true;
        WriteHistory(S("1_5.zmt"), 1, "5", "five", kABC);
        WriteHistory(D("1_5.zmt"), 1, "5", "five", kAB);
        analyse();
        QVERIFY(QFileInfo(D("Archive")).isDir());
        QVERIFY(wf_->MonitorRunning());
        QTest::qWait(3 * 200 + 100);
        QVERIFY(wf_->State.Analysed);
        QVERIFY(ui_->Infos.isEmpty());
        // The monitor still reports outside changes.
        WriteHistory(D("x.txt"), 0, "9", "n", kAB);
        QTRY_VERIFY(!wf_->State.Analysed);
        QCOMPARE(ui_->Infos.size(), 1);
        QCOMPARE(ui_->Infos[0], QStringLiteral("Destination directory content change "
                                               "detected.\r\nYou need to restart Analyse."));
    }

    void pairingByMasks_data() {
        QTest::addColumn<QStringList>("dstFiles");
        QTest::addColumn<QString>("paired");
        QTest::newRow("other contact ending in the UIN")
            << QStringList{QStringLiteral("4123.zmt")} << QString();
        QTest::newRow("exact name")
            << QStringList{QStringLiteral("123.zmt")} << QStringLiteral("123.zmt");
        QTest::newRow("letter before the UIN")
            << QStringList{QStringLiteral("x123.zmt")} << QStringLiteral("x123.zmt");
        QTest::newRow("first without a digit")
            << QStringList{QStringLiteral("0123.zmt"), QStringLiteral("4123.zmt"),
                           QStringLiteral("a123.zmt")}
            << QStringLiteral("a123.zmt");
        QTest::newRow("underscore mask first")
            << QStringList{QStringLiteral("a123.zmt"), QStringLiteral("pda_123.zmt")}
            << QStringLiteral("pda_123.zmt");
        QTest::newRow("text file first")
            << QStringList{QStringLiteral("Varyon_123.zmt"), QStringLiteral("123.TXT")}
            << QStringLiteral("123.TXT");
        QTest::newRow("varyon prefix ignoring case")
            << QStringList{QStringLiteral("b_123.zmt"), QStringLiteral("VARYONx_123.zmt")}
            << QStringLiteral("VARYONx_123.zmt");
        QTest::newRow("no underscore match for 1123")
            << QStringList{QStringLiteral("Varyon_1123.zmt")} << QString();
    }
    void pairingByMasks() {
        QFETCH(QStringList, dstFiles);
        QFETCH(QString, paired);
        WriteHistory(S("1_123.zmt"), 1, "123", "abc", kABC);
        for (const QString& f : dstFiles) {
            if (f.endsWith(QLatin1String(".TXT"))) {
                WriteHistory(D(f), 0, "123", "abc", kAB);
            } else {
                // Each file carries the UIN its name ends with.
                const QString uin = f.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('_'), -1);
                WriteHistory(D(f), 1, uin.toStdString(), "other", kAB);
            }
        }
        analyse();
        const TZMTHead* e = Find("123");
        QVERIFY(e);
        QCOMPARE(e->DstFile, paired);
    }

    // Contact 123 must never be written into the history of contact 4123.
    void syncNeverWritesAnotherContactsFile() {
        WriteHistory(S("1_123.zmt"), 1, "123", "abc", kABC);
        WriteHistory(D("4123.zmt"), 1, "4123", "other", kAB);
        const QByteArray before = Bytes(D("4123.zmt"));
        analyse();
        ui_->FileVersions = {1};
        ui_->Confirms = {true};
        ui_->Nicks = {QStringLiteral("me")};
        QVERIFY(wf_->Sync());
        QCOMPARE(Bytes(D("4123.zmt")), before);
        QCOMPARE(Load(D("1_123.zmt")).Count(), 3);
    }

    void varyonToVaryonPairsByName() {
        WriteHistory(S("Varyon_123.zmt"), 2, "123", "abc", kABC);
        WriteHistory(D("zz_123.zmt"), 2, "123", "abc", kAB);
        analyse();
        QVERIFY(wf_->State.SrcVaryon && wf_->State.DstVaryon);
        // No file of the same name: the contact's history found through the masks is its
        // destination, so that no second history is made beside it.
        QCOMPARE(Find("123")->DstFile, QStringLiteral("zz_123.zmt"));
        WriteHistory(D("Varyon_123.zmt"), 2, "123", "abc", kAB);

        // A new file keeps the source file's name and version, not the default's.
        WriteHistory(S("Varyon_77.zmt"), 3, "77", "v3", kAB);
        ui_->FileVersions = {1};
        analyse();
        ui_->Confirms = {true};
        QVERIFY(wf_->Sync());
        QCOMPARE(ui_->FileVersionQuestions, 1);
        const TZMTMessList created = Load(D("Varyon_77.zmt"));
        QVERIFY(created.Valid);
        QCOMPARE(int(created.Version), 3);
        QCOMPARE(created.Count(), 2);
        QCOMPARE(int(Load(D("Varyon_123.zmt")).Version), 2);
        QCOMPARE(Load(D("Varyon_123.zmt")).Count(), 3);
        QVERIFY(!QFileInfo::exists(D("1_77.zmt")));
    }

    void defaultVersionCounting_data() {
        QTest::addColumn<QList<int>>("dstVersions"); // destination versions, source order
        QTest::addColumn<int>("expected");
        QTest::newRow("none") << QList<int>{} << 0;
        QTest::newRow("tie, 1 first") << QList<int>{1, 2, 1, 2} << 1;
        QTest::newRow("tie, 2 first") << QList<int>{2, 1, 1, 2} << 2;
        QTest::newRow("majority") << QList<int>{2, 0, 0} << 0;
        QTest::newRow("v3") << QList<int>{3} << 3;
    }
    void defaultVersionCounting() {
        QFETCH(QList<int>, dstVersions);
        QFETCH(int, expected);
        for (int i = 0; i < dstVersions.size(); ++i) {
            const std::string uin = std::to_string(100 + i);
            WriteHistory(S(QStringLiteral("1_%1.zmt").arg(100 + i)), 1, uin, "n", kABC);
            const int v = dstVersions[i];
            const QString name = v == 0 ? QStringLiteral("%1.txt").arg(100 + i)
                                        : QStringLiteral("z_%1.zmt").arg(100 + i);
            WriteHistory(D(name), v, uin, "n", kAB);
        }
        // One contact without a destination file makes the analysis ask; cancel.
        WriteHistory(S("1_999.zmt"), 1, "999", "n", kAB);
        analyse();
        QCOMPARE(ui_->FileVersionQuestions, 1);
        QCOMPARE(int(wf_->DefaultFileVersion), expected);
        QVERIFY(!wf_->State.FileVersionChosen);
        QVERIFY(logText().contains(
            Format(LangText::UnnamedFiles, FormatLabels[static_cast<std::size_t>(expected)])));
    }

    void cancelledVersionIsAskedAgain() {
        WriteHistory(S("1_5.zmt"), 1, "5", "n", kAB);
        analyse();
        QCOMPARE(ui_->FileVersionQuestions, 1);
        wf_->OwnNick = "me";
        // The run asks again and stops on a second cancel, before any confirmation.
        QVERIFY(!wf_->Sync());
        QCOMPARE(ui_->FileVersionQuestions, 2);
        QVERIFY(ui_->Questions.isEmpty());
        QCOMPARE(QDir(dst_).entryList(QDir::Files).size(), 0);
        // OK in the analysis: the run does not ask again.
        ui_->FileVersions = {0};
        analyse();
        QVERIFY(wf_->State.FileVersionChosen);
        wf_->OwnNick = "me";
        ui_->Confirms = {true};
        QVERIFY(wf_->Sync());
        QCOMPARE(ui_->FileVersionQuestions, 3);
        QVERIFY(Load(D("5.txt")).Valid); // version 0 names the file UIN.txt
    }

    void nickDetection() {
        WriteHistory(S("5.txt"), 0, "5", "five", {{1, true, "a"}, {2, true, "b"}, {3, false, "c"}});
        analyse();
        QCOMPARE(wf_->OwnNick, std::string("me"));
        QVERIFY(logText().contains(QLatin1String("Auto find Nick. Found \"me\"")));

        // An edited nick is kept by the next analysis: its Reset All clears it first
        // only when the list has entries, which it has, so detection runs again.
        ui_->Nicks = {QStringLiteral("Boss")};
        wf_->EditNick();
        QVERIFY(wf_->State.NickEdited);
        QCOMPARE(wf_->OwnNick, std::string("Boss"));
        analyse();
        QVERIFY(!wf_->State.NickEdited);
        QCOMPARE(wf_->OwnNick, std::string("me"));

        // With an empty list Reset All does nothing: an edited nick survives analysis.
        wf_->ResetAll();
        ui_->Nicks = {QStringLiteral("Boss")};
        wf_->EditNick();
        QVERIFY(wf_->HeadList.IsEmpty());
        analyse();
        QVERIFY(wf_->State.NickEdited);
        QCOMPARE(wf_->OwnNick, std::string("Boss"));

        // Binary files are never opened for the nick.
        wf_->ResetAll();
        QFile::remove(S("5.txt"));
        WriteHistory(S("1_6.zmt"), 1, "6", "six", kAB);
        analyse();
        QCOMPARE(wf_->OwnNick, std::string(LangText::NickUnset));
        QVERIFY(logText().contains(
            QLatin1String("Failed to auto find Nick. Current Nick is \"<My Nick>\"")));
    }

    void nickNeededUnlessVaryon() {
        WriteHistory(S("1_5.zmt"), 1, "5", "n", kABC);
        WriteHistory(D("1_5.zmt"), 1, "5", "n", kAB);
        analyse();
        // Cancelled nick: the run stops after the notice, without a confirmation.
        QVERIFY(!wf_->Sync());
        QCOMPARE(ui_->Infos,
                 QStringList{QStringLiteral("Enter Nick before synchronization execution")});
        QCOMPARE(ui_->NickQuestions, 1);
        QVERIFY(ui_->Questions.isEmpty());
        // OK without a change sets NickEdited, and the run goes on.
        ui_->Nicks = {QString::fromLatin1(LangText::NickUnset)};
        ui_->Confirms = {true};
        QVERIFY(wf_->Sync());
        QVERIFY(wf_->State.NickEdited);
        QCOMPARE(Load(D("1_5.zmt")).Count(), 3);

        // A Varyon destination needs no nick.
        Setup().CreateArchivesFolder = true;
        WriteHistory(S("1_5.zmt"), 1, "5", "n", {{9, false, "new"}});
        wf_->ResetAll();
        analyse();
        QVERIFY(wf_->State.DstVaryon);
        ui_->Confirms = {true};
        const int asked = ui_->NickQuestions;
        QVERIFY(wf_->Sync());
        QCOMPARE(ui_->NickQuestions, asked);
    }

    void confirmationText() {
        Setup().ZmtDateOffset = 2;
        Setup().UseVaryonArchives = true;
        Setup().PdaOffset = -0.125;
        WriteHistory(S("1_5.zmt"), 1, "5", "n", kABC);
        WriteHistory(D("1_5.zmt"), 1, "5", "n", kAB);
        analyse();
        wf_->OwnNick = "me";
        ui_->Confirms = {false};
        QVERIFY(!wf_->Sync());
        QCOMPARE(ui_->Questions.size(), 1);
        QCOMPARE(ui_->Questions[0], QStringLiteral("Really synchronize selected items?\r\n"
                                                   "Current default file version: ZMTv1 (PDA)\r\n"
                                                   "Current PDA time offset: +03:00\r\n"
                                                   "Current PDA date offset: 2\r\n"
                                                   "Current Nick is \"me\"\r\n"
                                                   "Varyon mode: Source=0; Destination=0\r\n"
                                                   "Also use archives files (*.ahf)\r\n"
                                                   "The backup to the trash is off: this "
                                                   "synchronization cannot be undone in full (an "
                                                   "undo can only take away the files it "
                                                   "creates)."));
        QCOMPARE(Load(D("1_5.zmt")).Count(), 2); // No: nothing written
    }

    void countsAndBackups_data() {
        QTest::addColumn<bool>("backup");
        QTest::newRow("backup off") << false;
        QTest::newRow("backup on") << true;
    }
    void countsAndBackups() {
        QFETCH(bool, backup);
        qputenv("XDG_DATA_HOME", tmp_->filePath(QStringLiteral("data")).toLocal8Bit());
        QDir().mkpath(tmp_->filePath(QStringLiteral("data")));
        Setup().BackupToRecycleBin = backup;
        wf_->OwnNick = "me";
        WriteHistory(S("1_1.zmt"), 1, "1", "a", kABC);
        WriteHistory(D("1_1.zmt"), 1, "1", "a", kAB);
        WriteHistory(S("1_2.zmt"), 1, "2", "b", kAB);
        WriteHistory(D("1_2.zmt"), 1, "2", "b", kAB); // equal: not written
        WriteHistory(S("1_3.zmt"), 1, "3", "c", kAB); // no destination: created
        ui_->FileVersions = {2};
        analyse();
        QVERIFY(wf_->State.FileVersionChosen);
        QVERIFY(!Find("2")->Checked);
        wf_->SelectAll(); // the equal contact is merged but not written
        ui_->Confirms = {true};
        QVERIFY(wf_->Sync());
        const QString expected =
            backup ? QStringLiteral("Synchronization finished.\r\nFiles updated: 1\r\nFiles "
                                    "created: 1\r\nFiles backuped: 1")
                   : QStringLiteral("Synchronization finished.\r\nFiles updated: 1\r\nFiles "
                                    "created: 1");
        QCOMPARE(ui_->Infos.last(), expected);
        QCOMPARE(Load(D("1_1.zmt")).Count(), 3);
        QCOMPARE(int(Load(D("Varyon_3.zmt")).Version), 2);
        QCOMPARE(ui_->BusyDepth, 0);
        const QString log = logText();
        QVERIFY(log.contains(QLatin1String("Synchronization started -------")));
        QVERIFY(log.contains(QLatin1String("UIN 1 parsed. Src=3 Dst=2 Merged=3 Diff=1 Marked=1")));
        QVERIFY(log.contains(QLatin1String("UIN 2 parsed. Src=2 Dst=2 Merged=2 Diff=0 Marked=0")));
        qunsetenv("XDG_DATA_HOME");
    }

    void twoRunsInARow() {
        wf_->OwnNick = "me";
        WriteHistory(S("1_1.zmt"), 1, "1", "a", kABC);
        WriteHistory(D("1_1.zmt"), 1, "1", "a", kAB);
        WriteHistory(S("1_3.zmt"), 1, "3", "c", kAB);
        ui_->FileVersions = {1};
        analyse();
        ui_->Confirms = {true, true};
        QVERIFY(wf_->Sync());
        QVERIFY(ui_->Infos.last().contains(QLatin1String("Files updated: 1\r\nFiles created: 1")));
        // Without a new analysis: contact 1 is equal now, and contact 3 is merged with the
        // file the first run made for it, so nothing is written again.
        const QByteArray created = Bytes(D("1_3.zmt"));
        QVERIFY(wf_->Sync());
        QVERIFY(ui_->Infos.last().contains(QLatin1String("Files updated: 0\r\nFiles created: 0")));
        QCOMPARE(Bytes(D("1_3.zmt")), created);
        QCOMPARE(Load(D("1_3.zmt")).Count(), 2);
        QVERIFY(wf_->State.Analysed);
    }

    // A binary text ending in a line break is stored without it in a plain-text history;
    // once synchronized, the contact is equal and further runs add nothing.
    void lineBreakAtTheEndIntoPlainText() {
        wf_->OwnNick = "me";
        WriteHistory(S("Varyon_4.zmt"), 2, "4", "d",
                     {{1, false, "hello\r\n"}, {2, true, "two lines\r\nhere\r\n\r\n"}});
        WriteHistory(D("4.txt"), 0, "4", "d", {{1, false, "hello"}});
        analyse();
        QCOMPARE(Find("4")->DiffCount, 1);
        ui_->Confirms = {true};
        QVERIFY(wf_->Sync());
        QCOMPARE(Load(D("4.txt")).Count(), 2);
        analyse();
        QCOMPARE(Find("4")->DiffCount, 0);
        QVERIFY(!Find("4")->Marked);
        const QByteArray written = Bytes(D("4.txt"));
        // Checked by hand, the equal contact is written unchanged.
        for (TZMTHead& e : wf_->HeadList.Items) {
            e.Checked = true;
        }
        ui_->Confirms = {true};
        QVERIFY(wf_->Sync());
        QCOMPARE(Bytes(D("4.txt")), written);
    }

    void errorInTheMiddleOfARun() {
        wf_->OwnNick = "me";
        WriteHistory(S("1_1.zmt"), 1, "1", "a", kABC);
        WriteHistory(D("1_1.zmt"), 1, "1", "a", kAB);
        WriteHistory(S("1_2.zmt"), 1, "2", "b", kAB);
        WriteHistory(S("1_3.zmt"), 1, "3", "c", kAB);
        QVERIFY(QDir().mkpath(D("2.txt"))); // a folder where contact b's new file goes
        ui_->FileVersions = {0};
        analyse();
        ui_->Confirms = {true};
        // A failure that concerns one contact's file ends that contact, not the run.
        QVERIFY(wf_->Sync());
        QCOMPARE(Load(D("1_1.zmt")).Count(), 3); // a, before the failure, is written
        QVERIFY(QFileInfo(D("2.txt")).isDir());  // b is left alone
        QCOMPARE(Load(D("3.txt")).Count(), 2);   // c, after it, is written too
        QCOMPARE(wf_->LastSyncSkipped, 1);
        QCOMPARE(ui_->BusyDepth, 0);
        const QString report = ui_->Infos.last();
        QVERIFY(report.contains(QLatin1String("Files updated: 1\r\nFiles created: 1")));
        QVERIFY(report.contains(QLatin1String("Files skipped: 1")));
        QVERIFY(report.contains(QLatin1String("2.txt")));
    }

    void damagedDestinationIsLeftAlone_data() {
        QTest::addColumn<int>("damage");
        QTest::newRow("record cut off") << 0;
        QTest::newRow("bad header") << 1;
        QTest::newRow("unsupported version") << 2;
    }
    void damagedDestinationIsLeftAlone() {
        QFETCH(int, damage);
        wf_->OwnNick = "me";
        WriteHistory(S("1_1.zmt"), 1, "1", "a", kABC);
        WriteHistory(D("1_1.zmt"), 1, "1", "a", kABC);
        QByteArray bytes = Bytes(D("1_1.zmt"));
        if (damage == 0) {
            bytes.chop(2);
        } else if (damage == 1) {
            bytes[0] = 'X';
        } else {
            bytes[3] = 4;
        }
        test::writeAll(D("1_1.zmt"), bytes);
        WriteHistory(S("1_2.zmt"), 1, "2", "b", kABC);
        WriteHistory(D("1_2.zmt"), 1, "2", "b", kAB);
        analyse();
        QVERIFY(Find("1")->Checked);
        ui_->Confirms = {true};
        QVERIFY(wf_->Sync());
        QCOMPARE(Bytes(D("1_1.zmt")), bytes);
        QCOMPARE(Load(D("1_2.zmt")).Count(), 3);
        QVERIFY(ui_->Infos.last().startsWith(
            QStringLiteral("Synchronization finished.\r\nFiles updated: 1\r\nFiles "
                           "created: 0\r\nFiles skipped: 1\r\nSkipped: Destination file 1_1.zmt "
                           "is damaged; contact 1 skipped: ")));
        QVERIFY(logText().contains(
            QLatin1String("Destination file 1_1.zmt is damaged; contact 1 skipped")));
    }

    void unreadArchivesAreNotSplitAway() {
        Setup().UseVaryonArchives = true;
        wf_->OwnNick = "me";
        WriteHistory(S("Varyon_1.zmt"), 2, "1", "a", kABC);
        QVERIFY(QDir().mkpath(D("Archive")));
        WriteHistory(D("Varyon_1.zmt"), 2, "1", "a", {{3, false, "bye"}});
        WriteHistory(D("Archive/Varyon_1_1.ahf"), 2, "1", "a", {{1, false, "hello"}});
        // Archive 2 is missing, archive 3 is there: it would never be read.
        WriteHistory(D("Archive/Varyon_1_3.ahf"), 2, "1", "a", {{0, false, "old"}});
        WriteHistory(S("Varyon_2.zmt"), 2, "2", "b", kABC);
        WriteHistory(D("Varyon_2.zmt"), 2, "2", "b", kAB);
        analyse();
        QVERIFY(wf_->State.DstVaryon && wf_->State.DstArchiveExists);
        ui_->Confirms = {true};
        QVERIFY(wf_->Sync());
        QVERIFY(QFileInfo::exists(D("Archive/Varyon_1_3.ahf")));
        QVERIFY(QFileInfo::exists(D("Archive/Varyon_1_1.ahf")));
        QCOMPARE(Load(D("Varyon_1.zmt")).Count(), 1);
        QCOMPARE(Load(D("Varyon_2.zmt")).Count(), 3);
        QVERIFY(ui_->Infos.last().contains(QLatin1String("Files skipped: 1")));
    }

    // A contact without history file in the destination may still have archive files
    // there; the split of its new file must keep their messages.
    void archivesWithoutHistoryFileAreKept() {
        Setup().UseVaryonArchives = true;
        Setup().BackupToRecycleBin = false;
        WriteHistory(S("Varyon_5.zmt"), 2, "5", "e", kABC);
        WriteHistory(S("Varyon_6.zmt"), 2, "6", "f", kAB);
        WriteHistory(D("Varyon_6.zmt"), 2, "6", "f", kAB);
        QVERIFY(QDir().mkpath(D("Archive")));
        WriteHistory(D("Archive/Varyon_5_1.ahf"), 2, "5", "e", {{0, false, "older"}});
        analyse();
        QVERIFY(wf_->State.SrcVaryon && wf_->State.DstVaryon && wf_->State.DstArchiveExists);
        QVERIFY(Find("5")->DstFile.isEmpty());
        ui_->FileVersions = {2};
        ui_->Confirms = {true};
        QVERIFY(wf_->Sync());
        TZMTMessList written;
        written.FileName = D("Varyon_5.zmt");
        LoadHistory(written, LoadPlain, true, test::ReadOptions());
        QVERIFY(written.Valid);
        QCOMPARE(written.Count(), 4);
        QCOMPARE(written[0].Text.str(), std::string("older"));
    }

    // Archive mode splits binary histories only: a plain-text history split into archive
    // files would keep just its newest part readable.
    void plainTextHistoryIsNotSplit() {
        Setup().UseVaryonArchives = true;
        Setup().NewArchiveSize = 1; // KBytes: a few messages per part
        wf_->OwnNick = "me";
        QVERIFY(QDir().mkpath(D("Archive")));
        std::vector<Msg> many;
        static const std::string text(200, 'x');
        for (int i = 0; i < 40; ++i) {
            many.push_back({i, i % 2 == 0, text.c_str()});
        }
        WriteHistory(S("1_1.zmt"), 1, "1", "a", many);
        WriteHistory(D("1.txt"), 0, "1", "a", {{0, true, text.c_str()}});
        WriteHistory(S("1_2.zmt"), 1, "2", "b", many);
        WriteHistory(D("Varyon_2.zmt"), 2, "2", "b", {{0, true, text.c_str()}});
        analyse();
        QVERIFY(wf_->State.DstVaryon && wf_->State.DstArchiveExists);
        QCOMPARE(Find("1")->DstFile, QStringLiteral("1.txt"));
        ui_->Confirms = {true};
        QVERIFY(wf_->Sync());
        QCOMPARE(Load(D("1.txt")).Count(), 40);
        QVERIFY(!QFileInfo::exists(D("Archive/1_1.ahf")));
        // The binary history is split as before and loses nothing.
        QVERIFY(QFileInfo::exists(D("Archive/Varyon_2_1.ahf")));
        TZMTMessList withArchives;
        withArchives.FileName = D("Varyon_2.zmt");
        LoadHistory(withArchives, LoadPlain, true, test::ReadOptions());
        QVERIFY(withArchives.Valid && withArchives.ArchivesComplete);
        QCOMPARE(withArchives.Count(), 40);
    }

    void sortedDifferentFirstThenByNick() {
        WriteHistory(S("1_1.zmt"), 1, "1", "bob", kAB);
        WriteHistory(D("1_1.zmt"), 1, "1", "bob", kAB);
        WriteHistory(S("1_2.zmt"), 1, "2", "Carl", kABC);
        WriteHistory(D("1_2.zmt"), 1, "2", "Carl", kAB);
        WriteHistory(S("1_3.zmt"), 1, "3", "alice", kAB);
        WriteHistory(D("1_3.zmt"), 1, "3", "alice", kAB);
        WriteHistory(S("1_4.zmt"), 1, "4", "ann", kABC);
        WriteHistory(D("1_4.zmt"), 1, "4", "ann", kAB);
        test::writeAll(S("1_9.zmt"), "garbage");
        analyse();
        QStringList order;
        for (const TZMTHead& e : wf_->HeadList.Items) {
            order << QString::fromStdString(e.UIN) + (e.Checked ? QStringLiteral("+") : QString());
        }
        // Marked first (the unreadable one among them, unchecked), then by nick.
        QCOMPARE(order, (QStringList{QStringLiteral(""), QStringLiteral("4+"), QStringLiteral("2+"),
                                     QStringLiteral("3"), QStringLiteral("1")}));
        const TZMTHead& bad = wf_->HeadList[0];
        QVERIFY(!bad.Valid && bad.Marked && bad.DstFile.isEmpty() && bad.SrcCount == 0);
        QCOMPARE(Find("4")->DiffCount, 1);
        QCOMPARE(Find("4")->SrcCount, 3);
    }

    void resetAllAndRecentPaths() {
        WriteHistory(S("1_1.zmt"), 1, "1", "bob", kABC);
        analyse();
        // The window is told the paths, without trailing separators, for its lists.
        QCOMPARE(ui_->PathsUsed, QStringList{src_ + QLatin1Char('|') + dst_});
        ui_->Nicks = {QStringLiteral("x")};
        wf_->EditNick();
        wf_->ResetAll();
        QVERIFY(!wf_->State.Analysed && !wf_->State.NickEdited);
        QVERIFY(wf_->HeadList.IsEmpty());
        QCOMPARE(wf_->OwnNick, std::string(LangText::NickUnset));
        QCOMPARE(ui_->ViewClears, 1);
        wf_->ResetAll(); // disabled with an empty list
        QCOMPARE(ui_->ViewClears, 1);
    }

    // The window processes events during the analysis; a second Analyse (or another
    // long command) clicked then must not run inside the first one.
    void noCommandInsideAnalysis() {
        struct Reentering : ScriptedUi {
            TWorkflow* wf = nullptr;
            int inner = 0;
            void processEvents() override {
                if (inner++ == 0) {
                    wf->Analyse();
                    wf->LookForSpam();
                }
            }
        } ui;
        TWorkflow wf(ui);
        wf.OptionsSource = [] { return WorkflowOptions(Setup()); };
        ui.wf = &wf;
        wf.MonitorEnabled = false;
        wf.SrcPathEditChange(src_);
        wf.DstPathEditChange(dst_);
        WriteHistory(S("1_1.zmt"), 1, "1", "a", kABC);
        WriteHistory(S("1_2.zmt"), 1, "2", "b", kAB);
        ui.FileVersions = {1};
        wf.Analyse();
        QVERIFY(wf.State.Analysed);
        QCOMPARE(wf.HeadList.Count(), 2);
        QCOMPARE(ui.Beeps, 2);
        QCOMPARE(ui.FileVersionQuestions, 1);
    }

    void busyViewsRefuseCommands() {
        WriteHistory(S("1_1.zmt"), 1, "1", "bob", kABC);
        wf_->State.ViewsBusy = true;
        wf_->Analyse();
        QVERIFY(!wf_->State.Analysed);
        QCOMPARE(ui_->Beeps, 1);
        QVERIFY(!wf_->Sync());
        QVERIFY(!wf_->LookForSpam());
        QCOMPARE(ui_->Beeps, 3);
    }
    // The options are values: two analyses with other settings running at once in one
    // process each give what they give alone.
    void twoAnalysesWithOtherSettingsAtOnce() {
        // Version 1 sources (their times depend on the PDA offset), plain-text
        // destinations that differ in blanks and line breaks, a text in the code page.
        for (int c = 1; c <= 30; ++c) {
            const std::string uin = std::to_string(1000 + c);
            WriteHistory(S(QStringLiteral("1_%1.zmt").arg(1000 + c)), 1, uin, "n" + uin,
                         {{1, false, "hello  world"}, {2, true, "Привет"}, {3, false, "x"}});
            WriteHistory(D(QStringLiteral("%1.txt").arg(1000 + c)), 0, uin, "n" + uin,
                         {{1, false, "hello world"}, {2, true, "Привет"}, {c % 4, false, "x"}});
        }
        const auto settings = [](bool first) {
            TWorkflowOptions o = WorkflowOptions(Setup());
            o.Merge.MessMergeMode = first ? 1 : 0;
            o.Merge.MergeIgnoreSpaces = first;
            o.Read.CodePage = first ? QString() : QStringLiteral("windows-1251");
            o.Read.PdaOffset = first ? 0.0 : 3.0 / 24;
            return o;
        };
        struct Outcome {
            QStringList lines;
            QStringList log;
        };
        const auto analyse = [&](bool first) {
            ScriptedUi ui;
            ui.FileVersions = {0};
            TWorkflow wf(ui);
            wf.Options = settings(first);
            wf.MonitorEnabled = false;
            wf.SrcPathEditChange(src_);
            wf.DstPathEditChange(dst_);
            Outcome out;
            TLogCollector log;
            wf.Analyse();
            for (const TZMTHead& e : wf.HeadList.Items) {
                out.lines << ContactLineText(e) + QLatin1Char(e.Marked ? '+' : '-');
            }
            out.log = log.Take();
            return out;
        };
        const Outcome aloneA = analyse(true);
        const Outcome aloneB = analyse(false);
        QCOMPARE(aloneA.lines.size(), 30);
        QVERIFY(aloneA.lines != aloneB.lines); // the settings decide the results
        for (int round = 0; round < 3; ++round) {
            Outcome a;
            Outcome b;
            std::thread other([&] { b = analyse(false); });
            a = analyse(true);
            other.join();
            QCOMPARE(a.lines, aloneA.lines);
            QCOMPARE(b.lines, aloneB.lines);
            QCOMPARE(a.log, aloneA.log);
            QCOMPARE(b.log, aloneB.log);
        }
    }
};

QTEST_GUILESS_MAIN(TestWorkflow)
#include "tst_workflow.moc"
