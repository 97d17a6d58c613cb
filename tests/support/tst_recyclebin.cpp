// The move to the trash, on a trash of its own: HOME and XDG_DATA_HOME point into a
// temporary folder before anything asks for them, so the user's trash is never touched.

#include "common/TestUtil.h"
#include "support/Errors.h"
#include "support/RecycleBin.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <cstring>
#include <ctime>
#include <functional>
#include <future>

#include <sys/mount.h>
#include <unistd.h>

using namespace vimosync;

namespace {
QTemporaryDir* g_home = nullptr;

// Runs the move on a thread of its own: one that is still running after a while is in a
// retry loop, and the test ends there rather than hang.
QString trashError(const std::function<void()>& move) {
    auto running = std::async(std::launch::async, [&] {
        try {
            move();
        } catch (const Exception& e) {
            return QString(e.message());
        }
        return QString();
    });
    if (running.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        qFatal("the move to the trash still runs after 20 seconds");
    }
    return running.get();
}

// A small tmpfs of the test's own (tests run as root; elsewhere the caller skips).
bool mountTmpfs(const QString& dir, const char* options) {
    QDir().mkpath(dir);
    return ::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0, options) == 0;
}
void unmount(const QString& dir) {
    ::umount2(QFile::encodeName(dir).constData(), MNT_DETACH);
}

// Points the home trash elsewhere for the life of the object.
struct DataHome {
    QByteArray old = qgetenv("XDG_DATA_HOME");
    explicit DataHome(const QString& dir) { qputenv("XDG_DATA_HOME", dir.toLocal8Bit()); }
    ~DataHome() { qputenv("XDG_DATA_HOME", old); }
    DataHome(const DataHome&) = delete;
    DataHome& operator=(const DataHome&) = delete;
};

QStringList entries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                               QDir::NoDotAndDotDot);
}
} // namespace

class TestRecycleBin : public QObject {
    Q_OBJECT

    QString trash() const { return g_home->filePath("share/Trash"); }
    QString work() const { return g_home->filePath("work"); }

private slots:
    void initTestCase() {
        QVERIFY(g_home->isValid());
        QVERIFY(QDir().mkpath(work()));
        QCOMPARE(QDir::homePath(), g_home->path());
    }

    void fileGoesToTrash() {
        const QString path = work() + "/Varyon_123.zmt";
        test::writeAll(path, "history");
        MoveToRecycleBin(path);
        QVERIFY(!QFile::exists(path));
        QCOMPARE(test::readAll(trash() + "/files/Varyon_123.zmt"), QByteArray("history"));
        const QByteArray info = test::readAll(trash() + "/info/Varyon_123.zmt.trashinfo");
        QVERIFY(info.contains("Path="));
        QVERIFY(info.contains("Varyon_123.zmt"));
    }

    void sameNameTwiceKeepsBoth() {
        const QString path = work() + "/1.txt";
        test::writeAll(path, "first");
        MoveToRecycleBin(path);
        test::writeAll(path, "second");
        MoveToRecycleBin(path);
        QVERIFY(!QFile::exists(path));
        const QStringList inTrash = QDir(trash() + "/files").entryList({"1*"}, QDir::Files);
        QCOMPARE(inTrash.size(), 2);
        QStringList contents;
        for (const QString& name : inTrash) {
            contents << QString::fromUtf8(test::readAll(trash() + "/files/" + name));
        }
        contents.sort();
        QCOMPARE(contents, (QStringList{"first", "second"}));
    }

    // A kept second link goes to the trash as the file it was a link of: named like it,
    // recorded as coming from its folder, and nothing left beside it.
    void secondLinkGoesUnderTheOriginalName() {
        const QString original = work() + "/Varyon 77%ü.zmt";
        const QString link = work() + "/.Varyon 77%ü.zmt.keep-1";
        // The same record as the file itself would get when moved there.
        test::writeAll(original, "older content");
        MoveToRecycleBin(original);
        const auto pathLine = [](const QByteArray& info) {
            for (const QByteArray& line : info.split('\n')) {
                if (line.startsWith("Path=")) {
                    return line;
                }
            }
            return QByteArray();
        };
        const QByteArray expected =
            pathLine(test::readAll(trash() + "/info/Varyon 77%ü.zmt.trashinfo"));
        QVERIFY(!expected.isEmpty());

        test::writeAll(link, "old content");
        test::writeAll(original, "new content");
        MoveToRecycleBinAs(link, original);
        QVERIFY(!QFile::exists(link));
        QCOMPARE(test::readAll(original), QByteArray("new content"));
        const QStringList entries =
            QDir(trash() + "/files").entryList({"Varyon 77*"}, QDir::Files, QDir::Name);
        QCOMPARE(entries.size(), 2);
        const QString second = entries.at(0) == "Varyon 77%ü.zmt" ? entries.at(1) : entries.at(0);
        QCOMPARE(test::readAll(trash() + "/files/" + second), QByteArray("old content"));
        const QByteArray info = test::readAll(trash() + "/info/" + second + ".trashinfo");
        QCOMPARE(pathLine(info), expected);
        QVERIFY(info.contains("DeletionDate="));
        QCOMPARE(QDir(work()).entryList({"*77*"}, QDir::AllEntries | QDir::Hidden),
                 QStringList{"Varyon 77%ü.zmt"});

        // When the trash cannot take it, the link stays where it was.
        test::writeAll(link, "old content");
        const QString blocked = g_home->filePath("blocked2");
        test::writeAll(blocked, "a file where the data folder should be");
        const QByteArray oldData = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", blocked.toLocal8Bit());
        bool failed = false;
        try {
            MoveToRecycleBinAs(link, original);
        } catch (const Exception&) {
            failed = true;
        }
        qputenv("XDG_DATA_HOME", oldData);
        QVERIFY(failed);
        QCOMPARE(test::readAll(link), QByteArray("old content"));
        QCOMPARE(QDir(work()).entryList({"*77*"}, QDir::AllEntries | QDir::Hidden).size(), 2);
    }

