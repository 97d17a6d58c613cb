#include "support/LogFile.h"

#include "support/AppFiles.h"
#include "support/LangText.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>
#include <utility>

namespace vimosync {

namespace {

QDateTime SystemClock() {
    return QDateTime::currentDateTime();
}

struct LogState {
    std::mutex lock; // the log is meant for the main thread; the lock keeps a stray
                     // caller from writing through a descriptor being closed
    int fd = -1;
    QString name;
    LogClock clock = &SystemClock;
};

LogState& State() {
    static LogState s;
    return s;
}

QString DefaultLogName() {
    const QFileInfo fi(QCoreApplication::applicationFilePath());
    return AppFilePath(fi.completeBaseName(), QStringLiteral("log"), true);
}

// One entry, in the system's 8-bit encoding, as a single write so that lines of
// several processes appending to the same file do not interleave.
void WriteEntry(LogState& s, const QString& text) {
    const QString stamp = s.clock().toString(QStringLiteral("dd.MM.yy HH:mm:ss"));
    const QByteArray line = (stamp + QLatin1Char(' ') + text).toLocal8Bit() + "\r\n";
    ssize_t r;
    do {
        r = ::write(s.fd, line.constData(), static_cast<size_t>(line.size()));
    } while (r < 0 && errno == EINTR);
    // Errors are ignored: the log must never disturb the work it records.
}

} // namespace

LogClock SetLogClock(LogClock clock) {
    LogState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    const LogClock old = s.clock;
    s.clock = clock ? clock : &SystemClock;
    return old;
}

bool OpenLog(const QString& fileName, bool writeThrough) {
    LogState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.fd >= 0) {
        WriteEntry(s, Format(LangText::LogReopen, fileName));
        return true;
    }
    const QString name = fileName.isEmpty() ? DefaultLogName() : fileName;
    int flags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC;
    if (writeThrough) {
        flags |= O_DSYNC;
    }
    int fd;
    do {
        fd = ::open(QFile::encodeName(name).constData(), flags, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return false;
    }
    s.fd = fd;
    s.name = name;
    return true;
}

namespace {
thread_local TLogCollector* tCollector = nullptr;
} // namespace

TLogCollector::TLogCollector() : outer_(tCollector) {
    tCollector = this;
}

TLogCollector::~TLogCollector() {
    tCollector = outer_;
}

QStringList TLogCollector::Take() {
    return std::exchange(lines_, QStringList());
}

void WriteLogLines(const QStringList& lines) {
    for (const QString& line : lines) {
        WriteLog(line);
    }
}

void WriteLog(const QString& text) {
    if (tCollector != nullptr) {
        tCollector->lines_.append(text);
        return;
    }
    LogState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.fd >= 0) {
        WriteEntry(s, text);
    }
}

void CloseLog() {
    LogState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.fd >= 0) {
        ::close(s.fd);
        s.fd = -1;
    }
    s.name.clear();
}

bool LogIsOpen() {
    LogState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.fd >= 0;
}

QString LogFileName() {
    LogState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.name;
}

void TraceDebug(const QString& text) {
    const QString time = QLocale::system().toString(QTime::currentTime(), QLocale::LongFormat);
    qDebug().noquote() << time + QStringLiteral("> ") + text;
}

} // namespace vimosync
