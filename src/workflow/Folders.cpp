// Listings of the history directories, the names in them and the checks on the paths.

#include "workflow/Folders.h"

#include "support/LangText.h"
#include "support/LogFile.h"

#include <QFile>

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace vimosync {

namespace {

QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// A destination-name mask with the UIN filled in, split at its own wildcards: the UIN
// is matched literally, whatever characters it holds.
QStringList MaskParts(const char* mask, const QString& uin) {
    QStringList parts = QString::fromLatin1(mask).split(QLatin1Char('*'));
    for (QString& p : parts) {
        p.replace(QLatin1String("%s"), uin);
    }
    return parts;
}

bool WildMatch(const QString& name, const QStringList& parts) {
    if (parts.size() == 1) {
        return name.compare(parts.first(), Qt::CaseInsensitive) == 0;
    }
    const QString& first = parts.first();
    const QString& last = parts.last();
    if (name.size() < first.size() + last.size() || !name.startsWith(first, Qt::CaseInsensitive) ||
        !name.endsWith(last, Qt::CaseInsensitive)) {
        return false;
    }
    qsizetype pos = first.size();
    const qsizetype end = name.size() - last.size();
    for (qsizetype i = 1; i + 1 < parts.size(); ++i) {
        const qsizetype at = name.indexOf(parts[i], pos, Qt::CaseInsensitive);
        if (at < 0 || at + parts[i].size() > end) {
            return false;
        }
        pos = at + parts[i].size();
    }
    return true;
}

// The last search mask ("*%s.zmt") matches any name ending in the UIN, so UIN 123
// would match 4123.zmt, the history of another contact. A name found through it
// belongs to the contact only when no digit stands right before the UIN.
bool DigitBeforeUin(const QString& name, const QString& uin) {
    const qsizetype at = name.size() - uin.size() - 4; // 4 = ".zmt"
    return at > 0 && name[at - 1].isDigit();
}

} // namespace

// The entries of a folder matching a wildcard pattern, ignoring case as the history
// directories' home platform does, sorted by name so that the order is stable.
QFileInfoList ListEntries(const QString& dir, const QString& pattern, QDir::Filters what) {
    QDir d(dir);
    d.setNameFilters({pattern});
    d.setFilter(what | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    d.setSorting(QDir::Name | QDir::IgnoreCase);
    return d.entryInfoList();
}

// A UIN goes into a file name only when it is a plain name: no separator, not "." or
// "..", no control character; anything else could name a file outside the folder.
bool IsPlainName(const std::string& uin) {
    if (uin.empty() || uin == "." || uin == "..") {
        return false;
    }
    return std::none_of(uin.begin(), uin.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return c == '/' || c == '\\' || u < 32 || u == 127;
    });
}

// True when the path names an entry directly in the folder or in its archive folder.
bool InsideFolder(const QString& path, const QString& folder, const QString& archiveFolderName) {
    const QFileInfo fi(path);
    const QString name = fi.fileName();
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) {
        return false;
    }
    const QString parent = QDir::cleanPath(fi.absolutePath());
    const QString base = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    return parent == base || parent == QDir::cleanPath(base + QLatin1Char('/') + archiveFolderName);
}

// The version a history file of this name is written in when its own content does not
// tell (an empty or missing file): plain text for a text name, else the fallback when
// it is a binary version.
int VersionForName(const QString& path, int fallback, bool varyon) {
    if (!IsBinaryPath(path)) {
        return 0;
    }
    if (fallback >= 1 && fallback <= 3) {
        return fallback;
    }
    return varyon ? 2 : 1;
}

// The names in the folder that are not valid UTF-8 and end in the extension (ignoring
// case), decoded with replacement characters. The folder listing leaves such names out,
// since it could not spell them back, so they are read here directly.
QStringList NamesNotUtf8(const QString& folder, const QString& extension) {
    QStringList names;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir) {
        return names;
    }
    while (const dirent* d = ::readdir(dir)) {
        const QByteArray raw(d->d_name);
        const QString decoded = QString::fromUtf8(raw);
        if (decoded.toUtf8() != raw &&
            (extension.isEmpty() || decoded.endsWith(extension, Qt::CaseInsensitive))) {
            names << decoded;
        }
    }
    ::closedir(dir);
    names.sort();
    return names;
}

