#include "support/TextSearch.h"

namespace vimosync {

namespace {

bool HasLineSeparator(QStringView s) {
    for (QChar c : s) {
        if (c == u'\n' || c == u'\r' || c == u'\t') {
            return true;
        }
    }
    return false;
}

// Whether the find text (already in upper case when not matching case) stands at p.
bool MatchesAt(QStringView buf, qsizetype p, QStringView find, bool matchCase) {
    const qsizetype m = find.size();
    if (matchCase) {
        return buf.sliced(p, m) == find;
    }
    for (qsizetype i = 0; i < m; ++i) {
        if (buf[p + i].toUpper() != find[i]) {
            return false;
        }
    }
    return true;
}

bool WholeWordAt(QStringView buf, qsizetype p, qsizetype m) {
    const bool startOk = p == 0 || IsWordDelimiter(buf[p - 1]);
    const bool endOk = p + m == buf.size() || IsWordDelimiter(buf[p + m]);
    return startOk && endOk;
}

qsizetype SearchPrepared(QStringView buffer, qsizetype selStart, qsizetype selLength,
                         QStringView find, const TSearchOptions& options) {
    const qsizetype n = buffer.size();
    const qsizetype m = find.size();
    if (n == 0 || m == 0 || m > n) {
        return -1;
    }
    selStart = qBound<qsizetype>(0, selStart, n);
    selLength = qBound<qsizetype>(0, selLength, n - selStart);
    const auto test = [&](qsizetype p) {
        return MatchesAt(buffer, p, find, options.MatchCase) &&
               (!options.WholeWord || WholeWordAt(buffer, p, m));
    };
    if (options.Down) {
        for (qsizetype p = selStart + selLength; p <= n - m; ++p) {
            if (test(p)) {
                return p;
            }
        }
    } else {
        for (qsizetype p = selStart - m; p >= 0; --p) {
            if (test(p)) {
                return p;
            }
        }
    }
    return -1;
}

QString Prepare(QStringView find, bool matchCase) {
    QString f = find.toString();
    if (!matchCase) {
        // Character by character, so that the length never changes (unlike
        // QString::toUpper, which turns one sharp s into two letters).
        for (QChar& c : f) {
            c = c.toUpper();
        }
    }
    return f;
}

} // namespace

bool IsWordDelimiter(QChar c) {
    const char16_t u = c.unicode();
    const bool alnum =
        (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9');
    return !alnum;
}

qsizetype SearchBuffer(QStringView buffer, qsizetype selStart, qsizetype selLength,
                       QStringView findText, const TSearchOptions& options) {
    const QString find = Prepare(findText, options.MatchCase);
    return SearchPrepared(buffer, selStart, selLength, find, options);
}

std::optional<TTextPos> SearchLines(qsizetype lineCount, const TLineSource& line, TTextPos selStart,
                                    TTextPos selEnd, QStringView findText,
                                    const TSearchOptions& options) {
    if (lineCount <= 0 || findText.isEmpty() || HasLineSeparator(findText)) {
        return std::nullopt;
    }
    const QString find = Prepare(findText, options.MatchCase);
    if (options.Down) {
        for (qsizetype l = qMax<qsizetype>(0, selEnd.Line); l < lineCount; ++l) {
            const QString text = line(l);
            const qsizetype from = l == selEnd.Line ? selEnd.Column : 0;
            const qsizetype p = SearchPrepared(text, from, 0, find, options);
            if (p >= 0) {
                return TTextPos{l, p};
            }
        }
    } else {
        for (qsizetype l = qMin(selStart.Line, lineCount - 1); l >= 0; --l) {
            const QString text = line(l);
            const qsizetype from = l == selStart.Line ? selStart.Column : text.size();
            const qsizetype p = SearchPrepared(text, from, 0, find, options);
            if (p >= 0) {
                return TTextPos{l, p};
            }
        }
    }
    return std::nullopt;
}

qsizetype SearchList(qsizetype lineCount, const TLineSource& line, qsizetype selected,
                     QStringView findText, const TSearchOptions& options) {
    if (lineCount <= 0 || selected < 0 || selected >= lineCount) {
        return -1;
    }
    const auto pos = SearchLines(lineCount, line, TTextPos{selected, 0}, TTextPos{selected + 1, 0},
                                 findText, options);
    return pos ? pos->Line : -1;
}

} // namespace vimosync
