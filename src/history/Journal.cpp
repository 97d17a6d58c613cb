#include "history/Journal.h"

#include "history/FileParts.h"
#include "support/Errors.h"
#include "support/LangText.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>

#include <algorithm>
#include <map>

namespace vimosync {

using files::encoded;

namespace {

constexpr const char* kSuffix = ".jsonl";
constexpr int kJournalVersion = 1;

// Local time with its offset, for the eye.
QString isoTime(const QDateTime& t) {
    return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

// The same time as numbers (milliseconds since the epoch and the offset from UTC), read
// back without a look at the time zone: the C library keeps that in state shared by
// every thread, and a journal may be read on any.
void putTime(QJsonObject& o, const char* key, const QDateTime& t) {
    o.insert(QLatin1String(key), isoTime(t));
    o.insert(QLatin1String(key) + QLatin1String("Ms"), t.toMSecsSinceEpoch());
    o.insert(QLatin1String(key) + QLatin1String("Offset"), t.offsetFromUtc());
}

QDateTime timeOf(const QJsonObject& o, const char* key) {
    const QJsonValue ms = o.value(QLatin1String(key) + QLatin1String("Ms"));
    if (!ms.isDouble()) {
        return {};
    }
    return QDateTime::fromMSecsSinceEpoch(
        ms.toInteger(), Qt::OffsetFromUTC,
        o.value(QLatin1String(key) + QLatin1String("Offset")).toInt());
}

TFileAction actionFrom(const QString& name, bool& ok) {
    ok = true;
    if (name == QLatin1String("created")) {
        return TFileAction::Created;
    }
    if (name == QLatin1String("replaced")) {
        return TFileAction::Replaced;
    }
    ok = name == QLatin1String("removed");
    return TFileAction::Removed;
}

} // namespace

QString JournalFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/vimosync/journal");
}

bool CanWriteJournal(const QString& folder, QString& error) {
    try {
        if (!QDir().mkpath(folder)) {
            files::Fail(LangText::CannotWriteFile, folder, errno ? errno : EACCES);
        }
        // Hidden, and of another extension: never taken for a journal.
        const QString probe =
            folder + QStringLiteral("/.write-test-%1").arg(QCoreApplication::applicationPid());
        const QByteArray p = encoded(probe);
        const int fd =
            ::open(p.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            files::Fail(LangText::CannotWriteFile, probe, errno);
        }
        int err = files::writeAllOf(fd, "{}\n", 3);
        if (!err && ::fdatasync(fd) != 0) {
            err = errno;
        }
        ::close(fd);
        ::unlink(p.constData());
        if (err) {
            files::Fail(LangText::CannotWriteFile, probe, err);
        }
    } catch (const Exception& e) {
        error = e.message();
        return false;
    }
    return true;
}

int PruneJournals(const QString& folder, int days, const QDateTime& now) {
    const std::vector<TJournalRun> runs = ReadJournals(folder, true); // oldest first
    std::map<QString, std::size_t> newest;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        newest[QDir::cleanPath(runs[i].Destination)] = i;
    }
    const QDateTime limit = now.addDays(-std::max(days, 0));
    int removed = 0;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const TJournalRun& run = runs[i];
        if (newest[QDir::cleanPath(run.Destination)] == i || !run.Started.isValid() ||
            run.Started >= limit) {
            continue;
        }
        if (QFile::remove(run.FilePath)) {
            ++removed;
        }
    }
    if (removed > 0) {
        files::flushFolder(folder);
    }
    return removed;
}

JournalHooks& JournalWriteHooks() {
    static JournalHooks hooks;
    return hooks;
}

QString ActionName(TFileAction action) {
    switch (action) {
    case TFileAction::Created:
        return QStringLiteral("created");
    case TFileAction::Replaced:
        return QStringLiteral("replaced");
    case TFileAction::Removed:
        break;
    }
    return QStringLiteral("removed");
}

// ---- Writing

