// The names of the files of our own beside the histories, the record that names the
// history of each, and the tidying of what an interrupted save left.

#include "history/FileParts.h"

#include "support/LogFile.h"
#include "support/RecycleBin.h"

#include <QDir>
#include <QRandomGenerator>

#include <algorithm>
#include <cstring>
#include <vector>

namespace vimosync {

namespace files {

QString ownName(char kind) {
    static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString name = QLatin1String(kOwnPrefix) + QLatin1Char(kind) + QLatin1Char('-');
    for (int i = 0; i < kRandomLength; ++i) {
        name += QLatin1Char(digits[QRandomGenerator::global()->bounded(36)]);
    }
    return name;
}

// The kind letter of a name of exactly our form, else 0.
char ownKind(const QString& name) {
    const qsizetype prefix = qsizetype(std::strlen(kOwnPrefix));
    if (name.size() != prefix + 2 + kRandomLength || !name.startsWith(QLatin1String(kOwnPrefix)) ||
        name[prefix + 1] != QLatin1Char('-')) {
        return 0;
    }
    const char kind = name[prefix].toLatin1();
    if (kind != kNewContent && kind != kKept && kind != kRecord) {
        return 0;
    }
    for (qsizetype i = prefix + 2; i < name.size(); ++i) {
        const QChar c = name[i];
        if (!((c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
              (c >= QLatin1Char('0') && c <= QLatin1Char('9')))) {
            return 0;
        }
    }
    return kind;
}

bool isLegacyStaging(const QString& name) {
    const qsizetype prefix = qsizetype(std::strlen(kLegacyStagingPrefix));
    if (!name.startsWith(QLatin1String(kLegacyStagingPrefix)) || name.size() <= prefix ||
        name.size() > prefix + 13) {
        return false;
    }
    for (qsizetype i = prefix; i < name.size(); ++i) {
        const QChar c = name[i];
        if (!((c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
              (c >= QLatin1Char('0') && c <= QLatin1Char('9')))) {
            return false;
        }
    }
    return true;
}

// The leftovers a record names, the last line for each counting; false when the file
// is not a record of ours.
bool readRecord(const QString& path, std::map<QString, Leftover>& out, QStringList& named) {
    std::string bytes;
    QString error;
    if (!ReadWholeFileImpl(path, bytes, error, nullptr) || bytes.rfind(kRecordHeader, 0) != 0) {
        return false;
    }
    const QByteArray all = QByteArray::fromStdString(bytes).mid(qstrlen(kRecordHeader));
    const QList<QByteArray> lines = all.split('\n');
    // The last piece follows the last newline: a line cut short by a kill, if anything.
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QList<QByteArray> f = lines[i].split(' ');
        if (f.size() != 3) {
            continue;
        }
        const QString leftover = QFile::decodeName(f[0]);
        const QString history = QFile::decodeName(QByteArray::fromPercentEncoding(f[2]));
        if (!ownKind(leftover) || history.isEmpty() || history.contains(QLatin1Char('/')) ||
            history == QLatin1String(".") || history == QLatin1String("..")) {
            continue;
        }
        out[leftover] = {QString::fromLatin1(f[1]), history};
        named << leftover;
    }
    return true;
}

bool sameBytes(const QString& a, const QString& b) {
    std::string x, y;
    QString error;
    return ReadWholeFileImpl(a, x, error, nullptr) && ReadWholeFileImpl(b, y, error, nullptr) &&
           x == y;
}

} // namespace files

using namespace files;

namespace {

// Moves a leftover to the trash as file; false (logged) when the trash cannot take it.
bool trashLeftover(const QString& leftover, const QString& file) {
    try {
        MoveToRecycleBinAs(leftover, file);
        return true;
    } catch (const Exception& e) {
        WriteLog(Format(LangText::LogBackupError, shortName(file), e.message()));
        return false;
    }
}

// Clears one leftover whose record names its history.
bool tidyLeftover(const QString& path, const Leftover& l, const QString& history) {
    const QByteArray p = encoded(path);
    const QByteArray h = encoded(history);
    struct stat ps, hs;
    const bool stands = ::stat(h.constData(), &hs) == 0 && S_ISREG(hs.st_mode);
    if (stands && ::lstat(p.constData(), &ps) == 0 &&
        ((ps.st_ino == hs.st_ino && ps.st_dev == hs.st_dev) ||
         (ps.st_size == hs.st_size && sameBytes(path, history)))) {
        // A spare copy of what stands under the history's name.
        return ::unlink(p.constData()) == 0;
    }
    if (l.role == QLatin1String(kRoleOld) && ::lstat(h.constData(), &hs) != 0 && errno == ENOENT &&
        renameNew(path, history) == 0) {
        // The only copy of a history whose name is missing: the next run merges with it
        // rather than rebuild the history from the source alone.
        WriteLog(Format(LangText::LogRestoredLeftover, shortName(history)));
        return true;
    }
    return trashLeftover(path, history);
}

} // namespace

int TidyInterruptedSaves(const QString& folder) {
    const QDir dir(folder);
    int cleared = 0;
    const QStringList names =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    std::map<QString, Leftover> known;
    std::vector<std::pair<QString, QStringList>> records;
    QStringList leftovers;
    for (const QString& n : names) {
        const char kind = ownKind(n);
        struct stat st;
        if (!kind || ::lstat(encoded(dir.filePath(n)).constData(), &st) != 0 ||
            !S_ISREG(st.st_mode)) {
            continue;
        }
        if (kind != kRecord) {
            leftovers << n;
            continue;
        }
        QStringList named;
        if (readRecord(dir.filePath(n), known, named)) {
            records.emplace_back(n, named);
        } else if (st.st_size == 0) {
            ::unlink(encoded(dir.filePath(n)).constData()); // made, then the process killed
        } else {
            leftovers << n;
        }
    }
    for (const QString& n : leftovers) {
        const QString path = dir.filePath(n);
        const auto it = known.find(n);
        // With no record of its history, a leftover goes to the trash under its own name.
        const bool done = it == known.end()
                              ? trashLeftover(path, path)
                              : tidyLeftover(path, it->second, dir.filePath(it->second.history));
        cleared += done ? 1 : 0;
    }
    for (const auto& [record, named] : records) {
        const bool left = std::any_of(named.begin(), named.end(), [&](const QString& l) {
            struct stat st;
            return ::lstat(encoded(dir.filePath(l)).constData(), &st) == 0;
        });
        if (!left) {
            ::unlink(encoded(dir.filePath(record)).constData());
        }
    }
    for (const QString& s : dir.entryList({QLatin1String(kLegacyStagingPrefix) + '*'},
                                          QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        if (!isLegacyStaging(s)) {
            continue;
        }
        const QDir stage(dir.filePath(s));
        for (const QString& n : stage.entryList(QDir::Files | QDir::Hidden)) {
            cleared += trashLeftover(stage.filePath(n), dir.filePath(n)) ? 1 : 0;
        }
        dir.rmdir(s);
    }
    return cleared;
}

} // namespace vimosync
