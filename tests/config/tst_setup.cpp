// The settings file: reading every kind of value, the directory lists, the PDA offset
// rule and what a save writes. The machine zone is fixed to GMT+01:00 without summer
// time, so that the offset taken from the system is known.

#include "common/TestUtil.h"
#include "config/Setup.h"
#include "history/Model.h"
#include "history/TimeStamp.h"
#include "support/IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>

using namespace vimosync;

namespace {

// IANA names count the other way round: Etc/GMT-1 is one hour east of UTC.
const char* const kMachineZone = "Etc/GMT-1";

const char* const kDefaultFile = "[Settings]\n"
                                 "UseLog=0\n"
                                 "BackupToRecycleBin=1\n"
                                 "ShowMessNumbers=1\n"
                                 "UseVaryonArchives=0\n"
                                 "MRU_Depth=16\n"
                                 "SpamMinMessagesIn=0\n"
                                 "SpamMinMessagesOut=1\n"
                                 "NewArchiveSize=300\n"
                                 "MessMergeMode=1\n"
                                 "ZmtDateOffset=0\n"
                                 "MergeIgnoreSpaces=0\n"
                                 "CreateArchivesFolder=1\n"
                                 "CorrectCRLF=1\n"
                                 "UsePermanentPDATimeOffset=0\n"
                                 "PDA_Time_Offset=+01:00\n"
                                 "ArchiveFolderName=Archive\n"
                                 "JournalDays=30\n"
                                 "SyncDirection=0\n"
                                 "Language=\n"
                                 "[ParseTXT]\n"
                                 "MsgInSeparator=--------------------------------------<-\n"
                                 "MsgOutSeparator=-------------------------------------->-\n"
                                 "DTFormatString=hh:nn:ss d\"/\"mm\"/\"yyyy\n"
                                 "DateFormatString=d\"/\"mm\"/\"yyyy\n"
                                 "TimeFormatString=hh:nn:ss\n"
                                 "TimeBeforeDate=1\n"
                                 "DateSeparator=/\n"
                                 "TimeSeparator=:\n"
                                 "DTLeftBracket=(\n"
                                 "DTRightBracket=)\n";

} // namespace

class TestSetup : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString ini_;

    // Writes the text as the settings file, loads it, saves it, and returns the saved file.
    IniFile roundTrip(const QByteArray& text) {
        test::writeAll(ini_, text);
        LoadSettings(ini_);
        if (!SaveSettings(ini_)) {
            qFatal("save failed");
        }
        IniFile saved;
        saved.load(ini_);
        return saved;
    }