    // Trash folders that went missing between two moves (emptied by hand, say) are made
    // again; the record names the file and the local time of the move.
    void missingTrashFoldersAreMadeAgain_data() {
        QTest::addColumn<QString>("removed");
        QTest::newRow("the trash") << "Trash";
        QTest::newRow("files") << "Trash/files";
        QTest::newRow("info") << "Trash/info";
    }
    void missingTrashFoldersAreMadeAgain() {
        QFETCH(QString, removed);
        const QString data = g_home->filePath("remade-" + QString(QTest::currentDataTag()));
        const DataHome home(data);
        // A zone far from the machine's tells local time from universal time.
        const QByteArray oldZone = qgetenv("TZ");
        qputenv("TZ", "XYZ-5");
        ::tzset();
        const auto restoreZone = qScopeGuard([&] {
            oldZone.isNull() ? qunsetenv("TZ") : qputenv("TZ", oldZone);
            ::tzset();
        });
        for (const QString& n : {QStringLiteral("first"), QStringLiteral("second")}) {
            const QString path = work() + "/remade " + n + ".zmt";
            test::writeAll(path, n.toUtf8());
            const QString text = trashError([&] { MoveToRecycleBin(path); });
            QCOMPARE(text, QString());
            QVERIFY(!QFile::exists(path));
            QCOMPARE(test::readAll(data + "/Trash/files/remade " + n + ".zmt"), n.toUtf8());
            const QByteArray info =
                test::readAll(data + "/Trash/info/remade " + n + ".zmt.trashinfo");
            QVERIFY2(
                info.contains("\nPath=" + QFile::encodeName(path).toPercentEncoding("/") + '\n'),
                info.constData());
            const QRegularExpressionMatch date =
                QRegularExpression("\nDeletionDate=([0-9T:-]{19})\n")
                    .match(QString::fromLatin1(info));
            QVERIFY2(date.hasMatch(), info.constData());
            const QDateTime at = QDateTime::fromString(date.captured(1), Qt::ISODate);
            QVERIFY2(qAbs(at.secsTo(QDateTime::currentDateTime())) < 120, info.constData());
            QVERIFY(QDir(data + "/" + removed).removeRecursively());
        }
    }
    void missingFileIsNoError() {
        const QStringList before = QDir(trash() + "/files").entryList(QDir::AllEntries);
        MoveToRecycleBin(work() + "/no such file.zmt");
        QCOMPARE(QDir(trash() + "/files").entryList(QDir::AllEntries), before);
        QVERIFY(!QFile::exists(work() + "/no such file.zmt"));
    }

