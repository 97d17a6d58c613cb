#include "config/Setup.h"

#include "support/AppFiles.h"

#include "history/TimeStamp.h"
#include "support/CodePage.h"
#include "support/IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace vimosync {

namespace {

const QString kPathesMRU = QStringLiteral("PathesMRU");
const QString kSettings = QStringLiteral("Settings");
const QString kParseTXT = QStringLiteral("ParseTXT");
const QString kWindow = QStringLiteral("Window");
const QString kSrcPath = QStringLiteral("SrcPath");
const QString kDstPath = QStringLiteral("DstPath");

// The folder of the running executable with a trailing separator.
QString ExecutableFolder() {
    QString dir = QCoreApplication::applicationDirPath();
    if (dir.isEmpty()) {
        dir = QDir::currentPath();
    }
    if (!dir.endsWith(QLatin1Char('/'))) {
        dir += QLatin1Char('/');
    }
    return QDir::toNativeSeparators(dir);
}

// Reads "<word>0", "<word>1", ... up to the first missing index.
QStringList ReadPathList(const IniFile& ini, const QString& word) {
    QStringList list;
    for (int i = 0;; ++i) {
        const std::optional<QString> v = ini.value(kPathesMRU, word + QString::number(i));
        if (!v) {
            break;
        }
        list << *v;
    }
    return list;
}

void WritePathList(IniFile& ini, const QString& word, const QStringList& list) {
    for (int i = 0; i < list.size(); ++i) {
        ini.writeString(kPathesMRU, word + QString::number(i), list[i]);
    }
}

} // namespace

TSettings& Setup() {
    static TSettings s = [] {
        TSettings init;
        ReadZone(init.ZoneName, init.ZoneBias);
        return init;
    }();
    return s;
}

TTextFormat TextFormat(const TSettings& s) {
    TTextFormat f;
    f.MsgInSeparator = s.MsgInSeparator;
    f.MsgOutSeparator = s.MsgOutSeparator;
    f.DTFormatString = s.DTFormatString;
    f.TimeBeforeDate = s.TimeBeforeDate;
    f.DTLeftBracket = s.DTLeftBracket;
    f.DTRightBracket = s.DTRightBracket;
    f.Dates.DateSeparator = s.DateSeparator;
    f.Dates.TimeSeparator = s.TimeSeparator;
    f.Dates.ShortDateFormat = s.DateFormatString;
    f.Dates.ShortTimeFormat = s.TimeFormatString;
    return f;
}

TWorkflowOptions WorkflowOptions(const TSettings& s) {
    TWorkflowOptions o;
    o.Read.CodePage = s.CodePage;
    o.Read.CorrectCRLF = s.CorrectCRLF;
    o.Read.PdaOffset = s.PdaOffset;
    o.Read.ZmtDateOffset = s.ZmtDateOffset;
    o.Read.Text = TextFormat(s);
    o.Read.ArchiveFolderName = s.ArchiveFolderName;
    o.Merge.MessMergeMode = s.MessMergeMode;
    o.Merge.MergeIgnoreSpaces = s.MergeIgnoreSpaces;
    o.Save.BackupToRecycleBin = s.BackupToRecycleBin;
    o.Save.NewArchiveSize = s.NewArchiveSize;
    o.UseVaryonArchives = s.UseVaryonArchives;
    o.CreateArchivesFolder = s.CreateArchivesFolder;
    o.SpamMinMessagesIn = s.SpamMinMessagesIn;
    o.SpamMinMessagesOut = s.SpamMinMessagesOut;
    o.JournalDays = s.JournalDays;
    o.BothWays = s.SyncDirection == 1;
    return o;
}

QString SettingsFilePath() {
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    return AppFilePath(exe.completeBaseName(), QStringLiteral("ini"), true);
}

QString LanguageSetting(const QString& iniPath) {
    IniFile ini;
    ini.load(iniPath);
    return ini.readString(kSettings, QStringLiteral("Language"), QString()).trimmed();
}