private slots:
    void init() {
        // Program start: built-in defaults, the PDA offset from the machine zone.
        Setup() = TSettings{};
        ReadZone(Setup().ZoneName, Setup().ZoneBias);
        ini_ = dir_.filePath(QStringLiteral("vimosync.ini"));
        QFile::remove(ini_);
    }

    void machineZoneIsFixed() {
        QCOMPARE(Setup().ZoneBias, -60);
        QCOMPARE(Setup().PdaOffset, -1.0 / 24);
    }

    void firstExitWritesEveryKeyWithDefaults() {
        LoadSettings(ini_);
        QVERIFY(Setup().SrcPathMRU.isEmpty());
        QVERIFY(Setup().DstPathMRU.isEmpty());
        const QString exeDir = QCoreApplication::applicationDirPath() + QLatin1Char('/');
        QCOMPARE(Setup().SrcPath, exeDir);
        QCOMPARE(Setup().DstPath, exeDir);
        QVERIFY(SaveSettings(ini_));
        QCOMPARE(QString::fromUtf8(test::readAll(ini_)), QString::fromUtf8(kDefaultFile));
    }

    void secondSaveChangesNothing() {
        LoadSettings(ini_);
        QVERIFY(SaveSettings(ini_));
        const QByteArray first = test::readAll(ini_);
        LoadSettings(ini_);
        QVERIFY(SaveSettings(ini_));
        QCOMPARE(test::readAll(ini_), first);
    }

    // One key in the file, as it is written back after load and save.
    void valueRules_data() {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("written");
        const QString S = QStringLiteral("Settings");
        const QString P = QStringLiteral("ParseTXT");
        auto row = [](const char* name, const QString& section, const char* line, const char* key,
                      const char* written) {
            QTest::newRow(name) << section << QString::fromUtf8(line) << QString::fromUtf8(key)
                                << QString::fromUtf8(written);
        };
        row("hex", S, "NewArchiveSize=0x400", "NewArchiveSize", "1024");
        row("hex upper", S, "NewArchiveSize=0X1f", "NewArchiveSize", "31");
        row("hex prefix only", S, "NewArchiveSize=0x", "NewArchiveSize", "300");
        row("hex all bits", S, "ZmtDateOffset=0xFFFFFFFF", "ZmtDateOffset", "-1");
        row("negative", S, "ZmtDateOffset=-2", "ZmtDateOffset", "-2");
        row("trailing junk", S, "MRU_Depth=12abc", "MRU_Depth", "16");
        row("too large", S, "MRU_Depth=99999999999", "MRU_Depth", "16");
        row("empty integer", S, "MRU_Depth=", "MRU_Depth", "16");
        row("no range check", S, "NewArchiveSize=1", "NewArchiveSize", "1");
        row("spaces around", S, "  MRU_Depth =  20  ", "MRU_Depth", "20");
        row("key case", S, "newarchivesize=500", "NewArchiveSize", "500");
        row("bool yes", S, "UseLog=yes", "UseLog", "0");
        row("bool true", S, "UseLog=true", "UseLog", "0");
        row("bool two", S, "UseLog=2", "UseLog", "1");
        row("bool zero", S, "BackupToRecycleBin=0", "BackupToRecycleBin", "0");
        row("bool hex", S, "UseVaryonArchives=0x10", "UseVaryonArchives", "1");
        row("merge mode low byte", S, "MessMergeMode=258", "MessMergeMode", "2");
        row("merge mode minus one", S, "MessMergeMode=-1", "MessMergeMode", "255");
        row("merge mode unreadable", S, "MessMergeMode=two", "MessMergeMode", "1");
        row("folder name", S, "ArchiveFolderName=Old stuff", "ArchiveFolderName", "Old stuff");
        row("empty text stays empty", S, "ArchiveFolderName=", "ArchiveFolderName", "");
        row("char first", P, "DateSeparator=-.", "DateSeparator", "-");
        row("char empty keeps default", P, "TimeSeparator=", "TimeSeparator", ":");
        row("separator with quotes", P, "DTFormatString=d\"/\"m", "DTFormatString", "d\"/\"m");
        row("bool in ParseTXT", P, "TimeBeforeDate=0", "TimeBeforeDate", "0");
        row("code page kept", P, "CodePage=windows-1251", "CodePage", "windows-1251");
    }
    void valueRules() {
        QFETCH(QString, section);
        QFETCH(QString, line);
        QFETCH(QString, key);
        QFETCH(QString, written);
        const QByteArray file = ("[" + section + "]\r\n" + line + "\r\n").toUtf8();
        const IniFile saved = roundTrip(file);
        QCOMPARE(saved.value(section, key).value_or(QStringLiteral("<missing>")), written);
        // The key is written once, in the case of the file, however it was read.
        QCOMPARE(saved.keys(section).filter(key, Qt::CaseInsensitive).size(), 1);
    }

    void sectionNamesIgnoreCase() {
        roundTrip("[SETTINGS]\nMRU_Depth=7\n[parsetxt]\nDTLeftBracket=<\n");
        QCOMPARE(Setup().MRU_Depth, 7);
        QCOMPARE(Setup().DTLeftBracket, QChar(u'<'));
    }

    void longValueIsCut() {
        const QByteArray name(3000, 'a');
        roundTrip("[Settings]\nArchiveFolderName=" + name + "\n");
        QCOMPARE(Setup().ArchiveFolderName.size(), 2047);
    }

    void codePageNotWrittenWhenEmpty() {
        LoadSettings(ini_);
        QVERIFY(SaveSettings(ini_));
        IniFile saved;
        saved.load(ini_);
        QVERIFY(!saved.contains(QStringLiteral("ParseTXT"), QStringLiteral("CodePage")));
    }

    void textDateFormatFollowsSettings() {
        roundTrip("[ParseTXT]\nDateSeparator=.\nTimeSeparator=-\nDateFormatString=dd.mm.yyyy\n"
                  "TimeFormatString=hh-nn\n");
        const TTxtDateFormat f = WorkflowOptions(Setup()).Read.Text.Dates;
        QCOMPARE(f.DateSeparator, QChar(u'.'));
        QCOMPARE(f.TimeSeparator, QChar(u'-'));
        QCOMPARE(f.ShortDateFormat, QStringLiteral("dd.mm.yyyy"));
        QCOMPARE(f.ShortTimeFormat, QStringLiteral("hh-nn"));
    }

    void gapEndsDirectoryList() {
        const IniFile saved = roundTrip("[PathesMRU]\nSrcPath0=/a\nSrcPath2=/c\nDstPath0=/d\n"
                                        "DstPath1=/e\n");
        QCOMPARE(Setup().SrcPathMRU, QStringList{QStringLiteral("/a")});
        QCOMPARE(Setup().DstPathMRU, (QStringList{QStringLiteral("/d"), QStringLiteral("/e")}));
        QCOMPARE(saved.keys(QStringLiteral("PathesMRU")),
                 (QStringList{QStringLiteral("SrcPath0"), QStringLiteral("DstPath0"),
                              QStringLiteral("DstPath1")}));
    }

    void longDirectoryListIsNotCutOnLoad() {
        QByteArray file = "[Settings]\nMRU_Depth=16\n[PathesMRU]\n";
        for (int i = 0; i < 30; ++i) {
            file += "SrcPath" + QByteArray::number(i) + "=/dir/" + QByteArray::number(i) + "\n";
        }
        const IniFile saved = roundTrip(file);
        QCOMPARE(Setup().SrcPathMRU.size(), 30);
        QCOMPARE(Setup().SrcPathMRU.last(), QStringLiteral("/dir/29"));
        QCOMPARE(saved.keys(QStringLiteral("PathesMRU")).size(), 30);
        QCOMPARE(saved.value(QStringLiteral("PathesMRU"), QStringLiteral("SrcPath29")).value(),
                 QStringLiteral("/dir/29"));
    }

    void directoryListsWrittenFromMemory() {
        LoadSettings(ini_);
        Setup().SrcPathMRU = {QStringLiteral("/s1"), QStringLiteral("/s 2")};
        Setup().DstPathMRU = {QStringLiteral("/d1")};
        QVERIFY(SaveSettings(ini_));
        const QString text = QString::fromUtf8(test::readAll(ini_));
        QVERIFY(text.startsWith(QStringLiteral("[PathesMRU]\nSrcPath0=/s1\nSrcPath1=/s 2\n"
                                               "DstPath0=/d1\n[Settings]\n")));
        // An emptied list leaves no section behind.
        Setup().SrcPathMRU.clear();
        Setup().DstPathMRU.clear();
        QVERIFY(SaveSettings(ini_));
        QCOMPARE(QString::fromUtf8(test::readAll(ini_)), QString::fromUtf8(kDefaultFile));
    }

    void unknownContentIsKept() {
        const QByteArray file = "; written by hand\n"
                                "[Window]\nLeft=10\n\n"
                                "[Settings]\nMyOwnKey=x\nUseLog=1\n\n"
                                "[PathesMRU]\nSrcPath0=/old\nComment=gone with the section\n";
        roundTrip(file);
        const QString text = QString::fromUtf8(test::readAll(ini_));
        QVERIFY(text.startsWith(QStringLiteral("; written by hand\n[Window]\nLeft=10\n\n"
                                               "[Settings]\nMyOwnKey=x\nUseLog=1\n"
                                               "BackupToRecycleBin=1\n")));
        QVERIFY(text.contains(QStringLiteral(
            "ArchiveFolderName=Archive\nJournalDays=30\nSyncDirection=0\nLanguage=\n\n[PathesMRU]\n"
            "SrcPath0=/old\n[ParseTXT]\n")));
        QVERIFY(!text.contains(QStringLiteral("Comment")));
    }

    void pdaOffset_data() {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<double>("offset");
        QTest::addColumn<QString>("written");
        QTest::newRow("not permanent: machine zone")
            << QByteArray("UsePermanentPDATimeOffset=0\nPDA_Time_Offset=+05:00\n") << -1.0 / 24
            << "+01:00";
        QTest::newRow("permanent east")
            << QByteArray("UsePermanentPDATimeOffset=1\nPDA_Time_Offset=+05:00\n") << -5.0 / 24
            << "+05:00";
        QTest::newRow("permanent west with minutes")
            << QByteArray("UsePermanentPDATimeOffset=1\nPDA_Time_Offset=-03:30\n") << 3.5 / 24
            << "-03:30";
        QTest::newRow("permanent unreadable")
            << QByteArray("UsePermanentPDATimeOffset=1\nPDA_Time_Offset=abc\n") << 0.0 << "+00:00";
        QTest::newRow("permanent empty")
            << QByteArray("UsePermanentPDATimeOffset=1\nPDA_Time_Offset=\n") << 0.0 << "+00:00";
        QTest::newRow("permanent, key missing: machine zone")
            << QByteArray("UsePermanentPDATimeOffset=1\n") << -1.0 / 24 << "+01:00";
    }
    void pdaOffset() {
        QFETCH(QByteArray, settings);
        QFETCH(double, offset);
        QFETCH(QString, written);
        const IniFile saved = roundTrip("[Settings]\n" + settings);
        QVERIFY(qAbs(Setup().PdaOffset - offset) < 1e-12);
        QCOMPARE(saved.value(QStringLiteral("Settings"), QStringLiteral("PDA_Time_Offset")).value(),
                 written);
    }

    void saveFailureIsReportedNotThrown() {
        LoadSettings(ini_);
        QVERIFY(!SaveSettings(dir_.filePath(QStringLiteral("missing/folder/x.ini"))));
        // A folder in place of the file.
        QVERIFY(QDir(dir_.path()).mkdir(QStringLiteral("taken.ini")));
        QVERIFY(!SaveSettings(dir_.filePath(QStringLiteral("taken.ini"))));
    }

    void settingsFileBesideExecutable() {
        QCOMPARE(SettingsFilePath(),
                 QCoreApplication::applicationDirPath() + QStringLiteral("/tst_setup.ini"));
    }
};

int main(int argc, char** argv) {
    // The zone must be in place before anything reads it.
    qputenv("TZ", kMachineZone);
    tzset();
    QCoreApplication app(argc, argv);
    TestSetup t;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&t, argc, argv);
}

#include "tst_setup.moc"
