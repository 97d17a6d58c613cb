#pragma once

// The languages the programs speak. English is the programs' own; every other language
// is a translation compiled from translations/vimosync_<code>.ts and embedded under
// ":/i18n/". Qt's own translations (the standard buttons of dialogs) come from Qt's
// translations folder where they are installed.

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

namespace vimosync {

// A date and time shown to the user: in the short format of the locale in force (the
// language's), with seconds; "yyyy-MM-dd HH:mm:ss" under the C locale.
QString ShownDateTime(const QDateTime& time);

// The codes of the embedded translations ("ru", ...), sorted.
QStringList AvailableLanguages();

// The locale a language setting stands for: the system's for an empty one, else the
// language of the code.
QLocale LocaleOfLanguage(const QString& language);

// Installs the translations of the language (empty: the system's) in the application,
// and makes its locale the default one for dates and numbers. Returns the code of the
// translation installed, "en" where the language is English or has none.
QString InstallTranslations(const QString& language);

} // namespace vimosync
