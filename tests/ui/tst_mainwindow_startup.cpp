// Start and close of the main window: the caption, the settings file beside the
// executable written on close with every key, and the debug log opened only when the
// settings ask for it.

#include "Version.h"
#include "common/TestUtil.h"
#include "config/Setup.h"
#include "support/IniFile.h"
#include "support/LangText.h"
#include "support/LogFile.h"
#include "ui/Main.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QtTest>

using namespace vimosync;

namespace {

const QStringList kSettingsKeys = {"UseLog",
                                   "BackupToRecycleBin",
                                   "ShowMessNumbers",
                                   "UseVaryonArchives",
                                   "MRU_Depth",
                                   "SpamMinMessagesIn",
                                   "SpamMinMessagesOut",
                                   "NewArchiveSize",
                                   "MessMergeMode",
                                   "ZmtDateOffset",
                                   "MergeIgnoreSpaces",
                                   "CreateArchivesFolder",
                                   "CorrectCRLF",
                                   "UsePermanentPDATimeOffset",
                                   "PDA_Time_Offset",
                                   "ArchiveFolderName",
                                   "JournalDays",
                                   "SyncDirection",
                                   "Language"};
const QStringList kParseTxtKeys = {
    "MsgInSeparator", "MsgOutSeparator", "DTFormatString", "DateFormatString", "TimeFormatString",
    "TimeBeforeDate", "DateSeparator",   "TimeSeparator",  "DTLeftBracket",    "DTRightBracket"};

QString LogPath() {
    return QCoreApplication::applicationDirPath() + "/tst_mainwindow_startup.log";
}

} // namespace

class TestMainWindowStartup : public QObject {
    Q_OBJECT

private slots:
    void init() {
        Setup() = TSettings{};
        QFile::remove(SettingsFilePath());
        QFile::remove(LogPath());
    }
    void cleanup() {
        QFile::remove(SettingsFilePath());
        QFile::remove(LogPath());
    }

    void versionText() {
        QVERIFY(
            QRegularExpression("^v\\d+\\.\\d+\\.\\d+\\.\\d+ $").match(VersionText()).hasMatch());
        QCOMPARE(VersionText(), QStringLiteral("v" VIMOSYNC_VERSION_STRING " "));
    }

    void firstStartAndClose() {
        QCOMPARE(SettingsFilePath(),
                 QCoreApplication::applicationDirPath() + "/tst_mainwindow_startup.ini");
        {
            TForm1 form;
            QCOMPARE(form.windowTitle(),
                     QString::fromUtf8(LangText::AppTitle) + " " + VersionText());
            QVERIFY(form.windowTitle().endsWith(' '));
            form.show();
            QVERIFY(!LogIsOpen());
            QVERIFY(form.close());
        }
        QVERIFY(!QFile::exists(LogPath()));
        IniFile ini;
        QVERIFY(ini.load(SettingsFilePath()));
        QCOMPARE(ini.sectionNames(), (QStringList{"Settings", "ParseTXT", "Window"}));
        QCOMPARE(ini.keys("Settings"), kSettingsKeys);
        QCOMPARE(ini.keys("ParseTXT"), kParseTxtKeys);
        QCOMPARE(ini.keys("Window"), (QStringList{"Geometry", "Splitter", "Page"}));
        QCOMPARE(ini.readString("Window", "Page", QString()), QStringLiteral("2"));
    }

    void settingsSurviveARun() {
        test::writeAll(SettingsFilePath(), "[PathesMRU]\nSrcPath0=/data/pda\n"
                                           "[Settings]\nMRU_Depth=7\nUseLog=1\n");
        {
            TForm1 form;
            QCOMPARE(Setup().MRU_Depth, 7);
            QCOMPARE(Setup().SrcPathMRU, QStringList{"/data/pda"});
            QVERIFY(LogIsOpen());
            QCOMPARE(LogFileName(), LogPath());
            WriteLog("during the run");
            form.close();
            QVERIFY(!LogIsOpen());
        }
        QVERIFY(test::readAll(LogPath()).endsWith(" during the run\r\n"));
        IniFile ini;
        QVERIFY(ini.load(SettingsFilePath()));
        QCOMPARE(ini.readInteger("Settings", "MRU_Depth", 0), 7);
        QCOMPARE(ini.readString("PathesMRU", "SrcPath0", ""), QStringLiteral("/data/pda"));
    }
};

QTEST_MAIN(TestMainWindowStartup)
#include "tst_mainwindow_startup.moc"