void LoadSettings(const QString& iniPath) {
    IniFile ini;
    // An unreadable file is treated like a missing one: the defaults stay.
    ini.load(iniPath);

    TSettings& s = Setup();

    s.SrcPath = ExecutableFolder();
    s.DstPath = s.SrcPath;
    s.SrcPathMRU = ReadPathList(ini, kSrcPath);
    s.DstPathMRU = ReadPathList(ini, kDstPath);

#define VS_READ_INT(key) s.key = ini.readInteger(kSettings, QStringLiteral(#key), s.key)
#define VS_READ_BOOL(key) s.key = ini.readBool(kSettings, QStringLiteral(#key), s.key)
    VS_READ_INT(MRU_Depth);
    VS_READ_INT(SpamMinMessagesIn);
    VS_READ_INT(SpamMinMessagesOut);
    VS_READ_INT(NewArchiveSize);
    VS_READ_INT(ZmtDateOffset);
    // Only the low byte of the merge mode is kept.
    s.MessMergeMode = static_cast<std::uint8_t>(
        ini.readInteger(kSettings, QStringLiteral("MessMergeMode"), s.MessMergeMode) & 0xFF);
    VS_READ_BOOL(MergeIgnoreSpaces);
    VS_READ_BOOL(CreateArchivesFolder);
    VS_READ_BOOL(CorrectCRLF);
    VS_READ_BOOL(UseLog);
    VS_READ_BOOL(BackupToRecycleBin);
    VS_READ_BOOL(ShowMessNumbers);
    VS_READ_BOOL(UseVaryonArchives);
    VS_READ_BOOL(UsePermanentPDATimeOffset);
    VS_READ_INT(JournalDays);
    s.JournalDays = std::max(s.JournalDays, 0);
    VS_READ_INT(SyncDirection);
    s.SyncDirection = std::clamp(s.SyncDirection, 0, 1);
#undef VS_READ_INT
#undef VS_READ_BOOL

    // The stored PDA offset counts only when it is meant to stay; otherwise the offset
    // taken from the system zone at start stays in force.
    if (s.UsePermanentPDATimeOffset) {
        const QString text = ini.readString(kSettings, QStringLiteral("PDA_Time_Offset"),
                                            FormatOffset(-s.PdaOffset));
        s.PdaOffset = -ParseOffset(text);
    }
    s.ArchiveFolderName =
        ini.readString(kSettings, QStringLiteral("ArchiveFolderName"), s.ArchiveFolderName);
    s.Language = ini.readString(kSettings, QStringLiteral("Language"), s.Language).trimmed();

#define VS_READ_STR(key) s.key = ini.readString(kParseTXT, QStringLiteral(#key), s.key)
#define VS_READ_CHAR(key) s.key = ini.readChar(kParseTXT, QStringLiteral(#key), s.key)
    VS_READ_STR(MsgInSeparator);
    VS_READ_STR(MsgOutSeparator);
    VS_READ_STR(DTFormatString);
    VS_READ_STR(DateFormatString);
    VS_READ_STR(TimeFormatString);
    s.TimeBeforeDate = ini.readBool(kParseTXT, QStringLiteral("TimeBeforeDate"), s.TimeBeforeDate);
    VS_READ_CHAR(DateSeparator);
    VS_READ_CHAR(TimeSeparator);
    VS_READ_CHAR(DTLeftBracket);
    VS_READ_CHAR(DTRightBracket);
    VS_READ_STR(CodePage);
    ValidateCodePage(s.CodePage); // an unknown name is an error now, not garbled text later
#undef VS_READ_STR
#undef VS_READ_CHAR

    s.WindowGeometry = ini.readString(kWindow, QStringLiteral("Geometry"), QString());
    s.SplitterSizes.clear();
    for (const QString& part :
         ini.readString(kWindow, QStringLiteral("Splitter"), QString()).split(QLatin1Char(','))) {
        bool ok = false;
        const int width = part.trimmed().toInt(&ok);
        if (ok && width >= 0) {
            s.SplitterSizes << width;
        }
    }
    s.LastPage = ini.readInteger(kWindow, QStringLiteral("Page"), -1);
}