TJournalWriter::~TJournalWriter() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void TJournalWriter::Create(const QString& folder, const QDateTime& when) {
    std::lock_guard lock(mutex_);
    if (!QDir().mkpath(folder)) {
        files::Fail(LangText::CannotWriteFile, folder, errno ? errno : EACCES);
    }
    // The journals name the user's folders and contacts: for the user's eyes only.
    ::chmod(encoded(folder).constData(), 0700);
    const QString stem = when.toUTC().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    for (int n = 0; n < 1000; ++n) {
        const QString name =
            stem + (n ? QStringLiteral("-%1").arg(n) : QString()) + QLatin1String(kSuffix);
        const QString path = folder + QLatin1Char('/') + name;
        const int fd = ::open(encoded(path).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
        if (fd >= 0) {
            fd_ = fd;
            path_ = path;
            files::flushFolder(folder); // a new journal must not vanish in a power cut
            return;
        }
        if (errno != EEXIST) {
            files::Fail(LangText::CannotWriteFile, path, errno);
        }
    }
    files::Fail(LangText::CannotWriteFile, folder, EEXIST);
}

void TJournalWriter::Open(const QString& path) {
    std::lock_guard lock(mutex_);
    const int fd = ::open(encoded(path).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) {
        files::Fail(LangText::CannotWriteFile, path, errno);
    }
    fd_ = fd;
    path_ = path;
}

void TJournalWriter::Append(const std::vector<QJsonObject>& lines, bool flush) {
    std::lock_guard lock(mutex_);
    QByteArray bytes;
    for (const QJsonObject& o : lines) {
        bytes += QJsonDocument(o).toJson(QJsonDocument::Compact);
        bytes += '\n';
    }
    // A line torn by a kill ends without its newline; the next one starts on a line of
    // its own, so only the torn one is lost.
    const JournalHooks& hooks = JournalWriteHooks();
    int err = hooks.fail != nullptr ? hooks.fail() : 0;
    if (!err) {
        err = files::writeAllOf(fd_, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    if (!err && flush && ::fdatasync(fd_) != 0) {
        err = errno;
    }
    if (err) {
        files::Fail(LangText::CannotWriteFile, path_, err);
    }
}

TSyncJournal::TSyncJournal(QString folder, Header header)
    : folder_(std::move(folder)), header_(std::move(header)) {}

void TSyncJournal::ensureOpen() {
    if (writer_.IsOpen()) {
        return;
    }
    writer_.Create(folder_, header_.Started);
    QJsonObject head{{QStringLiteral("t"), QStringLiteral("run")},
                     {QStringLiteral("version"), kJournalVersion},
                     {QStringLiteral("source"), header_.Source},
                     {QStringLiteral("destination"), header_.Destination},
                     {QStringLiteral("backup"), header_.Backup},
                     {QStringLiteral("settings"), header_.Settings}};
    if (header_.BothWays) {
        head.insert(QStringLiteral("bothWays"), true);
    }
    putTime(head, "started", header_.Started);
    std::vector<QJsonObject> lines{head};
    for (const QString& f : header_.Folders) {
        lines.push_back(
            {{QStringLiteral("t"), QStringLiteral("folder")}, {QStringLiteral("path"), f}});
    }
    writer_.Append(lines);
}

void TSyncJournal::Planned(std::vector<TJournalFile>& files) {
    if (files.empty()) {
        return;
    }
    std::lock_guard lock(mutex_);
    try {
        ensureOpen();
    } catch (const Exception& e) {
        throw JournalUnwritable(e.message());
    }
    const int set = nextSet_++;
    std::vector<QJsonObject> lines;
    for (TJournalFile& f : files) {
        f.Id = nextId_++;
        f.Set = set;
        QJsonObject o{{QStringLiteral("t"), QStringLiteral("file")},
                      {QStringLiteral("id"), f.Id},
                      {QStringLiteral("set"), f.Set},
                      {QStringLiteral("contact"), f.Contact},
                      {QStringLiteral("path"), f.Path},
                      {QStringLiteral("action"), ActionName(f.Action)}};
        if (f.Action != TFileAction::Removed) {
            o.insert(QStringLiteral("size"), f.NewSize);
            o.insert(QStringLiteral("sha256"), QString::fromLatin1(f.NewSha));
        }
        if (f.Action != TFileAction::Created) {
            o.insert(QStringLiteral("oldSize"), f.OldSize);
            o.insert(QStringLiteral("oldSha256"), QString::fromLatin1(f.OldSha));
        }
        if (!f.Kept.isEmpty()) {
            o.insert(QStringLiteral("kept"), f.Kept);
        }
        if (!f.Name.isEmpty()) {
            o.insert(QStringLiteral("name"), f.Name);
        }
        lines.push_back(o);
    }
    try {
        writer_.Append(lines);
    } catch (const Exception& e) {
        throw JournalUnwritable(e.message());
    }
}

void TSyncJournal::Finished(const std::vector<TJournalFile>& files) {
    if (files.empty()) {
        return;
    }
    std::vector<QJsonObject> lines;
    for (const TJournalFile& f : files) {
        QJsonObject o{{QStringLiteral("t"), QStringLiteral("done")}, {QStringLiteral("id"), f.Id}};
        if (!f.Trash.isEmpty()) {
            o.insert(QStringLiteral("trash"), f.Trash);
            o.insert(QStringLiteral("trashInfo"), f.TrashInfo);
        }
        lines.push_back(o);
    }
    std::lock_guard lock(mutex_);
    writer_.Append(lines, false);
}

void TSyncJournal::RolledBack(const std::vector<TJournalFile>& files) noexcept {
    if (files.empty()) {
        return;
    }
    std::vector<QJsonObject> lines;
    for (const TJournalFile& f : files) {
        lines.push_back(
            {{QStringLiteral("t"), QStringLiteral("rolledBack")}, {QStringLiteral("id"), f.Id}});
    }
    try {
        std::lock_guard lock(mutex_);
        writer_.Append(lines);
    } catch (...) {
        // The undo tells a file put back by its content: the line only spares it a look.
    }
}

void TSyncJournal::End(const QJsonObject& counts) {
    std::lock_guard lock(mutex_);
    if (!writer_.IsOpen()) {
        return;
    }
    QJsonObject o = counts;
    o.insert(QStringLiteral("t"), QStringLiteral("end"));
    putTime(o, "finished", QDateTime::currentDateTime());
    writer_.Append({o});
}

bool TSyncJournal::Written() const {
    std::lock_guard lock(mutex_);
    return writer_.IsOpen();
}

QString TSyncJournal::Path() const {
    std::lock_guard lock(mutex_);
    return writer_.Path();
}

// ---- Reading

bool ReadJournal(const QString& path, TJournalRun& run, QString& error, bool headerOnly) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        error = f.errorString();
        return false;
    }
    run = TJournalRun{};
    run.FilePath = path;
    run.Id = QFileInfo(path).completeBaseName();
    std::map<int, std::size_t> byId;
    bool header = false;
    const QList<QByteArray> lines =
        headerOnly ? QList<QByteArray>{f.readLine(1 << 20)} : f.readAll().split('\n');
    for (const QByteArray& line : lines) {
        QJsonParseError pe;
        const QJsonDocument doc = QJsonDocument::fromJson(line, &pe);
        if (pe.error != QJsonParseError::NoError || !doc.isObject()) {
            continue; // an empty or torn line
        }
        const QJsonObject o = doc.object();
        const QString t = o.value(QStringLiteral("t")).toString();
        const auto str = [&o](const char* key) { return o.value(QLatin1String(key)).toString(); };
        const auto file = [&]() -> TJournalFile* {
            const auto it = byId.find(o.value(QStringLiteral("id")).toInt());
            return it == byId.end() ? nullptr : &run.Files[it->second];
        };
        if (t == QLatin1String("run")) {
            header = true;
            run.Started = timeOf(o, "started");
            run.Source = str("source");
            run.Destination = str("destination");
            run.Backup = o.value(QStringLiteral("backup")).toBool(true);
            run.BothWays = o.value(QStringLiteral("bothWays")).toBool(false);
            run.Settings = o.value(QStringLiteral("settings")).toObject();
        } else if (t == QLatin1String("folder")) {
            run.Folders.append(str("path"));
        } else if (t == QLatin1String("file")) {
            TJournalFile jf;
            bool ok = false;
            jf.Id = o.value(QStringLiteral("id")).toInt();
            jf.Set = o.value(QStringLiteral("set")).toInt();
            jf.Contact = str("contact");
            jf.Path = str("path");
            jf.Name = str("name");
            jf.Action = actionFrom(str("action"), ok);
            jf.NewSize = o.value(QStringLiteral("size")).toInteger(-1);
            jf.NewSha = str("sha256").toLatin1();
            jf.OldSize = o.value(QStringLiteral("oldSize")).toInteger(-1);
            jf.OldSha = str("oldSha256").toLatin1();
            jf.Kept = str("kept");
            if (ok && !jf.Path.isEmpty() && byId.count(jf.Id) == 0) {
                byId[jf.Id] = run.Files.size();
                run.Files.push_back(jf);
            }
        } else if (t == QLatin1String("done")) {
            if (TJournalFile* jf = file()) {
                jf->Finished = true;
                jf->Trash = str("trash");
                jf->TrashInfo = str("trashInfo");
            }
        } else if (t == QLatin1String("rolledBack")) {
            if (TJournalFile* jf = file()) {
                jf->RolledBack = true;
            }
        } else if (t == QLatin1String("end")) {
            run.Finished = timeOf(o, "finished");
            run.Counts = o;
            for (const char* key : {"t", "finished", "finishedMs", "finishedOffset"}) {
                run.Counts.remove(QLatin1String(key));
            }
        } else if (t == QLatin1String("undoStart")) {
            run.UndoStarted = true;
        } else if (t == QLatin1String("undone")) {
            if (TJournalFile* jf = file()) {
                jf->Undone = str("result");
            }
        } else if (t == QLatin1String("undoEnd")) {
            run.Undone = true;
        }
    }
    if (!header) {
        error = QStringLiteral("no journal header");
        return false;
    }
    return true;
}

std::vector<TJournalRun> ReadJournals(const QString& folder, bool headerOnly) {
    std::vector<TJournalRun> runs;
    const QStringList names = QDir(folder).entryList({QStringLiteral("*") + QLatin1String(kSuffix)},
                                                     QDir::Files, QDir::Name);
    for (const QString& name : names) {
        TJournalRun run;
        QString error;
        if (ReadJournal(folder + QLatin1Char('/') + name, run, error, headerOnly)) {
            runs.push_back(std::move(run));
        }
    }
    std::stable_sort(runs.begin(), runs.end(), [](const TJournalRun& a, const TJournalRun& b) {
        return a.Started < b.Started;
    });
    return runs;
}

} // namespace vimosync
