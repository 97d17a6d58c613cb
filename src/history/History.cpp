#include "history/History.h"

#include "history/BinaryFormat.h"
#include "history/FileStore.h"
#include "history/TextFormat.h"
#include "history/TimeStamp.h"
#include "support/CodePage.h"
#include "support/Errors.h"
#include "support/LangText.h"
#include "support/LogFile.h"
#include "support/RecycleBin.h"
#include "support/Sha256.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace vimosync {

namespace {

QString shortName(const QString& path) {
    return QFileInfo(path).fileName();
}

QString nativePath(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// The file content of a list in its version; false for a version without a writer.
bool buildContent(const TZMTMessList& list, const TReadOptions& options, std::string& out) {
    if (list.Version == 0) {
        out = BuildPlainText(list, options.Text);
        if (!IsUtf8CodePage(options.CodePage)) {
            out = Utf8ToCodePage(out, options.CodePage);
        }
        return true;
    }
    if (list.Version >= 1 && list.Version <= 3) {
        out = BuildBinaryFile(list, options);
        return true;
    }
    return false;
}

// Old archive files of the history: every file of the archive folder whose name is the
// archive base followed by anything and ".ahf", ignoring case, sorted by name.
QStringList oldArchives(const QString& historyPath, const QString& folderName) {
    const QString folder = ArchiveFolder(historyPath, folderName);
    const QString prefix = QFileInfo(historyPath).completeBaseName() + QLatin1Char('_');
    QStringList out;
    const QDir dir(folder);
    if (!dir.exists()) {
        return out;
    }
    const QStringList names = dir.entryList({QStringLiteral("*.ahf")},
                                            QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& n : names) {
        if (n.startsWith(prefix, Qt::CaseInsensitive) && n.size() >= prefix.size() + 4) {
            out << dir.filePath(n);
        }
    }
    return out;
}

} // namespace

void ReadEntryHeader(TZMTHead& entry, const QString& path, const TReadOptions& options) {
    entry = TZMTHead{};
    const QFileInfo fi(path);
    if (IsBinaryPath(path)) {
        entry.Valid = true;
        entry.SrcFile = fi.fileName();
        // A file that cannot be read is an error for the caller to report; one that
        // reads but holds no header is an entry without Valid.
        const std::string bytes = ReadBinaryHeaderBytes(path);
        try {
            ParseBinaryHeader(bytes, entry);
        } catch (const Exception&) {
            entry.Valid = false;
        }
        return;
    }
    TZMTMessList scratch;
    scratch.FileName = path;
    LoadHistory(scratch, LoadContactNick, false, options);
    entry.Nick = scratch.ContactNick;
    const QByteArray uin = fi.completeBaseName().toUtf8();
    entry.UIN.assign(uin.constData(), static_cast<std::size_t>(uin.size()));
    entry.DiffCount = scratch.Count();
    entry.Valid = scratch.Valid;
    entry.Version = 0;
    entry.Scrambled = 0;
    entry.SrcFile = fi.fileName();
}

void LoadHistory(TZMTMessList& list, TLoadMode mode, bool withArchives,
                 const TReadOptions& options) {
    list.Valid = false;
    list.Damaged = false;
    list.Problem.clear();
    list.ReadError.clear();
    list.FilesRead.clear();
    if (list.FileName.isEmpty()) {
        return;
    }
    // The identity is the file's as it was before anything of the history was read: with
    // archives, taken before them, so that a save notices a change made while they were
    // read; else the one of the read itself.
    if (withArchives) {
        list.Identity = IdentityOf(list.FileName);
        LoadArchives(list, options);
        if (!list.Identity.exists) {
            return;
        }
    }
    std::string bytes;
    QString error;
    FileIdentity found;
    const bool read = ReadWholeFile(list.FileName, bytes, error, found);
    if (!withArchives) {
        list.Identity = found;
    }
    if (read && list.KeepDigests) {
        list.FilesRead.push_back(
            {list.FileName, found, static_cast<qint64>(bytes.size()), Sha256Hex(bytes)});
    }
    if (!found.exists) {
        return;
    }
    const auto damaged = [&list](const QString& why) {
        if (!list.Damaged) {
            list.Damaged = true;
            list.Problem = why;
        }
    };
    if (!read) {
        list.ReadError = Format(LangText::CannotReadFile, nativePath(list.FileName), error);
    }
    if (IsBinaryPath(list.FileName)) {
        if (!read) {
            damaged(list.ReadError);
            return;
        }
        // An empty binary file holds nothing to lose; any other that does not read
        // whole would lose its unread part when rewritten.
        const bool empty = bytes.empty();
        QString why = Format(LangText::BinaryCutShort);
        try {
            TZMTHead head;
            ParseBinaryHeader(bytes, head);
        } catch (const Exception& e) {
            why = e.message();
        }
        ParseBinaryHistory(list, std::move(bytes), mode, options);
        if (!list.Valid && !empty) {
            damaged(why);
        }
        return;
    }
    if (!read) {
        throw Exception(list.ReadError, "EFileError");
    }
    if (!IsUtf8CodePage(options.CodePage)) {
        bytes = CodePageToUtf8(bytes, options.CodePage);
    }
    const bool archiveDamage = list.Damaged;
    const QString archiveProblem = list.Problem;
    ParsePlainText(list, std::move(bytes), mode, options.Text);
    if (archiveDamage) {
        list.Damaged = true;
        list.Problem = archiveProblem;
    }
}

namespace {

// A copy of the list's frame (names, version, nicks) without messages.
void CopyFrame(const TZMTMessList& from, TZMTMessList& to, int version) {
    to.Items.clear();
    to.UIN = from.UIN;
    to.ContactNick = from.ContactNick;
    to.FileName = from.FileName;
    to.Version = static_cast<std::uint8_t>(version);
    to.Scrambled = (version == 2 || version == 3) ? 1 : 0;
}

QString TimeText(double t) {
    return ToDateTime(t).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

// True when a binary file of the version keeps every message exactly as it is: the
// text fits its length field and is not changed by CorrectCRLF on reading, the time
// has a stamp that gives the same time back.
bool BinaryHoldsAsIs(const TZMTMessList& list, int version, const TReadOptions& options) {
    const bool correctCrlf = options.CorrectCRLF;
    const long long shift = StampShiftSeconds(version, options);
    constexpr long long kMin = std::numeric_limits<std::int32_t>::min();
    constexpr long long kMax = std::numeric_limits<std::int32_t>::max();
    for (const TZMTMess& m : list.Items) {
        long long seconds = 0;
        if (m.Text.size() > kZmtMaxField || (correctCrlf && NeedsLineBreakFix(m.Text.view())) ||
            !SecondsOfTime(m.Time, seconds) || seconds - shift < kMin || seconds - shift > kMax ||
            TimeOfSeconds(seconds) != m.Time) {
            return false;
        }
    }
    return true;
}

// Reads the bytes of a file of the version (as they go to disk) into out and tells
// whether every message of the list came back as one message of the same direction at
// about the same time: a format may change a text as its reader takes it (line breaks,
// trailing blanks) or drop what its date pattern does not show, never more.
bool ReadsBack(const TZMTMessList& list, int version, std::string bytes,
               const TReadOptions& options, TZMTMessList& out) {
    CopyFrame(list, out, version);
    if (version == 0) {
        if (!IsUtf8CodePage(options.CodePage)) {
            bytes = CodePageToUtf8(bytes, options.CodePage);
        }
        ParsePlainText(out, std::move(bytes), LoadPlain, options.Text);
    } else {
        ParseBinaryHistory(out, std::move(bytes), LoadPlain, options);
    }
    if (out.Count() != list.Count() || out.Damaged) {
        return false;
    }
    for (int i = 0; i < list.Count(); ++i) {
        if (out[i].Outgoing != list[i].Outgoing || !(std::fabs(out[i].Time - list[i].Time) < 1.0)) {
            return false;
        }
    }
    return true;
}

// True when a plain-text file keeps every message exactly as it is, the common case with
// the default date settings: texts with CR LF line breaks only, no blank at the end, no
// separator text, only characters the code page holds; times of whole seconds from
// 1899-12-30 on, which the default pattern writes and the reader takes back.
bool TextHoldsAsIs(const TZMTMessList& list, const TReadOptions& options) {
    const TTextFormat& set = options.Text;
    static const TTextFormat defaults;
    if (set.DTFormatString != defaults.DTFormatString ||
        set.Dates.ShortDateFormat != defaults.Dates.ShortDateFormat ||
        set.TimeBeforeDate != defaults.TimeBeforeDate ||
        set.Dates.DateSeparator != defaults.Dates.DateSeparator ||
        set.Dates.TimeSeparator != defaults.Dates.TimeSeparator ||
        set.DTLeftBracket != defaults.DTLeftBracket ||
        set.DTRightBracket != defaults.DTRightBracket) {
        return false;
    }
    const bool utf8 = IsUtf8CodePage(options.CodePage);
    const QByteArray in = set.MsgInSeparator.toUtf8();
    const QByteArray out = set.MsgOutSeparator.toUtf8();
    const auto holds = [](std::string_view t, const QByteArray& sep) {
        return sep.isEmpty() ||
               t.find(std::string_view(sep.constData(), sep.size())) == std::string_view::npos;
    };
    constexpr double kLastDay = 2958465.0; // 9999-12-31
    for (const TZMTMess& m : list.Items) {
        const std::string_view t = m.Text.view();
        long long seconds = 0;
        if ((!t.empty() && static_cast<unsigned char>(t.back()) <= 32) || NeedsLineBreakFix(t) ||
            !holds(t, in) || !holds(t, out) ||
            (!utf8 && std::any_of(t.begin(), t.end(),
                                  [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) ||
            !(m.Time >= 0 && m.Time < kLastDay) || !SecondsOfTime(m.Time, seconds) ||
            TimeOfSeconds(seconds) != m.Time) {
            return false;
        }
    }
    return true;
}

} // namespace

TStoreCheck AsStoredIn(const TZMTMessList& list, int version, const TReadOptions& options,
                       TZMTMessList& out, QString& problem, const QString& targetName) {
    problem.clear();
    if (version < 0 || version > 3) {
        return TStoreCheck::AsIs; // nothing is written in such a version
    }
    const QString file = shortName(targetName.isEmpty() ? list.FileName : targetName);
    if (version == 0 && TextHoldsAsIs(list, options)) {
        return TStoreCheck::AsIs;
    }
    if (version != 0) {
        if (BinaryHoldsAsIs(list, version, options)) {
            return TStoreCheck::AsIs;
        }
        for (const TZMTMess& m : list.Items) {
            std::int32_t stamp = 0;
            if (!StampOfTime(m.Time, version, options, stamp)) {
                problem = Format(LangText::DateOutOfRange, TimeText(m.Time), file);
                return TStoreCheck::CannotHold;
            }
        }
    }
    TZMTMessList frame;
    CopyFrame(list, frame, version);
    frame.Items = list.Items;
    std::string bytes;
    try {
        bytes =
            version == 0 ? BuildPlainText(frame, options.Text) : BuildBinaryFile(frame, options);
    } catch (const Exception& e) {
        problem = e.message();
        return TStoreCheck::CannotHold;
    }
    if (version == 0 && !IsUtf8CodePage(options.CodePage)) {
        bytes = Utf8ToCodePage(bytes, options.CodePage);
    }
    if (!ReadsBack(list, version, std::move(bytes), options, out)) {
        problem = Format(LangText::MessageNotReadBack, QString::fromUtf8(list.UIN.c_str()), file);
        return TStoreCheck::CannotHold;
    }
    out.Valid = list.Valid;
    return TStoreCheck::Changed;
}

bool HasArchiveFiles(const QString& historyPath, const QString& folderName) {
    return !oldArchives(historyPath, folderName).isEmpty();
}

QString ArchiveFolder(const QString& historyPath, const QString& folderName) {
    return QFileInfo(historyPath).path() + QLatin1Char('/') + folderName;
}

QString ArchiveName(const QString& historyPath, const QString& folderName, int n) {
    return ArchiveFolder(historyPath, folderName) + QLatin1Char('/') +
           QFileInfo(historyPath).completeBaseName() + QLatin1Char('_') + QString::number(n) +
           QStringLiteral(".ahf");
}

void LoadArchives(TZMTMessList& list, const TReadOptions& options) {
    list.ArchivesComplete = true;
    QStringList read;
    for (int n = 1;; ++n) {
        const QString name = ArchiveName(list.FileName, options.ArchiveFolderName, n);
        TZMTMessList part;
        part.FileName = name;
        // Incoming archive messages carry the contact's nick like those of the file.
        part.ContactNick = list.ContactNick;
        part.KeepDigests = list.KeepDigests;
        LoadHistory(part, LoadPlain, false, options);
        for (FileRead& f : part.FilesRead) {
            list.FilesRead.push_back(std::move(f));
        }
        if (!part.Identity.exists) {
            break; // the first missing number ends the archives
        }
        if (!part.Valid || part.Damaged) {
            list.ArchivesComplete = false;
            list.Damaged = true;
            list.Problem = Format(LangText::ArchivePartDamaged, QFileInfo(name).fileName());
            return;
        }
        list.Items.reserve(list.Items.size() + part.Items.size());
        for (TZMTMess& m : part.Items) {
            list.Items.push_back(std::move(m));
        }
        read << QFileInfo(name).fileName();
    }
    // Archive files that the loop did not reach (beyond a missing number, or named
    // otherwise) would be removed unread by a save in split mode.
    for (const QString& old : oldArchives(list.FileName, options.ArchiveFolderName)) {
        if (!read.contains(QFileInfo(old).fileName())) {
            list.ArchivesComplete = false;
            return;
        }
    }
}

namespace {

// A file that holds the content byte for byte is not written again: the same bytes
// under a new inode would count as a change, and its old copy would go to the trash.
// known: the file as it was read, when the save checks that it is still that; a file of
// another size cannot hold the content (and one changed since is noticed by the save).
bool holdsAlready(const QString& path, const std::string& content,
                  const FileIdentity* known = nullptr) {
    if (known != nullptr && known->exists && known->size != static_cast<qint64>(content.size())) {
        return false;
    }
    const QFileInfo fi(path);
    if (!fi.isFile() || fi.size() != static_cast<qint64>(content.size())) {
        return false;
    }
    std::string bytes;
    QString error;
    return ReadWholeFile(path, bytes, error) && bytes == content;
}

// The writer never puts down a file that would read back as other messages.
void checkReadsBack(const TZMTMessList& list, const std::string& content,
                    const TReadOptions& options) {
    TZMTMessList back;
    if (!ReadsBack(list, list.Version, content, options, back)) {
        throw Exception(Format(LangText::MessageNotReadBack, QString::fromUtf8(list.UIN.c_str()),
                               shortName(list.FileName)),
                        "EZmtError");
    }
}

} // namespace

void SaveHistory(TZMTMessList& list, bool& backedUp, bool split, const TReadOptions& options,
                 const TSaveOptions& save) {
    if (list.FileName.isEmpty()) {
        throw Exception(Format(LangText::SaveEmptyFileName), "EFileError");
    }
    WriteLog(Format(LangText::LogWritingRecords, list.Count(), shortName(list.FileName)));
    backedUp = false;
    if (list.Version > 3) {
        return; // no writer for the version: nothing is written, nothing removed
    }
    const bool backup = save.BackupToRecycleBin;
    FileReplacement files(save.Journal, QString::fromUtf8(list.UIN.c_str()) + QLatin1Char(' ') +
                                            QString::fromUtf8(list.ContactNick.c_str()));
    files.knownContents(list.FilesRead);
    bool removedToTrash = false;
    bool replacedToTrash = false;

    if (!split) {
        std::string content;
        if (!buildContent(list, options, content)) {
            return;
        }
        checkReadsBack(list, content, options);
        if (holdsAlready(list.FileName, content, list.CheckIdentity ? &list.Identity : nullptr)) {
            return;
        }
        if (list.CheckIdentity) {
            files.stage(list.FileName, content, list.Identity);
        } else {
            files.stage(list.FileName, content);
        }
        files.commit(backup, removedToTrash, replacedToTrash);
        backedUp = replacedToTrash;
        return;
    }

    // Parts of NewArchiveSize: each takes messages until its size passes the limit; the
    // last part is the history file itself, the others archives 1, 2, ...
    const long long limit = static_cast<long long>(save.NewArchiveSize) * 1024;
    QStringList unchanged; // parts whose file holds their content already
    int i = 0;
    int n = 1;
    do {
        TZMTMessList part;
        part.UIN = list.UIN;
        part.ContactNick = list.ContactNick;
        part.Scrambled = list.Scrambled;
        part.Version = list.Version;
        long long size = static_cast<long long>(kZmtFixedHeader);
        while (i < list.Count()) {
            part.Items.push_back(list[i]);
            size += static_cast<long long>(RecordSize(list, i));
            ++i;
            if (size > limit) {
                break;
            }
        }
        part.FileName = i < list.Count() ? ArchiveName(list.FileName, options.ArchiveFolderName, n)
                                         : list.FileName;
        ++n;
        WriteLog(Format(LangText::LogWritingRecords, part.Count(), shortName(part.FileName)));
        std::string content;
        if (buildContent(part, options, content)) {
            checkReadsBack(part, content, options);
            if (holdsAlready(part.FileName, content)) {
                unchanged << part.FileName;
            } else if (list.CheckIdentity && part.FileName == list.FileName) {
                files.stage(part.FileName, content, list.Identity);
            } else {
                files.stage(part.FileName, content);
            }
        }
    } while (i < list.Count());

    // The old parts that go leave from the highest number down, so that a save killed
    // among them never leaves a gap in the parts that stay (the reader stops at a gap).
    QStringList leaving;
    for (const QString& old : oldArchives(list.FileName, options.ArchiveFolderName)) {
        if (!unchanged.contains(old)) {
            leaving << old;
        }
    }
    const QString stem = QFileInfo(list.FileName).completeBaseName() + QLatin1Char('_');
    const auto number = [&stem](const QString& path) {
        const QString name = QFileInfo(path).completeBaseName();
        bool ok = false;
        const int n = name.mid(stem.size()).toInt(&ok);
        return ok && n > 0 ? n : std::numeric_limits<int>::max(); // named otherwise: first
    };
    std::stable_sort(leaving.begin(), leaving.end(),
                     [&](const QString& a, const QString& b) { return number(a) > number(b); });
    for (const QString& old : leaving) {
        files.remove(old);
    }
    files.commit(backup, removedToTrash, replacedToTrash);
    backedUp = removedToTrash;
}

} // namespace vimosync