bool SaveSettings(const QString& iniPath) {
    IniFile ini;
    // Other sections and unknown keys of the file are kept; a file that exists but
    // cannot be read is left alone rather than replaced by one without them.
    if (!ini.load(iniPath)) {
        return false;
    }
    const TSettings& s = Setup();

    ini.eraseSection(kPathesMRU);
    WritePathList(ini, kSrcPath, s.SrcPathMRU);
    WritePathList(ini, kDstPath, s.DstPathMRU);

#define VS_WRITE_INT(key) ini.writeInteger(kSettings, QStringLiteral(#key), s.key)
#define VS_WRITE_BOOL(key) ini.writeBool(kSettings, QStringLiteral(#key), s.key)
    VS_WRITE_BOOL(UseLog);
    VS_WRITE_BOOL(BackupToRecycleBin);
    VS_WRITE_BOOL(ShowMessNumbers);
    VS_WRITE_BOOL(UseVaryonArchives);
    VS_WRITE_INT(MRU_Depth);
    VS_WRITE_INT(SpamMinMessagesIn);
    VS_WRITE_INT(SpamMinMessagesOut);
    VS_WRITE_INT(NewArchiveSize);
    VS_WRITE_INT(MessMergeMode);
    VS_WRITE_INT(ZmtDateOffset);
    VS_WRITE_BOOL(MergeIgnoreSpaces);
    VS_WRITE_BOOL(CreateArchivesFolder);
    VS_WRITE_BOOL(CorrectCRLF);
    VS_WRITE_BOOL(UsePermanentPDATimeOffset);
#undef VS_WRITE_INT
#undef VS_WRITE_BOOL
    ini.writeString(kSettings, QStringLiteral("PDA_Time_Offset"), FormatOffset(-s.PdaOffset));
    ini.writeString(kSettings, QStringLiteral("ArchiveFolderName"), s.ArchiveFolderName);
    ini.writeInteger(kSettings, QStringLiteral("JournalDays"), s.JournalDays);
    ini.writeInteger(kSettings, QStringLiteral("SyncDirection"), s.SyncDirection);
    ini.writeString(kSettings, QStringLiteral("Language"), s.Language);

#define VS_WRITE_STR(key) ini.writeString(kParseTXT, QStringLiteral(#key), s.key)
#define VS_WRITE_CHAR(key) ini.writeChar(kParseTXT, QStringLiteral(#key), s.key)
    VS_WRITE_STR(MsgInSeparator);
    VS_WRITE_STR(MsgOutSeparator);
    VS_WRITE_STR(DTFormatString);
    VS_WRITE_STR(DateFormatString);
    VS_WRITE_STR(TimeFormatString);
    ini.writeBool(kParseTXT, QStringLiteral("TimeBeforeDate"), s.TimeBeforeDate);
    VS_WRITE_CHAR(DateSeparator);
    VS_WRITE_CHAR(TimeSeparator);
    VS_WRITE_CHAR(DTLeftBracket);
    VS_WRITE_CHAR(DTRightBracket);
    if (!s.CodePage.isEmpty()) {
        VS_WRITE_STR(CodePage);
    }
#undef VS_WRITE_STR
#undef VS_WRITE_CHAR

    // Written once the window has been closed with them.
    if (!s.WindowGeometry.isEmpty()) {
        ini.writeString(kWindow, QStringLiteral("Geometry"), s.WindowGeometry);
    }
    if (!s.SplitterSizes.isEmpty()) {
        QStringList widths;
        for (const int w : s.SplitterSizes) {
            widths << QString::number(w);
        }
        ini.writeString(kWindow, QStringLiteral("Splitter"), widths.join(QLatin1Char(',')));
    }
    if (s.LastPage >= 0) {
        ini.writeInteger(kWindow, QStringLiteral("Page"), s.LastPage);
    }

    return ini.save(iniPath);
}

} // namespace vimosync
