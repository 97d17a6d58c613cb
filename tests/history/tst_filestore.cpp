// The file-system side of saving on its own: reads and replacements that never touch a
// special file, a set of files replaced so that each history stands at every moment
// (with hard links and without, killed or failing at any step, its record on the disk
// before a name changes), what a killed save leaves and how the next run clears it, a
// file that another program changed, and reads: the identity of the file read, a binary
// header whole, memory reused from one read to the next.

#include "common/TestUtil.h"
#include "history/FileStore.h"
#include "support/Errors.h"
#include "support/LogFile.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vimosync;
using namespace vimosync::test;

// A sanitizer brings an allocator of its own, which keeps freed memory aside on purpose.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define SANITIZER_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define SANITIZER_ALLOCATOR 1
#endif
#endif

// A file system without hard links (a memory card) for the code under test: these take
// the place of the C library's calls in this program while g_noLinks is set.
namespace {
std::atomic<bool> g_noLinks{false};
}
extern "C" int linkat(int fromDir, const char* from, int toDir, const char* to,
                      int flags) noexcept {
    if (g_noLinks) {
        errno = EPERM;
        return -1;
    }
    return static_cast<int>(::syscall(SYS_linkat, fromDir, from, toDir, to, flags));
}
extern "C" int link(const char* from, const char* to) noexcept {
    return linkat(AT_FDCWD, from, AT_FDCWD, to, 0);
}

// What reached the disk: the size of each file at its last fdatasync, by its real path.
// The code under test calls this in place of the C library's.
namespace {
std::mutex g_syncedLock;
std::map<QString, qint64> g_synced;
} // namespace
extern "C" int fdatasync(int fd) noexcept {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[4096];
    const ssize_t n = ::readlink(link, target, sizeof target);
    struct stat st;
    if (n > 0 && ::fstat(fd, &st) == 0) {
        const std::lock_guard<std::mutex> guard(g_syncedLock);
        g_synced[QString::fromLocal8Bit(target, n)] = st.st_size;
    }
    return static_cast<int>(::syscall(SYS_fdatasync, fd));
}

namespace {

QStringList entries(const QString& dir) {
    return QDir(dir).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Every file under the folder with its bytes, hidden ones included.
std::map<QString, QByteArray> snapshot(const QString& root) {
    std::map<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString p = it.next();
        files[p] = readAll(p);
    }
    return files;
}

QByteArray bytesAt(const QString& path) {
    return QFileInfo::exists(path) ? readAll(path) : QByteArray("<missing>");
}

// Runs f on a thread of its own: one still running after a while hangs, and the test
// ends there rather than wait for ever.
template <typename F> auto withinSeconds(int seconds, F f) {
    auto running = std::async(std::launch::async, f);
    if (running.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
        qFatal("still running after %d seconds", seconds);
    }
    return running.get();
}

long minorFaults() {
    struct rusage u;
    ::getrusage(RUSAGE_SELF, &u);
    return u.ru_minflt;
}

// A binary file's header with texts of the given lengths.
QByteArray binaryHeader(int l1, int l2) {
    QByteArray h(46, 'Z');
    h[44] = char(l1 >> 8);
    h[45] = char(l1 & 255);
    h += QByteArray(l1, 'u');
    h += char(l2 >> 8);
    h += char(l2 & 255);
    h += QByteArray(l2, 'n');
    return h;
}

// Another program's write of the same size, a later tick of the file system's clock.
void rewriteFirstByte(const QString& path) {
    ::usleep(30000);
    QByteArray bytes = readAll(path);
    bytes[0] = 'X';
    writeAll(path, bytes);
}

// The hooks' step counter: the save stops (killed) or fails at step g_at.
int g_step = 0;
int g_at = -1;
bool g_reached = false;
bool killAtStep(SaveStep, const QString&) {
    if (g_step++ == g_at) {
        ::_exit(0); // as if killed: nothing more runs, no destructor
    }
    return false;
}
bool failAtStep(SaveStep, const QString&) {
    const bool now = g_step++ == g_at;
    g_reached = g_reached || now;
    return now;
}

// One save of several files: two histories replaced (one with a name of 250 bytes, the
// length limit leaves 5), one made, one archive rewritten and one removed.
struct Scene {
    QString dir, archive;
    QString longName, b, made, part, gone;
    std::map<QString, QByteArray> before, after; // "<missing>" where none is
    std::map<QString, FileIdentity> read;

