#include "common/TestOptions.h"
#include "common/TestUtil.h"
#include "config/Setup.h"
#include "history/BinaryFormat.h"
#include "history/History.h"
#include "support/Errors.h"
#include "support/LogFile.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <chrono>
#include <cstring>
#include <future>
#include <map>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vimosync;
using namespace vimosync::test;

namespace {

// Messages one minute apart whose stored texts have textLen bytes (133-byte records in
// version 2 for 100 bytes).
TZMTMessList makeList(int count, int textLen, int version = 2, int first = 0) {
    TZMTMessList list;
    list.UIN = "12345";
    list.ContactNick = "Bob";
    list.Version = static_cast<std::uint8_t>(version);
    list.Scrambled = version >= 2 ? 1 : 0;
    for (int i = 0; i < count; ++i) {
        TZMTMess& m = NewMessage(list);
        m.Time = 39000.0 + (first + i) / 1440.0;
        m.Outgoing = i % 3 == 0;
        std::string text = "#" + std::to_string(first + i) + " ";
        text.resize(static_cast<std::size_t>(textLen), 'x');
        m.Text = text;
    }
    return list;
}

int firstNumber(const TZMTMessList& list) {
    return std::stoi(list[0].Text.str().substr(1));
}

TZMTMessList load(const QString& path, bool archives = false) {
    TZMTMessList list;
    list.FileName = path;
    LoadHistory(list, LoadContactNick, archives, test::ReadOptions());
    return list;
}

void writeList(TZMTMessList list, const QString& path) {
    list.FileName = path;
    writeAll(path, QByteArray::fromStdString(BuildBinaryFile(list, test::ReadOptions())));
}

// Every file under the folder with its bytes, hidden ones included; the trash is left out.
std::map<QString, QByteArray> snapshot(const QString& root, const QString& skip) {
    std::map<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString p = it.next();
        if (!p.startsWith(skip)) {
            files[p] = readAll(p);
        }
    }
    return files;
}

// The save seam: fails the given step for targets whose name ends in `suffix`.
SaveStep gFailStep = SaveStep::WriteTemp;
QString gFailSuffix;
bool failWhere(SaveStep step, const QString& target) {
    return step == gFailStep && target.endsWith(gFailSuffix);
}

} // namespace

class TestHistoryFiles : public QObject {
    Q_OBJECT

    QTemporaryDir root_;
    QString dir_;      // the history directory
    QString trashDir_; // XDG data folder holding the trash, beside it on the same device
    QString file_;

private slots:
    void initTestCase() {
        trashDir_ = root_.filePath(QStringLiteral("xdg"));
        QDir().mkpath(trashDir_);
        qputenv("XDG_DATA_HOME", trashDir_.toLocal8Bit());
    }

    void init() {
        Setup() = TSettings{};
        Setup().BackupToRecycleBin = false;
        HistorySaveHooks().fail = nullptr;
        dir_ = root_.filePath(QStringLiteral("h%1").arg(QRandomGenerator::global()->generate()));
        QVERIFY(QDir().mkpath(dir_ + QStringLiteral("/Archive")));
        file_ = dir_ + QStringLiteral("/Varyon_12345.zmt");
    }

    void cleanup() { HistorySaveHooks().fail = nullptr; }

    void archiveNames() {
        QCOMPARE(ArchiveName(QStringLiteral("/h/Varyon_12345.zmt"), Setup().ArchiveFolderName, 1),
                 QStringLiteral("/h/Archive/Varyon_12345_1.ahf"));
        Setup().ArchiveFolderName = QStringLiteral("Old");
        QCOMPARE(ArchiveFolder(QStringLiteral("/h/a.b.zmt"), Setup().ArchiveFolderName),
                 QStringLiteral("/h/Old"));
        QCOMPARE(ArchiveName(QStringLiteral("/h/a.b.zmt"), Setup().ArchiveFolderName, 12),
                 QStringLiteral("/h/Old/a.b_12.ahf"));
    }

