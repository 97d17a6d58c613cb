#include "support/LangText.h"

#include <QCoreApplication>

namespace vimosync {

QString Tr(const char* text) {
    return QCoreApplication::translate("LangText", text);
}

namespace detail {

namespace {

// The pattern with its places filled in order from args (skip: the index of an argument
// already taken by translate() for "%n", or -1).
QString fill(const QString& p, const std::vector<Arg>& args, bool english, int skip) {
    QString out;
    out.reserve(p.size() + 16);
    std::size_t next = 0;
    for (qsizetype i = 0; i < p.size(); ++i) {
        const QChar c = p[i];
        if (c == QLatin1Char('%') && i + 1 < p.size()) {
            const QChar k = p[i + 1];
            if (k == QLatin1Char('%')) {
                out += QLatin1Char('%');
                ++i;
                continue;
            }
            if (k == QLatin1Char('s') || k == QLatin1Char('d')) {
                if (skip >= 0 && next == static_cast<std::size_t>(skip)) {
                    ++next;
                }
                if (next < args.size()) {
                    out += english ? args[next].English : args[next].Shown;
                }
                ++next;
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

// The index among the places of the pattern of its "%n" place, -1 for none.
int countPlace(const char* pattern) {
    int place = 0;
    for (const char* p = pattern; *p != '\0'; ++p) {
        if (*p != '%' || p[1] == '\0') {
            continue;
        }
        ++p;
        if (*p == 'n') {
            return place;
        }
        if (*p == 's' || *p == 'd') {
            ++place;
        }
    }
    return -1;
}

} // namespace

TText formatArgs(const char* pattern, const std::vector<Arg>& args) {
    const QString source = QString::fromUtf8(pattern);
    const int place = countPlace(pattern);
    if (place < 0) {
        const QString english = fill(source, args, true, -1);
        const QString translated = QCoreApplication::translate("LangText", pattern);
        if (translated == source) {
            bool same = true;
            for (const Arg& a : args) {
                same = same && a.Shown == a.English;
            }
            return same ? TText(english, english) : TText(fill(source, args, false, -1), english);
        }
        return TText(fill(translated, args, false, -1), english);
    }
    // translate() puts the count in place of "%n" and picks the plural form by it.
    const int n = static_cast<std::size_t>(place) < args.size()
                      ? args[static_cast<std::size_t>(place)].English.toInt()
                      : 0;
    QString english = source;
    english.replace(QLatin1String("%n"), QString::number(n));
    const QString translated = QCoreApplication::translate("LangText", pattern, nullptr, n);
    return TText(fill(translated, args, false, place), fill(english, args, true, place));
}

} // namespace detail

} // namespace vimosync
