// Large pages for the big blocks of a contact: the advice covers the block it was given
// for and nothing around it, small blocks in the shared heap get none, and the blocks
// hold what they held (a file read whole, the elements already in a vector).

#include "history/FileStore.h"
#include "history/Model.h"
#include "support/HeapReuse.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

using namespace vimosync;

namespace {

constexpr std::size_t kLarge = 40u * 1024 * 1024;

struct Mapping {
    std::uintptr_t from = 0;
    std::uintptr_t to = 0;
    bool largePages = false; // the "hg" flag: advised for large pages
};

// The mapping of this process that holds the address, from /proc/self/smaps.
std::optional<Mapping> MappingOf(const void* p) {
    QFile smaps(QStringLiteral("/proc/self/smaps"));
    if (!smaps.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return std::nullopt;
    }
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    std::optional<Mapping> found;
    for (QByteArray line = smaps.readLine(); !line.isEmpty(); line = smaps.readLine()) {
        unsigned long from = 0;
        unsigned long to = 0;
        if (std::sscanf(line.constData(), "%lx-%lx ", &from, &to) == 2) {
            if (found) {
                break; // the next mapping started without flags: should not happen
            }
            if (at >= from && at < to) {
                found = Mapping{from, to, false};
            }
        } else if (found && line.startsWith("VmFlags:")) {
            found->largePages = line.contains(" hg");
            return found;
        }
    }
    return found;
}

bool LargePagesKnown() {
#if defined(__linux__)
    return QFile::exists(QStringLiteral("/sys/kernel/mm/transparent_hugepage/enabled")) &&
           QFile::exists(QStringLiteral("/proc/self/smaps"));
#else
    return false;
#endif
}

} // namespace

class TestHeapReuse : public QObject {
    Q_OBJECT

private slots:
    void largeVectorIsAdvisedWithinItsBlock();
    void smallVectorIsLeftAlone();
    void reserveKeepsTheElements();
    void largeFileReadsWhole();
    void keptBuffersAreTheLargest();
    void nextContactReusesTheBuffers();
};

void TestHeapReuse::largeVectorIsAdvisedWithinItsBlock() {
    if (!LargePagesKnown()) {
        QSKIP("no large pages on this system");
    }
    std::vector<std::uint64_t> v;
    ReserveLarge(v, kLarge / sizeof(std::uint64_t));
    const auto begin = reinterpret_cast<std::uintptr_t>(v.data());
    const auto end = begin + v.capacity() * sizeof(std::uint64_t);
    const auto mid = MappingOf(v.data() + v.capacity() / 2);
    QVERIFY(mid);
    QVERIFY(mid->largePages);
    // The advised part lies inside the block: the allocator's own bytes before it and
    // whatever is mapped after it keep their pages.
    QVERIFY(mid->from >= begin - begin % 4096);
    QVERIFY(mid->to <= end + 4095);
    v.resize(v.capacity(), 7);
    QCOMPARE(v.back(), std::uint64_t(7));
}

void TestHeapReuse::smallVectorIsLeftAlone() {
    if (!LargePagesKnown()) {
        QSKIP("no large pages on this system");
    }
    KeepFreedMemoryForReuse(); // as the program runs: blocks of this size in the heap
    std::vector<char> v;
    ReserveLarge(v, 1024 * 1024);
    const auto m = MappingOf(v.data() + v.capacity() / 2);
    QVERIFY(m);
    QVERIFY(!m->largePages);
}

void TestHeapReuse::reserveKeepsTheElements() {
    std::vector<int> v{1, 2, 3};
    ReserveLarge(v, kLarge / sizeof(int));
    QVERIFY(v.capacity() >= kLarge / sizeof(int));
    QCOMPARE(v, (std::vector<int>{1, 2, 3}));
    // Less than there is already: nothing changes.
    const int* data = v.data();
    ReserveLarge(v, 2);
    QCOMPARE(v.data(), data);
    QCOMPARE(v.size(), std::size_t(3));
}