// A name with an extension of the history files.
bool IsHistoryName(const QString& name) {
    return IsBinaryPath(name) || name.endsWith(QLatin1String(".txt"), Qt::CaseInsensitive);
}

// A regular file, or a symbolic link to one.
bool IsRegularFile(const QString& path) {
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

// Something other than a regular file (or a link to one) stands at the path: a folder,
// a FIFO, a device or a socket.
bool IsSpecialEntry(const QString& path) {
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISREG(st.st_mode);
}

// A folder on a file system that is full or mounted read-only.
bool DestinationUnwritable(const QString& folder) {
    struct statvfs fs;
    if (::statvfs(QFile::encodeName(folder).constData(), &fs) != 0) {
        return true;
    }
    return (fs.f_flag & ST_RDONLY) != 0 || fs.f_bavail == 0;
}

// The destination history of a contact among the names of the destination folder:
// between two Varyon directories the source file's own name first, then, and
// otherwise, the search masks in order. Empty when the contact has none.
QString FindDestinationFile(const TZMTHead& e, const QStringList& dstNames, bool bothVaryon) {
    const QString uin = Q(e.UIN);
    if (bothVaryon) {
        const QStringList exact{e.SrcFile};
        const auto it = std::find_if(dstNames.begin(), dstNames.end(),
                                     [&](const QString& n) { return WildMatch(n, exact); });
        if (it != dstNames.end()) {
            WriteLog(Format(LangText::DstFileLog, e.SrcFile) +
                     QString::fromLatin1(LangText::DstFileOk));
            return *it;
        }
    }
    if (IsPlainName(e.UIN)) {
        for (int m = 0; m < kFormatVersionCount; ++m) {
            const char* mask = SearchMasks[static_cast<std::size_t>(m)];
            const QStringList parts = MaskParts(mask, uin);
            const bool lastMask = m == kFormatVersionCount - 1;
            for (const QString& n : dstNames) {
                if (WildMatch(n, parts) && !(lastMask && DigitBeforeUin(n, uin))) {
                    WriteLog(Format(LangText::DstFileLog, FormatMask(mask, uin)) +
                             QString::fromLatin1(LangText::DstFileOk));
                    return n;
                }
            }
        }
    }
    WriteLog(Format(LangText::DstFileLog, e.UIN) + QString::fromLatin1(LangText::DstFileNotFound));
    return {};
}

QString StripTrailingSeparator(const QString& path) {
    QString p = path;
    while (p.size() > 1 && (p.endsWith(QLatin1Char('/')) || p.endsWith(QLatin1Char('\\')))) {
        p.chop(1);
    }
    return p;
}

bool SameDirectory(const QString& a, const QString& b) {
    const QString x = StripTrailingSeparator(a);
    const QString y = StripTrailingSeparator(b);
    if (x == y) {
        return true;
    }
    struct stat sx {};
    struct stat sy {};
    return !x.isEmpty() && !y.isEmpty() && ::stat(QFile::encodeName(x).constData(), &sx) == 0 &&
           ::stat(QFile::encodeName(y).constData(), &sy) == 0 && S_ISDIR(sx.st_mode) &&
           sx.st_dev == sy.st_dev && sx.st_ino == sy.st_ino;
}

QString AddPathToMRU(QStringList& items, const QString& text, int depth) {
    const QString t = StripTrailingSeparator(text);
    for (qsizetype i = 0; i < items.size(); ++i) {
        // Names that differ in letter case are two directories here.
        if (items[i] == t) {
            items.removeAt(i);
            break;
        }
    }
    items.prepend(t);
    while (items.size() > depth && !items.isEmpty()) {
        items.removeLast();
    }
    return t;
}

} // namespace vimosync
