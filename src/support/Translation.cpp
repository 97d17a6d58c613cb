#include "support/Translation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

namespace vimosync {

namespace {
const QString kFolder = QStringLiteral(":/i18n");
const QString kPrefix = QStringLiteral("vimosync_");
} // namespace

QStringList AvailableLanguages() {
    QStringList codes;
    const QStringList files =
        QDir(kFolder).entryList({kPrefix + QStringLiteral("*.qm")}, QDir::Files);
    for (const QString& f : files) {
        codes << f.mid(kPrefix.size(), f.size() - kPrefix.size() - 3);
    }
    codes.sort();
    return codes;
}

QString ShownDateTime(const QDateTime& time) {
    const QLocale locale;
    if (locale.language() == QLocale::C) {
        return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    QString format = locale.dateTimeFormat(QLocale::ShortFormat);
    // Two runs a minute apart are told apart by their seconds.
    if (!format.contains(QLatin1Char('s'))) {
        format.replace(QLatin1String("mm"), QLatin1String("mm:ss"));
    }
    return locale.toString(time, format);
}

QLocale LocaleOfLanguage(const QString& language) {
    return language.isEmpty() ? QLocale::system() : QLocale(language);
}

QString InstallTranslations(const QString& language) {
    QCoreApplication* app = QCoreApplication::instance();
    const QLocale locale = LocaleOfLanguage(language);
    QLocale::setDefault(locale);
    if (app == nullptr || locale.language() == QLocale::English ||
        locale.language() == QLocale::C) {
        return QStringLiteral("en");
    }
    auto* own = new QTranslator(app);
    if (!own->load(locale, QStringLiteral("vimosync"), QStringLiteral("_"), kFolder) ||
        !QCoreApplication::installTranslator(own)) {
        delete own;
        return QStringLiteral("en");
    }
    auto* qt = new QTranslator(app);
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qt);
    } else {
        delete qt;
    }
    const QString file = QFileInfo(own->filePath()).completeBaseName();
    return file.mid(kPrefix.size());
}

} // namespace vimosync
