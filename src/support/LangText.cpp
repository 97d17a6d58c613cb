#include "support/LangText.h"

namespace vimosync::detail {

QString formatArgs(const char* pattern, const QStringList& args) {
    const QString p = QString::fromUtf8(pattern);
    QString out;
    out.reserve(p.size() + 16);
    qsizetype next = 0;
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
                if (next < args.size()) {
                    out += args[next];
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

} // namespace vimosync::detail
