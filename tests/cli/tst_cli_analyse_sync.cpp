// vimosync-cli analyse and sync, run in-process with their output captured.

#include "cli/Cli.h"
#include "common/HistoryFixtures.h"
#include "config/Setup.h"
#include "support/LangText.h"

#include <QDir>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

using namespace vimosync;
using namespace vimosync::test;

namespace {

struct Run {
    int code = -1;
    QString out;
    QString err;
};

const std::vector<Msg> kAB = {{1, false, "hello"}, {2, true, "hi there"}};
const std::vector<Msg> kABC = {{1, false, "hello"}, {2, true, "hi there"}, {3, false, "bye"}};

} // namespace

class TestCliAnalyseSync : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> tmp_;
    QString src_, dst_, ini_;

    QString S(const QString& n) const { return src_ + QLatin1Char('/') + n; }
    QString D(const QString& n) const { return dst_ + QLatin1Char('/') + n; }

    Run cli(QStringList args, const QString& input = QString(), bool interactive = false,
            bool terminal = false) {
        Run r;
        QString in = input;
        QTextStream out(&r.out), err(&r.err), inStream(&in);
        cli::CliIo io{out, err, inStream, interactive, terminal};
        args.prepend(ini_);
        args.prepend(QStringLiteral("--settings"));
        r.code = cli::RunCli(args, io);
        out.flush();
        err.flush();
        return r;
    }

    // Every file below the destination with its bytes: what "writes nothing" compares.
    QMap<QString, QByteArray> snapshot() const {
        QMap<QString, QByteArray> files;
        QDirIterator it(dst_, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString p = it.next();
            files.insert(p, FileBytes(p));
        }
        return files;
    }

    void writeIni(const QByteArray& extra = {}) {
        QFile f(ini_);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[Settings]\nBackupToRecycleBin=0\nCreateArchivesFolder=1\n" + extra);
    }