    explicit Scene(const QString& root, int n) {
        dir = root + QStringLiteral("/s%1").arg(n);
        archive = dir + QStringLiteral("/Archive");
        QDir().mkpath(archive);
        longName = dir + '/' + QString(246, QLatin1Char('a')) + QStringLiteral(".zmt");
        b = dir + QStringLiteral("/b.zmt");
        made = dir + QStringLiteral("/c.txt");
        part = archive + QStringLiteral("/b_1.ahf");
        gone = archive + QStringLiteral("/b_2.ahf");
        // Numbered contents: each run's old files are told apart in the trash.
        const QByteArray tag = QByteArray::number(n) + ' ' +
                               QByteArray::number(QRandomGenerator::global()->generate());
        const QByteArray big(70000, 'b'); // a copy of it takes several reads
        before = {{longName, "old long " + tag},
                  {b, "old b " + tag + big},
                  {made, "<missing>"},
                  {part, "old part " + tag},
                  {gone, "old gone " + tag}};
        after = {{longName, "new long"},
                 {b, "new b" + big + big},
                 {made, "new c"},
                 {part, "new part"},
                 {gone, "<missing>"}};
        for (const auto& [path, bytes] : before) {
            if (bytes != "<missing>") {
                writeAll(path, bytes);
            }
            read[path] = IdentityOf(path);
        }
    }

    void save(bool backup) const {
        FileReplacement files;
        for (const QString& p : {longName, part, b, made}) {
            files.stage(p, after.at(p).toStdString(), read.at(p));
        }
        files.remove(part, read.at(part));
        files.remove(gone, read.at(gone));
        bool removed = false, replaced = false;
        files.commit(backup, removed, replaced);
    }

    std::map<QString, QByteArray> now() const {
        std::map<QString, QByteArray> m;
        for (const auto& [path, bytes] : before) {
            m[path] = bytesAt(path);
        }
        return m;
    }

    // Only the histories, none of our hidden files.
    bool onlyHistories() const {
        QStringList names = entries(dir) + entries(archive);
        names.removeAll(QStringLiteral("Archive"));
        for (const QString& n : names) {
            if (n.startsWith('.')) {
                return false;
            }
        }
        return true;
    }
};

} // namespace

class TestFileStore : public QObject {
    Q_OBJECT

    QTemporaryDir root_;
    QString trash_; // the trash's files/, on the same device as the histories
    int scene_ = 0;

    // Every file in the trash, by content.
    QSet<QByteArray> inTrash() const {
        QSet<QByteArray> all;
        QDirIterator it(trash_, QDir::Files | QDir::Hidden);
        while (it.hasNext()) {
            all.insert(readAll(it.next()));
        }
        return all;
    }

private slots:
    void initTestCase() {
        const QString xdg = root_.filePath(QStringLiteral("xdg"));
        QDir().mkpath(xdg);
        qputenv("XDG_DATA_HOME", xdg.toLocal8Bit());
        trash_ = xdg + QStringLiteral("/Trash/files");
    }
    void init() {
        g_noLinks = false;
        g_step = 0;
        g_at = -1;
        g_reached = false;
        HistorySaveHooks().fail = nullptr;
    }
    void cleanup() {
        g_noLinks = false;
        HistorySaveHooks().fail = nullptr;
    }