    // With no place for a trash the file stays where it is and the error says why,
    // also where the trash facility itself would report success.
    void noTrashPossible() {
        const QString path = work() + "/kept.zmt";
        test::writeAll(path, "data");
        const QString blocked = g_home->filePath("blocked");
        test::writeAll(blocked, "a file where the data folder should be");
        const QByteArray oldData = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", blocked.toLocal8Bit());
        const QString cwd = g_home->filePath("cwd");
        QVERIFY(QDir().mkpath(cwd));
        const QString oldCwd = QDir::currentPath();
        QDir::setCurrent(cwd);
        QString text;
        try {
            MoveToRecycleBin(path);
        } catch (const Exception& e) {
            text = e.message();
        }
        QDir::setCurrent(oldCwd);
        qputenv("XDG_DATA_HOME", oldData);

        const qsizetype space = text.indexOf(' ');
        QVERIFY2(space > 0, qPrintable(text));
        bool isNumber = false;
        QVERIFY2(text.left(space).toInt(&isNumber) != 0 && isNumber, qPrintable(text));
        QVERIFY2(text.size() > space + 1, qPrintable(text));
        QCOMPARE(test::readAll(path), QByteArray("data"));
        QCOMPARE(QDir(cwd).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }

    // A trash that cannot take the file ends in an error naming the file and the reason,
    // at once: no retry loop, the file where it was, no record left in the trash.
    void brokenTrashIsAnError_data() {
        QTest::addColumn<QString>("blocked"); // the folder that is a file or read-only
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<int>("reason");
        QTest::newRow("info is a file") << "Trash/info" << false << ENOTDIR;
        QTest::newRow("files is a file") << "Trash/files" << false << ENOTDIR;
        QTest::newRow("trash is a file") << "Trash" << false << ENOTDIR;
        QTest::newRow("info read-only") << "Trash/info" << true << EROFS;
    }
    void brokenTrashIsAnError() {
        QFETCH(QString, blocked);
        QFETCH(bool, readOnly);
        QFETCH(int, reason);
        const QString data = g_home->filePath("broken-" + QString(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(data + "/Trash/files"));
        QVERIFY(QDir().mkpath(data + "/Trash/info"));
        const QByteArray where = QFile::encodeName(data + "/" + blocked);
        if (!readOnly) {
            QVERIFY(QDir(data + "/" + blocked).removeRecursively());
            test::writeAll(data + "/" + blocked, "not a folder");
        } else if (::mount(where.constData(), where.constData(), nullptr, MS_BIND, nullptr) != 0 ||
                   ::mount(nullptr, where.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY,
                           nullptr) != 0) {
            unmount(data + "/" + blocked);
            QSKIP("cannot make a read-only bind mount here (needs root)");
        }
        const auto unmountLater = qScopeGuard([&] {
            if (readOnly) {
                unmount(data + "/" + blocked);
            }
        });
        const DataHome home(data);
        const QString path = work() + "/Varyon_55.zmt";
        test::writeAll(path, "history");
        for (const bool as : {false, true}) {
            const QString link = work() + "/.vimosync-k-0123456789abcdef";
            if (as) {
                test::writeAll(link, "old content");
            }
            const QString text =
                trashError([&] { as ? MoveToRecycleBinAs(link, path) : MoveToRecycleBin(path); });
            QVERIFY2(text.contains(QDir::toNativeSeparators(path)), qPrintable(text));
            QVERIFY2(text.contains(QString::fromLocal8Bit(std::strerror(reason))),
                     qPrintable(text));
            QCOMPARE(test::readAll(path), QByteArray("history"));
            if (as) {
                QCOMPARE(test::readAll(link), QByteArray("old content"));
                QFile::remove(link);
            }
            if (QFileInfo(data + "/Trash/info").isDir()) {
                QCOMPARE(entries(data + "/Trash/info"), QStringList());
            }
        }
        QFile::remove(path);
    }

    // A full disk: the record cannot be written, so the file stays and the error says so.
    void fullDiskIsAnError() {
        const QString disk = g_home->filePath("full");
        if (!mountTmpfs(disk, "size=64k")) {
            QSKIP("cannot mount a tmpfs here (needs root)");
        }
        const DataHome home(disk + "/share");
        QVERIFY(QDir().mkpath(disk + "/share/Trash/files"));
        QVERIFY(QDir().mkpath(disk + "/share/Trash/info"));
        const QString path = disk + "/Varyon_66.zmt";
        test::writeAll(path, "history");
        {
            QFile fill(disk + "/fill");
            QVERIFY(fill.open(QIODevice::WriteOnly));
            const QByteArray block(4096, 'f');
            while (fill.write(block) == block.size() && fill.flush()) {
            }
        }
        const QString text = trashError([&] { MoveToRecycleBin(path); });
        unmount(disk);
        QVERIFY2(text.contains(QDir::toNativeSeparators(path)), qPrintable(text));
        QVERIFY2(text.contains(QString::fromLocal8Bit(std::strerror(ENOSPC))), qPrintable(text));
    }

    // A file on another mount goes to that mount's own trash: a move never copies.
    void otherMountHasItsOwnTrash() {
        const QString disk = g_home->filePath("card");
        if (!mountTmpfs(disk, "size=1m")) {
            QSKIP("cannot mount a tmpfs here (needs root)");
        }
        QVERIFY(QDir().mkpath(disk + "/h"));
        const QString path = disk + "/h/Varyon 9%.zmt";
        test::writeAll(path, "on the card");
        const QString text = trashError([&] { MoveToRecycleBin(path); });
        const QString top = disk + QStringLiteral("/.Trash-%1").arg(::getuid());
        const QByteArray info = QFile::exists(top + "/info/Varyon 9%.zmt.trashinfo")
                                    ? test::readAll(top + "/info/Varyon 9%.zmt.trashinfo")
                                    : QByteArray();
        const QByteArray moved = QFile::exists(top + "/files/Varyon 9%.zmt")
                                     ? test::readAll(top + "/files/Varyon 9%.zmt")
                                     : QByteArray();
        unmount(disk);
        QCOMPARE(text, QString());
        QCOMPARE(moved, QByteArray("on the card"));
        // Paths in a top folder's trash are relative to that folder.
        QVERIFY2(info.contains("\nPath=h/Varyon%209%25.zmt\n"), info.constData());
    }
};

int main(int argc, char** argv) {
    QTemporaryDir home;
    g_home = &home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.filePath("share").toLocal8Bit());
    QCoreApplication app(argc, argv);
    TestRecycleBin t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_recyclebin.moc"
