// The texts of the table: filled in order, shown in the user's language with their
// English form kept for the debug log, plural forms chosen by the count.

#include "support/Errors.h"
#include "support/LangText.h"
#include "support/LogFile.h"
#include "support/Translation.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace vimosync;

class TestLangText : public QObject {
    Q_OBJECT

private slots:
    // English, no translation installed: both forms are the same text.
    void placesAreFilledInOrder() {
        const TText t = Format("%s: %d of %d, 100%% %s", "a", 2, 3, QStringLiteral("b"));
        QCOMPARE(QString(t), QStringLiteral("a: 2 of 3, 100% b"));
        QCOMPARE(t.English, QString(t));
        // A count place among others: the others still fill in order.
        QCOMPARE(QString(Format("%s has %n files in %s", "x", 3, "y")),
                 QStringLiteral("x has 3 files in y"));
        QCOMPARE(QString(Format(LangText::FilesDeleted, 2)),
                 QStringLiteral("2 files was successfully deleted"));
        // Missing arguments leave their places empty, extra ones are dropped.
        QCOMPARE(QString(Format("[%s|%s]", "only")), QStringLiteral("[only|]"));
    }

    void russian() {
        const QString english = Format(LangText::SrcDamaged, "a.zmt", "10", "cut");
        QVERIFY(AvailableLanguages().contains(QStringLiteral("ru")));
        QCOMPARE(InstallTranslations(QStringLiteral("ru")), QStringLiteral("ru"));

        // Shown in Russian, English kept; an argument that is a text of the table keeps
        // its English form too.
        const TText reason = Format(LangText::SrcDamaged, "a.zmt", "10", "cut");
        const TText line = Format(LangText::SyncSkippedLine, reason);
        QVERIFY(QString(reason) != reason.English);
        QCOMPARE(reason.English, english);
        QVERIFY(line.English.contains(reason.English));
        QVERIFY(QString(line).contains(QString(reason)));

        // Plural forms: one, few, many.
        const QString one = Format(LangText::MessagesCount, 1);
        const QString few = Format(LangText::MessagesCount, 3);
        const QString many = Format(LangText::MessagesCount, 5);
        QVERIFY(one.startsWith(QLatin1String("1 ")) && few.startsWith(QLatin1String("3 ")));
        QVERIFY(one != QString(few).replace(QLatin1Char('3'), QLatin1Char('1')));
        QVERIFY(few != QString(many).replace(QLatin1Char('5'), QLatin1Char('3')));
        QCOMPARE(Format(LangText::MessagesCount, 5).English, QStringLiteral("5 messages"));

        // Joined texts keep both forms; the log and an error keep the English one.
        const TText joined = Format(LangText::SyncFinished, 1, 2) + QStringLiteral("\r\n") +
                             Format(LangText::SyncBackedUp, 3);
        QVERIFY(joined.English.startsWith(QLatin1String("Synchronization finished.")));
        QVERIFY(joined.English.endsWith(QLatin1String("Files backuped: 3")));
        const Exception e(Format(LangText::CannotReadFile, "x", "gone"), "EFileError");
        QCOMPARE(e.message().English, QStringLiteral("Cannot read file x: gone"));
        QVERIFY(QString(e.message()) != e.message().English);

        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("t.log"));
        QVERIFY(OpenLog(log, false));
        WriteLog(joined);
        WriteLog(e.message());
        CloseLog();
        QFile f(log);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString written = QString::fromUtf8(f.readAll());
        QVERIFY2(written.contains(QLatin1String("Files backuped: 3")), qPrintable(written));
        QVERIFY(written.contains(QLatin1String("Cannot read file x: gone")));
        QVERIFY2(!written.contains(QRegularExpression(QStringLiteral("[\\x{0400}-\\x{04FF}]"))),
                 qPrintable(written));

        // Dates in the language's format, ISO under C.
        const QDateTime t(QDate(2026, 12, 10), QTime(21, 58, 7));
        QCOMPARE(ShownDateTime(t), QStringLiteral("10.12.2026 21:58:07"));
        QLocale::setDefault(QLocale::c());
        QCOMPARE(ShownDateTime(t), QStringLiteral("2026-12-10 21:58:07"));
    }
};

QTEST_GUILESS_MAIN(TestLangText)
#include "tst_langtext.moc"