    // A FIFO, device, socket or folder named like a history is never opened for reading
    // (a FIFO would hang it) nor replaced or removed; the error names it.
    void specialFilesAreLeftAlone_data() {
        QTest::addColumn<QString>("kind");
        for (const char* k :
             {"fifo", "socket", "folder", "device", "link to a device", "dangling link"}) {
            QTest::newRow(k) << QString::fromLatin1(k);
        }
    }
    void specialFilesAreLeftAlone() {
        QFETCH(QString, kind);
        const QString dir = root_.filePath(QStringLiteral("special-") + kind);
        QVERIFY(QDir().mkpath(dir));
        const QString path = dir + QStringLiteral("/12345.txt");
        const QByteArray p = QFile::encodeName(path);
        if (kind == "fifo") {
            QCOMPARE(::mkfifo(p.constData(), 0600), 0);
        } else if (kind == "socket") {
            const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un a{};
            a.sun_family = AF_UNIX;
            QVERIFY(std::size_t(p.size()) < sizeof a.sun_path);
            std::memcpy(a.sun_path, p.constData(), std::size_t(p.size()));
            QCOMPARE(::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
            ::close(s);
        } else if (kind == "folder") {
            QVERIFY(QDir().mkpath(path));
        } else if (kind == "device") {
            if (::mknod(p.constData(), S_IFCHR | 0600, makedev(1, 3)) != 0) {
                QSKIP("cannot make a device here (needs root)");
            }
        } else if (kind == "link to a device") {
            QVERIFY(QFile::link(QStringLiteral("/dev/null"), path));
        } else {
            QVERIFY(QFile::link(dir + QStringLiteral("/nowhere.txt"), path));
        }
        struct stat was;
        QCOMPARE(::lstat(p.constData(), &was), 0);

        std::string bytes;
        QString error;
        const bool read = withinSeconds(10, [&] { return ReadWholeFile(path, bytes, error); });
        QVERIFY(!read);
        if (kind != "dangling link") {
            QCOMPARE(error, QStringLiteral("not a regular file"));
        }
        QCOMPARE(withinSeconds(10, [&] { return ReadBinaryHeaderBytes(path); }), std::string());

        for (const bool asRemoval : {false, true}) {
            QString message;
            withinSeconds(10, [&] {
                try {
                    FileReplacement files;
                    if (asRemoval) {
                        files.stage(dir + QStringLiteral("/other.txt"), "new");
                        files.remove(path);
                    } else {
                        files.stage(path, "new");
                    }
                    bool removed = false, replaced = false;
                    files.commit(true, removed, replaced);
                } catch (const Exception& e) {
                    message = e.message();
                }
            });
            QVERIFY2(message.contains(path) && message.contains("not a regular file"),
                     qPrintable(message));
            struct stat is;
            QCOMPARE(::lstat(p.constData(), &is), 0);
            QCOMPARE(is.st_mode, was.st_mode);
            QCOMPARE(entries(dir), QStringList{QStringLiteral("12345.txt")});
        }
    }

    // A save killed or failing at any of its steps (a write, flush, link, copy, rename,
    // the record, a folder's flush) leaves every history with its old or its new content,
    // never missing; a failure is an error naming the file, with every file as it was,
    // and after the new files stand only a backup can fail, which is logged. The next
    // run's tidying clears what a killed save left without touching a history, and every
    // old content that left its name reaches the trash when backups are on.
    void interruptedAtAnyStep_data() {
        QTest::addColumn<bool>("links");
        QTest::addColumn<bool>("backup");
        QTest::addColumn<bool>("kill");
        for (const bool kill : {true, false}) {
            for (const bool links : {true, false}) {
                for (const bool backup : {false, true}) {
                    QTest::addRow("%s, %s, trash %s", kill ? "killed" : "failing",
                                  links ? "hard links" : "no hard links", backup ? "on" : "off")
                        << links << backup << kill;
                }
            }
        }
    }
    void interruptedAtAnyStep() {
        QFETCH(bool, links);
        QFETCH(bool, backup);
        QFETCH(bool, kill);
        g_noLinks = !links;
        const QString log = root_.filePath(QStringLiteral("steps-%1.log").arg(++scene_));
        QVERIFY(OpenLog(log));
        const auto closeLog = qScopeGuard([] { CloseLog(); });
        for (int k = 0;; ++k) {
            QVERIFY(k < 500);
            const Scene s(root_.path(), ++scene_);
            const auto before = snapshot(s.dir);
            g_step = 0;
            g_at = k;
            g_reached = false;
            QString error;
            if (kill) {
                const pid_t pid = ::fork();
                if (pid == 0) {
                    HistorySaveHooks().fail = killAtStep;
                    try {
                        s.save(backup);
                    } catch (...) {
                        ::_exit(2);
                    }
                    ::_exit(3);
                }
                int status = 0;
                QCOMPARE(::waitpid(pid, &status, 0), pid);
                QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) != 2);
                g_reached = WEXITSTATUS(status) == 0;
            } else {
                HistorySaveHooks().fail = failAtStep;
                try {
                    s.save(backup);
                } catch (const Exception& e) {
                    error = e.message();
                }
                HistorySaveHooks().fail = nullptr;
            }
            const QString at = QStringLiteral("step %1").arg(k);
            const auto left = s.now();
            for (const auto& [path, bytes] : left) {
                QVERIFY2(bytes == s.before.at(path) || bytes == s.after.at(path),
                         qPrintable(at + ": " + path));
            }
            QVERIFY2(left.at(s.longName) != "<missing>" && left.at(s.b) != "<missing>",
                     qPrintable(at));
            if (left.at(s.gone) == "<missing>") {
                QVERIFY(left == s.after); // archives go only once every new file stands
            }
            if (!error.isEmpty()) {
                QVERIFY2(error.contains(s.dir), qPrintable(error));
                QVERIFY2(snapshot(s.dir) == before, qPrintable(at));
            } else if (!kill && g_reached) {
                QVERIFY(backup);
                QVERIFY(left == s.after);
                QVERIFY(readAll(log).contains("Error while backuping file"));
            }
            TidyInterruptedSaves(s.dir);
            TidyInterruptedSaves(s.archive);
            QVERIFY2(s.now() == left, qPrintable(at));
            QVERIFY2(s.onlyHistories(),
                     qPrintable(at + ": " + (entries(s.dir) + entries(s.archive)).join(' ')));
            const QSet<QByteArray> trashed = inTrash();
            for (const auto& [path, bytes] : left) {
                const QByteArray& old = s.before.at(path);
                QVERIFY2(!backup || !kill || bytes == old || old == "<missing>" ||
                             trashed.contains(old),
                         qPrintable(at + ": " + path));
            }
            QVERIFY(QDir(QFileInfo(trash_).path()).removeRecursively());
            if (!g_reached) {
                QVERIFY(left == s.after);
                QVERIFY(k > 20);
                break;
            }
        }
    }

    // After a power cut the next run finds the leftovers of a save, and a history's old
    // content, by the folder's record: before any name changes (a new content taking its
    // history's name, an old archive leaving its) every line of the record is on the disk.
    void recordIsOnTheDiskBeforeAnyNameChanges_data() {
        QTest::addColumn<bool>("links");
        QTest::newRow("hard links") << true;
        QTest::newRow("no hard links") << false;
    }
    void recordIsOnTheDiskBeforeAnyNameChanges() {
        QFETCH(bool, links);
        g_noLinks = !links;
        const Scene s(root_.path(), ++scene_);
        static const Scene* scene;
        static QStringList unsynced;
        static int looks;
        scene = &s;
        unsynced.clear();
        looks = 0;
        HistorySaveHooks().fail = [](SaveStep step, const QString&) {
            if (step != SaveStep::Replace && step != SaveStep::RemoveOld) {
                return false;
            }
            for (const QString& dir : {scene->dir, scene->archive}) {
                for (const QString& n : QDir(dir).entryList({QStringLiteral(".vimosync-r-*")},
                                                            QDir::Files | QDir::Hidden)) {
                    const QFileInfo record(dir + '/' + n);
                    const std::lock_guard<std::mutex> guard(g_syncedLock);
                    const auto it = g_synced.find(record.canonicalFilePath());
                    ++looks;
                    if (it == g_synced.end() || it->second != record.size()) {
                        unsynced << n;
                    }
                }
            }
            return false;
        };
        s.save(true);
        QCOMPARE(unsynced, QStringList());
        QVERIFY(looks >= 5); // four new files and one old archive, in two folders
        QVERIFY(s.now() == s.after);
        QVERIFY(s.onlyHistories());
    }

    // A read gives the identity IdentityOf gives for the same path: the file's through a
    // link, what stands there when that is no regular file, none where nothing stands.
    void readGivesTheIdentityOfWhatItRead() {
        const QString dir = root_.filePath(QStringLiteral("identity"));
        QVERIFY(QDir().mkpath(dir));
        const QString file = dir + QStringLiteral("/a.zmt");
        const QString link = dir + QStringLiteral("/b.zmt");
        const QString fifo = dir + QStringLiteral("/c.zmt");
        const QString missing = dir + QStringLiteral("/d.zmt");
        writeAll(file, "content");
        QVERIFY(QFile::link(file, link));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        for (const auto& [path, readable] :
             {std::pair{file, true}, {link, true}, {fifo, false}, {missing, false}}) {
            std::string bytes;
            QString error;
            FileIdentity id;
            const bool read =
                withinSeconds(10, [&] { return ReadWholeFile(path, bytes, error, id); });
            QCOMPARE(read, readable);
            QVERIFY2(id == IdentityOf(path), qPrintable(path));
            QCOMPARE(id.exists, path != missing);
            if (readable) {
                QCOMPARE(bytes, std::string("content"));
            }
        }
        // Another file under the name is told apart.
        std::string bytes;
        QString error;
        FileIdentity before, after;
        QVERIFY(ReadWholeFile(file, bytes, error, before));
        writeAll(dir + QStringLiteral("/new"), "content");
        QVERIFY(::rename(QFile::encodeName(dir + QStringLiteral("/new")).constData(),
                         QFile::encodeName(file).constData()) == 0);
        QVERIFY(ReadWholeFile(link, bytes, error, after));
        QVERIFY(after.exists && !(after == before));
    }

    // The header of a binary file is read to the end of its second text, whatever the
    // texts' lengths; a file cut short gives what it holds.
    void headerIsReadToItsEnd_data() {
        QTest::addColumn<int>("l1");
        QTest::addColumn<int>("l2");
        QTest::addColumn<int>("cut"); // the file's length, -1 for a header and records
        QTest::newRow("short texts") << 6 << 8 << -1;
        QTest::newRow("first text long") << 1500 << 10 << -1;
        QTest::newRow("second text crossing 1 KB") << 900 << 300 << -1;
        QTest::newRow("longest texts") << 65535 << 65535 << -1;
        QTest::newRow("no texts") << 0 << 0 << -1;
        QTest::newRow("cut in the fixed part") << 6 << 8 << 30;
        QTest::newRow("cut in the first text") << 1500 << 10 << 46 + 700;
        QTest::newRow("cut before the second length") << 900 << 300 << 46 + 901;
        QTest::newRow("cut in the second text") << 900 << 300 << 46 + 902 + 100;
        QTest::newRow("nothing after the header") << 900 << 300 << 46 + 902 + 300;
        QTest::newRow("empty") << 0 << 0 << 0;
    }
    void headerIsReadToItsEnd() {
        QFETCH(int, l1);
        QFETCH(int, l2);
        QFETCH(int, cut);
        const QByteArray header = binaryHeader(l1, l2);
        QByteArray file = header + QByteArray(5000, 'r');
        if (cut >= 0) {
            file.truncate(cut);
        }
        const QString path = root_.filePath(QStringLiteral("header.zmt"));
        writeAll(path, file);
        QCOMPARE(QByteArray::fromStdString(ReadBinaryHeaderBytes(path)), file.left(header.size()));
    }

    // Histories read one after another, each buffer freed when the next contact comes,
    // reuse the memory of the ones before: the kernel hands out (and zero-fills) a page
    // when the process first needs that much, not again for every file.
    void readingManyFilesReusesMemory() {
#if !defined(__GLIBC__) || defined(SANITIZER_ALLOCATOR)
        QSKIP("the limits set are the GNU C library allocator's");
#endif
        const QString dir = root_.filePath(QStringLiteral("many"));
        QVERIFY(QDir().mkpath(dir));
        constexpr int kFiles = 3;
        constexpr qsizetype kSize = 300 * 1024;
        for (int i = 0; i < kFiles; ++i) {
            writeAll(dir + QStringLiteral("/%1.zmt").arg(i), QByteArray(kSize, char('a' + i)));
        }
        // One contact: both sides and the result held at once, and an array of messages.
        const auto contact = [&] {
            std::vector<std::string> held(kFiles);
            for (int i = 0; i < kFiles; ++i) {
                QString error;
                if (!ReadWholeFile(dir + QStringLiteral("/%1.zmt").arg(i), held[i], error)) {
                    return false;
                }
            }
            const std::vector<char> messages(std::size_t(kSize), 1);
            return messages.back() == 1;
        };
        QVERIFY(contact());
        const long before = minorFaults();
        constexpr int kContacts = 20;
        for (int i = 0; i < kContacts; ++i) {
            QVERIFY(contact());
        }
        // Memory handed back and taken anew would fault in every page of every contact.
        const long pages = kContacts * (kFiles + 1) * kSize / 4096;
        const long faults = minorFaults() - before;
        QVERIFY2(faults < pages / 10,
                 qPrintable(QStringLiteral("%1 page faults, %2 pages").arg(faults).arg(pages)));
    }

    // Tidying touches only names of exactly the form the save makes; a user's own
    // hidden files that merely look like leftovers stay as they are.
    void tidyingTouchesOnlyOurNames() {
        const QString dir = root_.filePath(QStringLiteral("own-names"));
        QVERIFY(QDir().mkpath(dir + QStringLiteral("/.vimosync-k-0123456789abcdef")));
        const QStringList look = {
            QStringLiteral("notes.txt"),
            QStringLiteral(".notes.txt.tmp-draft"),
            QStringLiteral(".notes.txt.keep-1"),
            QStringLiteral(".vimosync-n-0123456789abcde"),
            QStringLiteral(".vimosync-n-0123456789abcdef0"),
            QStringLiteral(".vimosync-n-0123456789ABCDEF"),
            QStringLiteral(".vimosync-x-0123456789abcdef"),
            QStringLiteral(".vimosync-n_0123456789abcdef"),
            QStringLiteral(".vimosync-backup-my notes"),
        };
        for (const QString& n : look) {
            writeAll(dir + '/' + n, n.toUtf8());
        }
        const auto before = snapshot(dir);
        const QStringList names = entries(dir);
        QCOMPARE(TidyInterruptedSaves(dir), 0);
        QVERIFY(snapshot(dir) == before);
        QCOMPARE(entries(dir), names);
    }

    // A leftover whose history is gone is no spare: the old content of a history whose
    // name is missing is put back under it; one with no record of its history goes to
    // the trash under its own name, never away.
    void tidyingKeepsTheOnlyCopy_data() {
        QTest::addColumn<bool>("links");
        QTest::newRow("hard links") << true;
        QTest::newRow("no hard links") << false;
    }
    void tidyingKeepsTheOnlyCopy() {
        QFETCH(bool, links);
        g_noLinks = !links;
        const Scene s(root_.path(), ++scene_);
        const pid_t pid = ::fork();
        if (pid == 0) {
            // Killed when the new contents are written and the old ones kept.
            HistorySaveHooks().fail = [](SaveStep step, const QString&) {
                if (step == SaveStep::Replace) {
                    ::_exit(0);
                }
                return false;
            };
            s.save(false);
            ::_exit(3);
        }
        int status = 0;
        QCOMPARE(::waitpid(pid, &status, 0), pid);
        QVERIFY(s.now() == s.before);
        // The history's name is lost meanwhile (a user, another program).
        QVERIFY(QFile::remove(s.b));
        const QString stray = s.dir + QStringLiteral("/.vimosync-n-aaaaaaaaaaaaaaaa");
        writeAll(stray, "no record names me");
        TidyInterruptedSaves(s.dir);
        TidyInterruptedSaves(s.archive);
        QCOMPARE(bytesAt(s.b), s.before.at(s.b));
        QCOMPARE(bytesAt(s.longName), s.before.at(s.longName));
        QVERIFY(s.onlyHistories());
        QVERIFY(inTrash().contains("no record names me"));
    }

    // Another program writing a file between the reading and the commit: the commit
    // throws ChangedMeanwhile, naming it, and every file stays as it was.
    void anotherWriterStopsTheCommit_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("rewritten, same size") << "rewrite";
        QTest::newRow("made where none was") << "make";
        QTest::newRow("old archive rewritten") << "archive";
        QTest::newRow("rewritten while the first new file takes its name") << "during";
    }
    void anotherWriterStopsTheCommit() {
        QFETCH(QString, how);
        const Scene s(root_.path(), ++scene_);
        const QString changed = how == "make" ? s.made : how == "archive" ? s.gone : s.b;
        static QString during;
        during.clear();
        if (how == "rewrite" || how == "archive") {
            rewriteFirstByte(changed);
        } else if (how == "make") {
            writeAll(changed, "made by another program");
        } else {
            during = changed;
            HistorySaveHooks().fail = [](SaveStep step, const QString& target) {
                if (step == SaveStep::Replace && !during.isEmpty() && target != during) {
                    rewriteFirstByte(during);
                    during.clear();
                }
                return false;
            };
        }
        const auto before = how == "during" ? std::map<QString, QByteArray>() : snapshot(s.dir);
        QString path;
        try {
            s.save(true);
        } catch (const ChangedMeanwhile& e) {
            path = e.path();
            QVERIFY(e.message().contains(changed));
        }
        QCOMPARE(path, changed);
        if (how == "during") {
            auto expected = s.before;
            expected[s.b][0] = 'X';
            QVERIFY(s.now() == expected);
        } else {
            QVERIFY(snapshot(s.dir) == before);
        }
        QVERIFY(s.onlyHistories());
    }
};

QTEST_GUILESS_MAIN(TestFileStore)
#include "tst_filestore.moc"