private slots:
    void init() {
        tmp_ = std::make_unique<QTemporaryDir>();
        src_ = tmp_->filePath(QStringLiteral("src"));
        dst_ = tmp_->filePath(QStringLiteral("dst"));
        ini_ = tmp_->filePath(QStringLiteral("vimosync.ini"));
        QVERIFY(QDir().mkpath(src_) && QDir().mkpath(dst_));
        writeIni();
        // A handheld's histories against a desktop's text files: needs a nick.
        WriteHistory(S("1_10.zmt"), 1, "10", "Zed", kABC);
        WriteHistory(D("10.txt"), 0, "10", "Zed", kAB);
        WriteHistory(S("1_20.zmt"), 1, "20", "amy", kAB);
        WriteHistory(D("20.txt"), 0, "20", "amy", kAB);
        WriteHistory(S("1_30.zmt"), 1, "30", "Bob", kAB); // no destination file
    }
    void cleanup() { tmp_.reset(); }

    void analyseJson() {
        const Run r = cli({QStringLiteral("analyse"), QStringLiteral("--json"), src_, dst_ + '/'});
        QCOMPARE(r.code, 0);
        const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(o[QStringLiteral("srcVaryon")].toBool(), false);
        QCOMPARE(o[QStringLiteral("dstVaryon")].toBool(), false);
        QCOMPARE(o[QStringLiteral("srcArchiveExists")].toBool(), false);
        QCOMPARE(o[QStringLiteral("dstArchiveExists")].toBool(), false);
        QCOMPARE(o[QStringLiteral("defaultFileVersion")].toInt(), 0);
        QCOMPARE(o[QStringLiteral("ownNick")].toString(), QStringLiteral("me"));
        const QJsonArray c = o[QStringLiteral("contacts")].toArray();
        QCOMPARE(c.size(), 3);
        // Different first (Bob, Zed by nick ignoring case), then the equal one.
        QCOMPARE(c[0][QStringLiteral("uin")].toString(), QStringLiteral("30"));
        QCOMPARE(c[1][QStringLiteral("uin")].toString(), QStringLiteral("10"));
        QCOMPARE(c[2][QStringLiteral("uin")].toString(), QStringLiteral("20"));
        QCOMPARE(c[1][QStringLiteral("nick")].toString(), QStringLiteral("Zed"));
        QCOMPARE(c[1][QStringLiteral("srcFile")].toString(), QStringLiteral("1_10.zmt"));
        QCOMPARE(c[1][QStringLiteral("dstFile")].toString(), QStringLiteral("10.txt"));
        QCOMPARE(c[1][QStringLiteral("diffCount")].toInt(), 1);
        QCOMPARE(c[1][QStringLiteral("srcCount")].toInt(), 3);
        QCOMPARE(c[0][QStringLiteral("dstFile")].toString(), QString());
        QCOMPARE(c[2][QStringLiteral("checked")].toBool(), false);
        QCOMPARE(c[2][QStringLiteral("marked")].toBool(), false);
        QCOMPARE(c[2][QStringLiteral("valid")].toBool(), true);
        QVERIFY(r.err.isEmpty());
    }

    void analyseTextAndWritesNothing() {
        // A version 1 destination is Varyon here: the window would create the archive
        // folder, the command does not.
        QFile::remove(D("10.txt"));
        QFile::remove(D("20.txt"));
        WriteHistory(D("1_10.zmt"), 1, "10", "Zed", kAB);
        const auto before = snapshot();
        const Run r = cli({QStringLiteral("analyse"), src_, dst_});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains(QLatin1String("[x] Zed (10) 1 3  1_10.zmt -> 1_10.zmt")));
        QVERIFY(r.out.contains(QLatin1String("3 checked of 3 (0 hidden)")));
        QCOMPARE(snapshot(), before);
        QCOMPARE(r.err, QString()); // no progress where standard error is no terminal
        // On a terminal the progress goes to standard error on one line, cleared at the end.
        const Run t = cli({QStringLiteral("analyse"), src_, dst_}, QString(), false, true);
        QCOMPARE(t.out, r.out);
        QVERIFY2(t.err.contains(QLatin1String(" of 3\x1b[K")), qPrintable(t.err));
        QVERIFY(t.err.endsWith(QLatin1String("\r\x1b[K")));
        // What is on disk is reported, not the folder the window would have made.
        const Run j = cli({QStringLiteral("analyse"), QStringLiteral("--json"), src_, dst_});
        const QJsonObject o = QJsonDocument::fromJson(j.out.toUtf8()).object();
        QCOMPARE(o[QStringLiteral("dstVaryon")].toBool(), true);
        QCOMPARE(o[QStringLiteral("dstArchiveExists")].toBool(), false);
    }

    // A contact that cannot be written is named on standard error and the exit status
    // says so; the others are written.
    void skippedContactFailsTheExitStatus() {
        WriteHistory(S("1_40.zmt"), 1, "40", "Odd", {{1, false, "a"}, {2, false, "b"}});
        QFile odd(D("40.txt"));
        QVERIFY(odd.open(QIODevice::WriteOnly));
        odd.write("--------------------------------------<-\r\nOdd (not a date)\r\nlost?\r\n");
        odd.close();
        QVERIFY(QFile::remove(D("10.txt")));
        WriteHistory(D("1_10.zmt"), 1, "10", "Zed", kAB);
        const Run r = cli({QStringLiteral("sync"), QStringLiteral("--yes"),
                           QStringLiteral("--default-version"), QStringLiteral("1"),
                           QStringLiteral("--nick"), QStringLiteral("Boss"), src_, dst_});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QLatin1String("40.txt is damaged; contact 40 skipped")),
                 qPrintable(r.err));
        QVERIFY(r.out.contains(QLatin1String("Files skipped: 1")));
        QCOMPARE(LoadFile(D("1_10.zmt")).Count(), 3);
    }

    void refusals_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("no terminal, no --yes") << QStringList{"sync", "SRC", "DST"} << 1
                                               << QString::fromLatin1(LangText::CliSyncNeedsYes);
        QTest::newRow("nick needed") << QStringList{"sync", "--yes", "SRC", "EMPTY"} << 1
                                     << QString::fromLatin1(LangText::CliSyncStopped);
        QTest::newRow("bad version") << QStringList{"sync", "--default-version", "4", "SRC", "DST"}
                                     << 2 << "--default-version";
        QTest::newRow("one directory") << QStringList{"analyse", "SRC"} << 2 << "Usage";
        QTest::newRow("same directory") << QStringList{"analyse", "SRC", "SRC"} << 1 << "";
        QTest::newRow("missing directory")
            << QStringList{"analyse", "SRC", "GONE"} << 1 << "Directory is absent: ";
        QTest::newRow("no histories")
            << QStringList{"analyse", "EMPTY", "DST"} << 1 << "no history files";
    }
    void refusals() {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, message);
        const QString empty = tmp_->filePath(QStringLiteral("empty"));
        QDir().mkpath(empty);
        for (QString& a : args) {
            a.replace(QLatin1String("SRC"), src_)
                .replace(QLatin1String("DST"), dst_)
                .replace(QLatin1String("EMPTY"), empty)
                .replace(QLatin1String("GONE"), tmp_->filePath(QStringLiteral("gone")));
        }
        const auto before = snapshot();
        const Run r = cli(args);
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QCOMPARE(snapshot(), before);
    }

    void dryRunListsAndWritesNothing() {
        const auto before = snapshot();
        const Run r = cli({QStringLiteral("sync"), QStringLiteral("--dry-run"),
                           QStringLiteral("--nick"), QStringLiteral("me"), src_, dst_});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains(QLatin1String("Dry run")));
        QVERIFY(
            r.out.contains(QStringLiteral("would update %1 [TXT (Oskel,plain)] 3 messages, 1 new")
                               .arg(D("10.txt"))));
        QVERIFY(
            r.out.contains(QStringLiteral("would create %1 [TXT (Oskel,plain)] 2 messages, 2 new")
                               .arg(D("30.txt"))));
        QVERIFY(r.out.contains(QLatin1String("Files updated: 1\nFiles created: 1")));
        QCOMPARE(snapshot(), before);
    }

    void syncWrites() {
        const Run r = cli({QStringLiteral("sync"), QStringLiteral("--yes"),
                           QStringLiteral("--default-version"), QStringLiteral("2"),
                           QStringLiteral("--nick"), QStringLiteral("Boss"), src_, dst_});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains(QLatin1String("Synchronization finished.\nFiles updated: 1\n"
                                             "Files created: 1")));
        const TZMTMessList updated = LoadFile(D("10.txt"));
        QCOMPARE(updated.Count(), 3);
        const TZMTMessList created = LoadFile(D("Varyon_30.zmt"));
        QVERIFY(created.Valid);
        QCOMPARE(int(created.Version), 2);
        // A second run finds only the contact that has no file yet by its mask... none:
        // the new file pairs now, so nothing is left to synchronize.
        const Run again = cli({QStringLiteral("sync"), QStringLiteral("--yes"), src_, dst_});
        QCOMPARE(again.code, 0);
        QVERIFY(again.out.contains(QString::fromLatin1(LangText::CliNothingToSync)));
    }

    // Both ways: a contact only the destination has is listed and made in the source, the
    // source gets what it lacks, a second run has nothing to do, and one undo puts both
    // directories back.
    void bothWays() {
        const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", tmp_->filePath(QStringLiteral("data")).toLocal8Bit());
        QFile ini(ini_);
        QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write("[Settings]\nBackupToRecycleBin=1\nCreateArchivesFolder=1\nSyncDirection=0\n");
        ini.close();
        WriteHistory(D("20.txt"), 0, "20", "amy", kABC);
        WriteHistory(D("Varyon_40.zmt"), 2, "40", "Kim", kAB);
        const Run a = cli({QStringLiteral("analyse"), QStringLiteral("--both"), src_, dst_});
        QCOMPARE(a.code, 0);
        QVERIFY2(a.out.contains(QString::fromUtf8("amy (20) +0 → / +1 ← 2  1_20.zmt <-> 20.txt")),
                 qPrintable(a.out));
        QVERIFY2(a.out.contains(QString::fromUtf8("Kim (40) +0 → / +2 ← 0  - <-> Varyon_40.zmt")),
                 qPrintable(a.out));
        const QMap<QString, QByteArray> before = snapshot();
        const QByteArray amyBefore = FileBytes(S("1_20.zmt"));

        const Run r =
            cli({QStringLiteral("sync"), QStringLiteral("--both"), QStringLiteral("--yes"),
                 QStringLiteral("--default-version"), QStringLiteral("2"), QStringLiteral("--nick"),
                 QStringLiteral("Boss"), src_, dst_});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(QLatin1String("Files updated: 1\nFiles created: 1\n"
                                              "Source files updated: 1\nSource files created: 1")),
                 qPrintable(r.out));
        QCOMPARE(LoadFile(S("1_20.zmt")).Count(), 3);
        QCOMPARE(LoadFile(S("Varyon_40.zmt")).Count(), 2);
        QCOMPARE(LoadFile(D("10.txt")).Count(), 3);

        const Run again = cli({QStringLiteral("sync"), QStringLiteral("--both"),
                               QStringLiteral("--yes"), src_, dst_});
        QCOMPARE(again.code, 0);
        QVERIFY2(again.out.contains(QString::fromLatin1(LangText::CliNothingToSync)),
                 qPrintable(again.out));

        const Run undo = cli({QStringLiteral("undo"), QStringLiteral("--yes"), dst_});
        qputenv("XDG_DATA_HOME", dataHome);
        QVERIFY2(undo.code == 0, qPrintable(undo.out + undo.err));
        QCOMPARE(snapshot(), before);
        QCOMPARE(FileBytes(S("1_20.zmt")), amyBefore);
        QVERIFY(!QFileInfo::exists(S("Varyon_40.zmt")));
    }

    void terminalQuestions() {
        const auto before = snapshot();
        // Nick, version (empty: keep 0), then No.
        Run r = cli({QStringLiteral("sync"), src_, dst_}, QStringLiteral("\n\nn\n"), true);
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains(QLatin1String("Really synchronize selected items?")));
        QVERIFY(r.err.contains(QLatin1String("Current Nick is \"me\"")));
        QCOMPARE(snapshot(), before);
        // Version 1, then Yes.
        r = cli({QStringLiteral("sync"), src_, dst_}, QStringLiteral("1\ny\n"), true);
        QCOMPARE(r.code, 0);
        QVERIFY(LoadFile(D("1_30.zmt")).Valid);
    }

    // In Russian the question is asked in Russian, and "д" (for "да") answers yes as "y"
    // does; any other answer is no.
    void terminalQuestionInRussian() {
        QTranslator russian;
        QVERIFY(russian.load(QStringLiteral(":/i18n/vimosync_ru.qm")));
        QCoreApplication::installTranslator(&russian);
        const auto before = snapshot();
        Run r = cli({QStringLiteral("sync"), src_, dst_}, QStringLiteral("\n\nнет\n"), true);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QStringLiteral("[y/N]")), qPrintable(r.err));
        QVERIFY2(!r.err.contains(QLatin1String("Really synchronize")), qPrintable(r.err));
        QCOMPARE(snapshot(), before);
        r = cli({QStringLiteral("sync"), src_, dst_}, QStringLiteral("1\nд\n"), true);
        QCoreApplication::removeTranslator(&russian);
        QCOMPARE(r.code, 0);
        QVERIFY(LoadFile(D("1_30.zmt")).Valid);
    }

    // undo: refuses without --yes and no terminal, asks on one, lists the runs, names an
    // unknown one, puts the destination back, and says so the second time.
    void undoCommand() {
        const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", tmp_->filePath(QStringLiteral("data")).toLocal8Bit());
        {
            QFile f(ini_);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("[Settings]\nBackupToRecycleBin=1\nCreateArchivesFolder=1\n");
        }
        const auto before = snapshot();
        Run r = cli({QStringLiteral("undo"), QStringLiteral("--list"), dst_});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.startsWith(QLatin1String("There is no synchronization of")));
        QCOMPARE(cli({QStringLiteral("sync"), QStringLiteral("--yes"), src_, dst_}).code, 0);
        const auto synced = snapshot();
        QVERIFY(synced != before);

        r = cli({QStringLiteral("undo"), dst_});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains(QLatin1String("add --yes")));
        r = cli({QStringLiteral("undo"), dst_}, QStringLiteral("n\n"), true);
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains(QLatin1String("Undo the synchronization of")));
        QVERIFY(r.err.endsWith(QLatin1String("Undo? [y/N] ")));
        QVERIFY2(r.err.contains(QLatin1String("1 files get their old content back from the "
                                              "trash, 1 files it created go to the trash")),
                 qPrintable(r.err));
        QCOMPARE(snapshot(), synced);

        r = cli({QStringLiteral("undo"), QStringLiteral("--list"), dst_ + QLatin1Char('/')});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.trimmed().endsWith(QLatin1String("2 files  can be undone")),
                 qPrintable(r.out));
        QVERIFY2(QRegularExpression(QStringLiteral(" \\(0 min ago, journal [0-9]+ (bytes|KB)\\)  "))
                     .match(r.out)
                     .hasMatch(),
                 qPrintable(r.out));
        const QString run = r.out.section(QLatin1Char(' '), 0, 0);
        r = cli(
            {QStringLiteral("undo"), QStringLiteral("--yes"), dst_, QStringLiteral("19990101")});
        QCOMPARE(r.code, 1);
        QVERIFY(r.out.contains(QLatin1String("There is no synchronization 19990101")));
        r = cli({QStringLiteral("undo"), QStringLiteral("--yes"), dst_, run});
        QCOMPARE(r.code, 0);
        QVERIFY(
            r.out.contains(QLatin1String("Undo finished: 1 files put back, 1 files taken away.")));
        QCOMPARE(snapshot(), before);
        r = cli({QStringLiteral("undo"), QStringLiteral("--yes"), dst_});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains(QLatin1String("undone already")));
        QVERIFY(cli({QStringLiteral("undo"), QStringLiteral("--list"), dst_})
                    .out.trimmed()
                    .endsWith(QLatin1String("  undone")));

        for (const QStringList& bad :
             {QStringList{QStringLiteral("undo")},
              QStringList{QStringLiteral("undo"), QStringLiteral("--list"), dst_, run},
              QStringList{QStringLiteral("undo"), QStringLiteral("--bogus"), dst_}}) {
            QCOMPARE(cli(bad).code, 2);
        }
        qputenv("XDG_DATA_HOME", dataHome);
    }

    // A journal that cannot be written: --yes alone writes nothing and names
    // --no-journal; --no-journal synchronizes without one.
    void syncWithoutJournal() {
        const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", tmp_->filePath(QStringLiteral("data")).toLocal8Bit());
        QVERIFY(QDir().mkpath(tmp_->filePath(QStringLiteral("data/vimosync"))));
        QFile blocker(tmp_->filePath(QStringLiteral("data/vimosync/journal")));
        QVERIFY(blocker.open(QIODevice::WriteOnly) && blocker.write("x") == 1);
        blocker.close();
        const auto before = snapshot();
        Run r = cli({QStringLiteral("sync"), QStringLiteral("--yes"), src_, dst_});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QLatin1String("add --no-journal")), qPrintable(r.err));
        QCOMPARE(snapshot(), before);
        r = cli({QStringLiteral("sync"), QStringLiteral("--yes"), QStringLiteral("--no-journal"),
                 src_, dst_});
        QCOMPARE(r.code, 0);
        QVERIFY(snapshot() != before);
        QVERIFY(QFileInfo(blocker.fileName()).isFile());
        qputenv("XDG_DATA_HOME", dataHome);
    }
};

QTEST_GUILESS_MAIN(TestCliAnalyseSync)
#include "tst_cli_analyse_sync.moc"