    // 133-byte records with NewArchiveSize 300: a part takes 2310 records.
    void splitIntoArchiveParts_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("parts");
        QTest::newRow("5000 messages") << 5000 << QList<int>{2310, 2310, 380};
        QTest::newRow("1000 messages") << 1000 << QList<int>{1000};
        QTest::newRow("exactly two parts") << 4620 << QList<int>{2310, 2310};
        QTest::newRow("empty list") << 0 << QList<int>{0};
    }
    void splitIntoArchiveParts() {
        QFETCH(int, count);
        QFETCH(QList<int>, parts);
        // Old archives, more than the new history needs: all go.
        for (int n = 1; n <= 4; ++n) {
            writeList(makeList(3, 10, 2, 100000 * n),
                      ArchiveName(file_, Setup().ArchiveFolderName, n));
        }
        writeAll(dir_ + QStringLiteral("/Archive/VARYON_12345_old.AHF"), "junk");
        TZMTMessList list = makeList(count, 100);
        list.FileName = file_;
        bool backedUp = true;
        SaveHistory(list, backedUp, true, test::ReadOptions(), test::SaveOptions());
        QVERIFY(!backedUp);

        int next = 0;
        for (int n = 1; n <= parts.size(); ++n) {
            const bool last = n == parts.size();
            const QString name = last ? file_ : ArchiveName(file_, Setup().ArchiveFolderName, n);
            const TZMTMessList part = load(name);
            QVERIFY2(part.Valid, qPrintable(name));
            QCOMPARE(part.Count(), parts[n - 1]);
            if (part.Count()) {
                QCOMPARE(firstNumber(part), next);
            }
            next += part.Count();
            if (!last) {
                QVERIFY(QFileInfo(name).size() > 300 * 1024);
                QVERIFY(QFileInfo(name).size() - 133 <= 300 * 1024);
            }
        }
        QCOMPARE(QDir(dir_ + QStringLiteral("/Archive")).entryList(QDir::Files).size(),
                 parts.size() - 1);
        const TZMTMessList all = load(file_, true);
        QVERIFY(all.Valid);
        QVERIFY(all.ArchivesComplete);
        QCOMPARE(all.Count(), count);
        for (int i = 0; i < count; i += 97) {
            QCOMPARE(all[i].Text, list[i].Text);
            QCOMPARE(all[i].Time, list[i].Time);
        }
    }

    void archivesAreReadUpToTheFirstMissingNumber() {
        writeList(makeList(2, 10, 2, 0), ArchiveName(file_, Setup().ArchiveFolderName, 1));
        writeList(makeList(2, 10, 2, 2), ArchiveName(file_, Setup().ArchiveFolderName, 2));
        writeList(makeList(2, 10, 2, 4), file_);
        TZMTMessList list = load(file_, true);
        QCOMPARE(list.Count(), 6);
        QVERIFY(list.ArchivesComplete);
        // Incoming archive messages carry the contact's nick as the file's own do.
        TZMTMessList withNick;
        withNick.FileName = file_;
        withNick.ContactNick = "Bob";
        LoadHistory(withNick, LoadPlain, true, test::ReadOptions());
        QCOMPARE(withNick[1].Nick.str(), std::string("Bob"));

        writeList(makeList(2, 10, 2, 100), ArchiveName(file_, Setup().ArchiveFolderName, 4));
        list = load(file_, true);
        QCOMPARE(list.Count(), 6);
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(std::stoi(list[i].Text.str().substr(1)), i);
        }
        QVERIFY(!list.ArchivesComplete);
        QVERIFY(list.Valid);
    }

    void invalidArchiveStopsTheArchiveReading() {
        writeList(makeList(2, 10, 2, 0), ArchiveName(file_, Setup().ArchiveFolderName, 1));
        writeAll(ArchiveName(file_, Setup().ArchiveFolderName, 2), "ZMT\x04 not a history file");
        writeList(makeList(2, 10, 2, 50), ArchiveName(file_, Setup().ArchiveFolderName, 3));
        writeList(makeList(3, 10, 2, 10), file_);
        const TZMTMessList list = load(file_, true);
        QVERIFY(list.Valid);
        QVERIFY(!list.ArchivesComplete);
        QCOMPARE(list.Count(), 5);
        QCOMPARE(firstNumber(list), 0);
        QCOMPARE(std::stoi(list[2].Text.str().substr(1)), 10);
    }

    void missingHistoryFileKeepsTheArchiveMessages() {
        writeList(makeList(2, 10, 2, 0), ArchiveName(file_, Setup().ArchiveFolderName, 1));
        const TZMTMessList list = load(file_, true);
        QVERIFY(!list.Valid);
        QCOMPARE(list.Count(), 2);
        // A plain-text history drops them: its reader empties the list.
        const QString txt = dir_ + QStringLiteral("/12345.txt");
        writeList(makeList(2, 10, 2, 0), ArchiveName(txt, Setup().ArchiveFolderName, 1));
        writeAll(txt,
                 "--------------------------------------<-\r\nBob (12:34:56 1/02/2007)\r\nhi\r\n");
        QCOMPARE(load(txt, true).Count(), 1);
    }

    void emptyFileNameIsRefused() {
        TZMTMessList list = makeList(1, 5);
        bool backedUp = true;
        try {
            SaveHistory(list, backedUp, false, test::ReadOptions(), test::SaveOptions());
            QFAIL("no error");
        } catch (const Exception& e) {
            QCOMPARE(e.message(), QStringLiteral("Trying to save file with empty filename"));
        }
        QCOMPARE(QDir(dir_).entryList(QDir::Files | QDir::Hidden).size(), 0);
    }

    void unknownVersionWritesNothing() {
        TZMTMessList list = makeList(1, 5, 7);
        list.FileName = file_;
        bool backedUp = true;
        SaveHistory(list, backedUp, false, test::ReadOptions(), test::SaveOptions());
        QVERIFY(!QFileInfo::exists(file_));
        QVERIFY(!backedUp);
        // Nor are old archives removed in split mode.
        writeList(makeList(2, 10), ArchiveName(file_, Setup().ArchiveFolderName, 1));
        SaveHistory(list, backedUp, true, test::ReadOptions(), test::SaveOptions());
        QVERIFY(QFileInfo::exists(ArchiveName(file_, Setup().ArchiveFolderName, 1)));
        QVERIFY(!QFileInfo::exists(file_));
    }

    void overwriteWithoutBackupKeepsPermissions() {
        writeList(makeList(3, 10), file_);
        QFile::setPermissions(file_, QFile::ReadOwner | QFile::WriteOwner);
        TZMTMessList list = makeList(5, 10);
        list.FileName = file_;
        bool backedUp = true;
        SaveHistory(list, backedUp, false, test::ReadOptions(), test::SaveOptions());
        QVERIFY(!backedUp);
        QCOMPARE(load(file_).Count(), 5);
        const auto perms = QFile::permissions(file_);
        QVERIFY(perms & QFile::WriteOwner);
        QVERIFY(!(perms & (QFile::ReadGroup | QFile::ReadOther)));
        QCOMPARE(QDir(dir_).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    // A history kept elsewhere behind a symbolic link stays a link; the file it points
    // to takes the new content, and its old content goes to the trash.
    void symbolicLinkStaysALink() {
        Setup().BackupToRecycleBin = true;
        const QString real = root_.filePath(QStringLiteral("elsewhere/Varyon_12345.zmt"));
        QVERIFY(QDir().mkpath(QFileInfo(real).path()));
        writeList(makeList(3, 10), real);
        const QByteArray old = readAll(real);
        QVERIFY(QFile::link(real, file_));
        TZMTMessList list = makeList(5, 10);
        list.FileName = file_;
        bool backedUp = false;
        SaveHistory(list, backedUp, false, test::ReadOptions(), test::SaveOptions());
        QVERIFY(backedUp);
        QVERIFY(QFileInfo(file_).isSymLink());
        QCOMPARE(load(real).Count(), 5);
        QCOMPARE(QDir(QFileInfo(real).path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
        bool found = false;
        QDirIterator it(trashDir_, {QStringLiteral("Varyon_12345*")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext() && !found) {
            found = readAll(it.next()) == old;
        }
        QVERIFY(found);
    }

    void replacedFilesGoToTheTrash() {
        Setup().BackupToRecycleBin = true;
        writeList(makeList(3, 10), file_);
        const QByteArray old = readAll(file_);
        TZMTMessList list = makeList(5, 10);
        list.FileName = file_;
        bool backedUp = false;
        SaveHistory(list, backedUp, false, test::ReadOptions(), test::SaveOptions());
        QVERIFY(backedUp);
        QCOMPARE(load(file_).Count(), 5);
        QStringList trashed;
        QDirIterator it(trashDir_, {QStringLiteral("Varyon_12345*.zmt")}, QDir::Files,
                        QDirIterator::Subdirectories);
        bool found = false;
        while (it.hasNext() && !found) {
            found = readAll(it.next()) == old;
        }
        QVERIFY(found);
        // The safety links beside the file are gone.
        QCOMPARE(QDir(dir_).entryList(QDir::Files | QDir::Hidden).size(), 1);

        // Split mode: the old archives go to the trash too.
        writeList(makeList(2, 10, 2, 900), ArchiveName(file_, Setup().ArchiveFolderName, 1));
        list = makeList(3000, 100);
        list.FileName = file_;
        backedUp = false;
        SaveHistory(list, backedUp, true, test::ReadOptions(), test::SaveOptions());
        QVERIFY(backedUp);
        QCOMPARE(load(file_, true).Count(), 3000);
    }

    // A process killed in the middle of a save must find every history where it was:
    // each time a new file is about to take its name, the history file and every old
    // archive still stand, with old or new content.
    void historyNeverMissingWhileReplaced_data() {
        QTest::addColumn<bool>("split");
        QTest::addColumn<bool>("backup");
        for (const bool split : {false, true}) {
            for (const bool backup : {false, true}) {
                QTest::addRow("%s, trash %s", split ? "split" : "whole", backup ? "on" : "off")
                    << split << backup;
            }
        }
    }
    void historyNeverMissingWhileReplaced() {
        QFETCH(bool, split);
        QFETCH(bool, backup);
        Setup().BackupToRecycleBin = backup;
        writeList(makeList(40, 10, 2, 0), ArchiveName(file_, Setup().ArchiveFolderName, 1));
        writeList(makeList(40, 10, 2, 40), ArchiveName(file_, Setup().ArchiveFolderName, 2));
        writeList(makeList(40, 10, 2, 80), file_);
        static QStringList mustStand;
        static QStringList missing;
        mustStand = {file_, ArchiveName(file_, Setup().ArchiveFolderName, 1),
                     ArchiveName(file_, Setup().ArchiveFolderName, 2)};
        missing.clear();
        HistorySaveHooks().fail = [](SaveStep step, const QString&) {
            if (step == SaveStep::Replace) {
                for (const QString& p : mustStand) {
                    if (!QFileInfo::exists(p)) {
                        missing << p;
                    }
                }
            }
            return false;
        };
        TZMTMessList list = makeList(3000, 100);
        list.FileName = file_;
        bool backedUp = false;
        SaveHistory(list, backedUp, split, test::ReadOptions(), test::SaveOptions());
        QCOMPARE(missing, QStringList());
        QCOMPARE(backedUp, backup);
        QCOMPARE(load(file_, true).Count(), split ? 3000 : 3000 + 80);
        // Only the histories are left: no temporary files, links or staging folders.
        QCOMPARE(QDir(dir_).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 (QStringList{QStringLiteral("Archive"), QStringLiteral("Varyon_12345.zmt")}));
        if (backup) {
            // The replaced history reached the trash under its own name and folder.
            const QString info = trashDir_ + QStringLiteral("/Trash/info/");
            bool found = false;
            // A name already in the trash gets a number: "Varyon_12345.zmt-0001".
            QDirIterator it(info, {QStringLiteral("Varyon_12345.zmt*.trashinfo")}, QDir::Files);
            while (it.hasNext() && !found) {
                found = readAll(it.next()).contains("Path=" + QUrl::toPercentEncoding(file_, "/") +
                                                    "\n");
            }
            QVERIFY(found);
        }
    }

    // What a killed save leaves beside the histories (new contents, old ones kept, the
    // record of their names) is cleared by the next run, and so is a backup that an
    // earlier version left on its way to the trash; what may be the only copy goes to the
    // trash, never away, and a user's own hidden files stay, whatever they look like.
    void interruptedSavesAreTidied() {
        Setup().BackupToRecycleBin = true;
        writeList(makeList(3, 10), file_);
        const QByteArray current = readAll(file_);
        const QString stage = dir_ + QStringLiteral("/.vimosync-backup-x1");
        QVERIFY(QDir().mkpath(stage));
        writeAll(stage + QStringLiteral("/Varyon_888.zmt"), "on its way");
        writeAll(dir_ + QStringLiteral("/.Varyon_12345.zmt.tmp-a1"), "a user's draft");
        writeAll(dir_ + QStringLiteral("/.Varyon_12345.zmt.keep-b3"), "a user's copy");
        const pid_t pid = ::fork();
        if (pid == 0) {
            // Killed right before the new file takes its name.
            HistorySaveHooks().fail = [](SaveStep step, const QString&) {
                if (step == SaveStep::Replace) {
                    ::_exit(0);
                }
                return false;
            };
            TZMTMessList list = makeList(5, 10);
            list.FileName = file_;
            bool backedUp = false;
            SaveHistory(list, backedUp, false, test::ReadOptions(), test::SaveOptions());
            ::_exit(3);
        }
        int status = 0;
        QCOMPARE(::waitpid(pid, &status, 0), pid);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        QCOMPARE(readAll(file_), current);

        // The new content goes to the trash, the second link of the history away.
        QCOMPARE(TidyInterruptedSaves(dir_), 3);
        QCOMPARE(readAll(file_), current);
        QCOMPARE(QDir(dir_).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 (QStringList{QStringLiteral(".Varyon_12345.zmt.keep-b3"),
                              QStringLiteral(".Varyon_12345.zmt.tmp-a1"), QStringLiteral("Archive"),
                              QStringLiteral("Varyon_12345.zmt")}));
        QCOMPARE(readAll(dir_ + QStringLiteral("/.Varyon_12345.zmt.tmp-a1")), "a user's draft");
        QStringList trashed;
        QDirIterator it(trashDir_ + QStringLiteral("/Trash/files"), QDir::Files);
        while (it.hasNext()) {
            trashed << QString::fromUtf8(readAll(it.next()));
        }
        QVERIFY(trashed.contains(QStringLiteral("on its way")));
        QCOMPARE(TidyInterruptedSaves(dir_), 0);
    }

    // A backup that the trash cannot take is logged with the file and the reason and
    // counts as none; the new content takes its name all the same.
    void failedBackupIsLoggedAndNotCounted() {
        Setup().BackupToRecycleBin = true;
        const QString broken = root_.filePath(QStringLiteral("broken-xdg"));
        QVERIFY(QDir().mkpath(broken + QStringLiteral("/Trash/files")));
        writeAll(broken + QStringLiteral("/Trash/info"), "a file where a folder should be");
        qputenv("XDG_DATA_HOME", broken.toLocal8Bit());
        const QString log = root_.filePath(QStringLiteral("backup.log"));
        QVERIFY(OpenLog(log));
        const auto restore = qScopeGuard([this] {
            CloseLog();
            qputenv("XDG_DATA_HOME", trashDir_.toLocal8Bit());
        });
        writeList(makeList(3, 10), file_);
        TZMTMessList list = makeList(5, 10);
        list.FileName = file_;
        bool backedUp = true;
        auto saving = std::async(std::launch::async, [&] {
            SaveHistory(list, backedUp, false, test::ReadOptions(), test::SaveOptions());
        });
        if (saving.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            qFatal("the save still runs after 20 seconds");
        }
        saving.get();
        QVERIFY(!backedUp);
        QCOMPARE(load(file_).Count(), 5);
        const QString logged = QString::fromUtf8(readAll(log));
        QVERIFY2(
            logged.contains(QStringLiteral("Error while backuping file \"Varyon_12345.zmt\"")) &&
                logged.contains(file_) &&
                logged.contains(QString::fromLocal8Bit(std::strerror(ENOTDIR))),
            qPrintable(logged));
        QCOMPARE(QDir(dir_).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 (QStringList{QStringLiteral("Archive"), QStringLiteral("Varyon_12345.zmt")}));
    }

    // After every failure the error reaches the caller and each file is as it was.
    void failedSavesLeaveTheOldFiles_data() {
        QTest::addColumn<bool>("split");
        QTest::addColumn<bool>("backup");
        QTest::addColumn<QString>("how");
        for (const bool backup : {false, true}) {
            const char* b = backup ? " (trash on)" : " (trash off)";
            QTest::addRow("folder where the file goes%s", b) << false << backup << "folder";
            QTest::addRow("writer fails%s", b) << false << backup << "write:.zmt";
            QTest::addRow("replace fails%s", b) << false << backup << "replace:.zmt";
            QTest::addRow("text too long%s", b) << false << backup << "long";
            QTest::addRow("split: archive folder missing%s", b) << true << backup << "nofolder";
            QTest::addRow("split: second part fails%s", b) << true << backup << "write:_2.ahf";
            QTest::addRow("split: last replace fails%s", b) << true << backup << "replace:.zmt";
            QTest::addRow("split: first replace fails%s", b) << true << backup << "replace:_1.ahf";
            QTest::addRow("split: text too long%s", b) << true << backup << "long";
        }
    }
    void failedSavesLeaveTheOldFiles() {
        QFETCH(bool, split);
        QFETCH(bool, backup);
        QFETCH(QString, how);
        Setup().BackupToRecycleBin = backup;
        writeList(makeList(40, 10, 2, 0), ArchiveName(file_, Setup().ArchiveFolderName, 1));
        writeList(makeList(40, 10, 2, 40), ArchiveName(file_, Setup().ArchiveFolderName, 2));
        writeList(makeList(40, 10, 2, 80), ArchiveName(file_, Setup().ArchiveFolderName, 3));
        writeList(makeList(40, 10, 2, 120), file_);
        TZMTMessList list = makeList(5000, 100);
        list.FileName = file_;
        if (how == QLatin1String("folder")) {
            QFile::remove(file_);
            QVERIFY(QDir().mkpath(file_ + QStringLiteral("/inside")));
        } else if (how == QLatin1String("nofolder")) {
            QVERIFY(QDir(dir_ + QStringLiteral("/Archive")).removeRecursively());
        } else if (how == QLatin1String("long")) {
            list[list.Count() - 3].Text = std::string(70000, 'L');
        } else {
            const QStringList parts = how.split(QLatin1Char(':'));
            gFailStep =
                parts[0] == QLatin1String("write") ? SaveStep::WriteTemp : SaveStep::Replace;
            gFailSuffix = parts[1];
            HistorySaveHooks().fail = failWhere;
        }
        const auto before = snapshot(dir_, trashDir_);
        bool backedUp = false;
        QString error;
        try {
            SaveHistory(list, backedUp, split, test::ReadOptions(), test::SaveOptions());
        } catch (const Exception& e) {
            error = e.message();
        }
        QVERIFY(!error.isEmpty());
        if (how == QLatin1String("long")) {
            // The long text falls in the last part, the history file itself.
            QCOMPARE(error, QStringLiteral("Message text too long to store (70000 bytes) in "
                                           "file Varyon_12345.zmt"));
        }
        const auto after = snapshot(dir_, trashDir_);
        for (const auto& [path, bytes] : after) {
            QVERIFY2(before.count(path), qPrintable(path));
        }
        for (const auto& [path, bytes] : before) {
            QVERIFY2(after.count(path) && after.at(path) == bytes, qPrintable(path));
        }
        if (how != QLatin1String("folder") && how != QLatin1String("nofolder")) {
            QCOMPARE(load(file_, true).Count(), 160);
        }
    }
};

QTEST_GUILESS_MAIN(TestHistoryFiles)
#include "tst_historyfiles.moc"
