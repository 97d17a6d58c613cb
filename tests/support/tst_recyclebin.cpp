// The move to the trash, on a trash of its own: HOME and XDG_DATA_HOME point into a
// temporary folder before anything asks for them, so the user's trash is never touched.

#include "common/TestUtil.h"
#include "support/Errors.h"
#include "support/RecycleBin.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace vimosync;

namespace {
QTemporaryDir* g_home = nullptr;
}

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
