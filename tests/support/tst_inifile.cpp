// The INI reader and writer on its own: what it accepts and that it leaves the rest of
// a file as it found it.

#include "common/TestUtil.h"
#include "support/IniFile.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace vimosync;

class TestIniFile : public QObject {
    Q_OBJECT

private slots:
    void integers_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("value");
        QTest::newRow("decimal") << "42" << true << 42;
        QTest::newRow("plus") << "+7" << true << 7;
        QTest::newRow("minus") << "-7" << true << -7;
        QTest::newRow("int max") << "2147483647" << true << 2147483647;
        QTest::newRow("int min") << "-2147483648" << true << int(-2147483647 - 1);
        QTest::newRow("over max") << "2147483648" << false << 0;
        QTest::newRow("hex") << "0x1A" << true << 26;
        QTest::newRow("hex negative") << "-0x10" << true << -16;
        QTest::newRow("hex 32 bits") << "0x80000000" << true << int(-2147483647 - 1);
        QTest::newRow("hex over 32 bits") << "0x100000000" << false << 0;
        QTest::newRow("prefix only") << "0x" << false << 0;
        QTest::newRow("bad hex digit") << "0x1G" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("sign only") << "-" << false << 0;
        QTest::newRow("word") << "true" << false << 0;
        QTest::newRow("inner space") << "1 2" << false << 0;
        QTest::newRow("fraction") << "1.5" << false << 0;
        QTest::newRow("arabic digits") << QString::fromUtf8("\u0661") << false << 0;
    }
    void integers() {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(int, value);
        const std::optional<int> v = IniFile::parseInteger(text);
        QCOMPARE(v.has_value(), ok);
        if (ok) {
            QCOMPARE(*v, value);
        }
    }

    void lineEndsAndBom() {
        IniFile ini;
        ini.parse("\xEF\xBB\xBF[A]\r\nx=1\ny=2\rz=3\r\n");
        QCOMPARE(ini.readInteger("a", "X", 0), 1);
        QCOMPARE(ini.readInteger("A", "y", 0), 2);
        QCOMPARE(ini.readInteger("A", "z", 0), 3);
        QCOMPARE(ini.toBytes(), QByteArray("[A]\nx=1\ny=2\nz=3\n"));
    }

    void whatIsNotAKey() {
        IniFile ini;
        ini.parse("k=before any section\n[S]\n;c=comment\n=no key\nplain line\nv = a = b \n");
        QCOMPARE(ini.keys("S"), QStringList{"v"});
        QCOMPARE(ini.readString("S", "v", ""), QStringLiteral("a = b"));
        QVERIFY(!ini.contains("S", ";c"));
        QVERIFY(!ini.contains("", "k"));
        // Untouched lines come back as they were, spacing included.
        QCOMPARE(ini.toBytes(), QByteArray("k=before any section\n[S]\n;c=comment\n=no key\n"
                                           "plain line\nv = a = b \n"));
    }

    void firstOfDuplicatesCounts() {
        IniFile ini;
        ini.parse("[S]\nk=1\nK=2\n[s]\nk=3\n");
        QCOMPARE(ini.readInteger("S", "k", 0), 1);
        ini.writeInteger("S", "K", 9);
        QCOMPARE(ini.toBytes(), QByteArray("[S]\nk=9\nK=2\n[s]\nk=3\n"));
    }

    void newKeysGoBeforeTrailingBlankLines() {
        IniFile ini;
        ini.parse("[A]\na=1\n\n[B]\nb=1\n");
        ini.writeString("A", "new", "x");
        ini.writeString("C", "c", "y");
        QCOMPARE(ini.toBytes(), QByteArray("[A]\na=1\nnew=x\n\n[B]\nb=1\n[C]\nc=y\n"));
    }

    void lineBreakInValueStaysOnItsLine() {
        IniFile ini;
        ini.writeString("S", "k", "one\r\ntwo\nthree");
        IniFile again;
        again.parse(ini.toBytes());
        QCOMPARE(again.keys("S"), QStringList{"k"});
    }

    void eraseSectionKeepsItsPlace() {
        IniFile ini;
        ini.parse("[A]\na=1\n[M]\nx=1\n[B]\nb=1\n[m]\ny=2\n");
        ini.eraseSection("m");
        QCOMPARE(ini.toBytes(), QByteArray("[A]\na=1\n[B]\nb=1\n"));
        QVERIFY(!ini.contains("M", "y"));
        ini.writeString("M", "z", "3");
        QCOMPARE(ini.toBytes(), QByteArray("[A]\na=1\n[M]\nz=3\n[B]\nb=1\n"));
    }

    void loadAndSave() {
        QTemporaryDir dir;
        IniFile ini;
        QVERIFY(ini.load(dir.filePath("missing.ini")));
        QVERIFY(ini.sectionNames().isEmpty());
        // A folder cannot be read as a file.
        QVERIFY(!ini.load(dir.path()));
        ini.writeString("S", "k", "v");
        const QString path = dir.filePath("a.ini");
        QVERIFY(ini.save(path));
        QCOMPARE(test::readAll(path), QByteArray("[S]\nk=v\n"));
        QVERIFY(!ini.save(dir.filePath("no/such/dir/a.ini")));
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