void TestHeapReuse::largeFileReadsWhole() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.zmt"));
    std::string bytes(kLarge + 12345, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>((i * 131) >> 7);
    }
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(bytes.data(), static_cast<qint64>(bytes.size())),
                 static_cast<qint64>(bytes.size()));
    }
    // Read into a buffer that held something longer before.
    std::string out(kLarge * 2, 'x');
    QString error;
    QVERIFY(ReadWholeFile(path, out, error));
    QVERIFY(out == bytes);
    if (LargePagesKnown()) {
        std::string fresh;
        QVERIFY(ReadWholeFile(path, fresh, error));
        QVERIFY(fresh == bytes);
        const auto m = MappingOf(fresh.data() + fresh.size() / 2);
        QVERIFY(m && m->largePages);
    }
}

// At most three large buffers are kept, the largest ones; small ones never; a buffer is
// taken only by a request it has room for, the smallest that fits.
void TestHeapReuse::keptBuffersAreTheLargest() {
    using Pool = TSpareBuffers<std::vector<char>>;
    Pool& pool = Pool::Instance();
    pool.Clear();
    const auto large = [](std::size_t mb) {
        std::vector<char> v;
        v.reserve(mb * 1024 * 1024);
        v.push_back('x');
        return v;
    };
    std::vector<char> small(1024, 'x');
    pool.Give(std::move(small));
    QCOMPARE(pool.Count(), std::size_t(0));
    for (const std::size_t mb : {40u, 70u, 50u, 60u}) {
        pool.Give(large(mb));
    }
    QCOMPARE(pool.Count(), std::size_t(3)); // the 40 MB one went
    std::vector<char> v;
    QVERIFY(!pool.Take(v, 80u * 1024 * 1024));
    QVERIFY(!pool.Take(v, 1024)); // small requests take nothing
    QVERIFY(pool.Take(v, 55u * 1024 * 1024));
    QCOMPARE(v.capacity(), std::size_t(60) * 1024 * 1024);
    QVERIFY(v.empty());
    std::vector<char> w;
    QVERIFY(pool.Take(w, 45u * 1024 * 1024));
    QCOMPARE(w.capacity(), std::size_t(50) * 1024 * 1024);
    pool.Clear();
    QCOMPARE(pool.Count(), std::size_t(0));
}

// A large history's message array and file buffer, once its list is gone, serve the
// next large history: the same blocks, holding only the new content.
void TestHeapReuse::nextContactReusesTheBuffers() {
    TSpareBuffers<std::vector<TZMTMess>>::Instance().Clear();
    TSpareBuffers<std::string>::Instance().Clear();
    const std::size_t n = kLarge / sizeof(TZMTMess);
    const TZMTMess* items = nullptr;
    const char* buffer = nullptr;
    {
        TZMTMessList list;
        ReserveLarge(list.Items, n);
        items = list.Items.data();
        std::string bytes(kLarge, 'a');
        buffer = bytes.data();
        HStore store(std::move(bytes));
        TZMTMess& m = NewMessage(list);
        m.Text = store.slice(std::size_t{0},
                             std::size_t{5}); // the buffer lives while a text points into it
    }
    QCOMPARE(TSpareBuffers<std::vector<TZMTMess>>::Instance().Count(), std::size_t(1));
    QCOMPARE(TSpareBuffers<std::string>::Instance().Count(), std::size_t(1));

    TZMTMessList next;
    ReserveLarge(next.Items, n - 10);
    QCOMPARE(static_cast<const TZMTMess*>(next.Items.data()), items);
    QVERIFY(next.Items.empty());

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("next.zmt"));
    std::string content(kLarge - 100, 'b');
    content[17] = 'c';
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(content.data(), static_cast<qint64>(content.size())),
                 static_cast<qint64>(content.size()));
    }
    std::string out;
    QString error;
    QVERIFY(ReadWholeFile(path, out, error));
    QCOMPARE(static_cast<const char*>(out.data()), buffer);
    QVERIFY(out == content);
    QCOMPARE(TSpareBuffers<std::string>::Instance().Count(), std::size_t(0));
}

QTEST_GUILESS_MAIN(TestHeapReuse)
#include "tst_heapreuse.moc"
