#include "workflow/UnitMonitor.h"

#include "support/Errors.h"
#include "support/LangText.h"

#include <QDirIterator>

#include <sys/inotify.h>

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace vimosync {

namespace {

// Names of files and folders, attributes, size and last write: what makes the
// analysis of a directory out of date. Reading a file raises none of these.
constexpr std::uint32_t kWatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                     IN_ATTRIB | IN_MODIFY | IN_CLOSE_WRITE | IN_DELETE_SELF |
                                     IN_MOVE_SELF;

} // namespace

TMonitorTrd::TMonitorTrd(const QStringList& paths, QObject* target, std::function<void(int)> notify)
    : target_(target), notify_(std::move(notify)) {
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) {
        throw Exception(
            Format(LangText::MonitorCreateError, paths.isEmpty() ? QString() : paths.first()));
    }
    try {
        for (int i = 0; i < paths.size(); ++i) {
            addTree(paths[i], i);
        }
    } catch (...) {
        ::close(fd_);
        fd_ = -1;
        throw;
    }
    start();
}

TMonitorTrd::~TMonitorTrd() {
    requestInterruption();
    wait();
    // The thread has ended, and with it every use of the descriptor; the load makes that
    // order plain to a thread checker too.
    static_cast<void>(ended_.load(std::memory_order_acquire));
    if (fd_ >= 0) {
        ::close(fd_); // closing the descriptor removes every watch
        fd_ = -1;
    }
}

void TMonitorTrd::addTree(const QString& root, int index) {
    const auto add = [&](const QString& dir, bool isRoot) {
        const QByteArray native = QFile::encodeName(dir);
        const int wd = inotify_add_watch(fd_, native.constData(), kWatchMask | IN_ONLYDIR);
        if (wd < 0) {
            // A subfolder that went away between listing and watching is no reason to
            // refuse; the missing root, a full watch table or a refused access are.
            if (!isRoot && (errno == ENOENT || errno == ENOTDIR)) {
                return;
            }
            throw Exception(Format(LangText::MonitorCreateError, root));
        }
        const auto slot = static_cast<std::size_t>(wd);
        if (wdIndex_.size() <= slot) {
            wdIndex_.resize(slot + 1, -1);
        }
        // A folder in both trees reports under the lower index, as when both change.
        if (wdIndex_[slot] < 0) {
            wdIndex_[slot] = index;
        }
    };
    add(root, true);
    QDirIterator it(root, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        add(it.next(), false);
    }
}

void TMonitorTrd::run() {
    struct TEnded {
        std::atomic<bool>& flag;
        ~TEnded() { flag.store(true, std::memory_order_release); }
    } ended{ended_};
    if (fd_ < 0 || wdIndex_.empty()) {
        return;
    }
    alignas(inotify_event) char buf[16 * 1024];
    while (!isInterruptionRequested()) {
        pollfd p{fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, kWaitMs);
        if (r < 0) {
            if (errno == EINTR) {
                continue;
            }
            qWarning("%s", LangText::MonitorWaitFailed);
            return;
        }
        if (r == 0) {
            continue;
        }
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n <= 0) {
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                continue;
            }
            qWarning("%s", LangText::MonitorWaitFailed);
            return;
        }
        int changed = -1;
        for (ssize_t off = 0; off < n;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(buf + off);
            off += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
            int index = -1;
            if (ev->mask & IN_Q_OVERFLOW) {
                index = 0; // events were lost: something changed, the source is reported
            } else if ((ev->mask & kWatchMask) && ev->wd >= 0 &&
                       static_cast<std::size_t>(ev->wd) < wdIndex_.size()) {
                index = wdIndex_[static_cast<std::size_t>(ev->wd)];
            }
            if (index >= 0 && (changed < 0 || index < changed)) {
                changed = index;
            }
        }
        if (changed >= 0) {
            if (QObject* t = target_.data()) {
                QMetaObject::invokeMethod(
                    t, [notify = notify_, changed] { notify(changed); }, Qt::QueuedConnection);
            }
            return; // one notice per monitor
        }
    }
}

} // namespace vimosync
