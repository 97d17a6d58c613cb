#pragma once

// The one search rule of the program: find in the text views, in the contact list and
// in the merged list, and the full-text search over the source files.
//
// Over a buffer with a current selection: downwards from the selection's end, upwards
// from the selection's start minus the length of the find text back to position 0;
// the first position that matches wins, without wrap-around. Without Match case both
// sides compare in upper case; Whole word needs a word delimiter (anything but an
// ASCII letter or digit) or the buffer's edge on both sides of the match. An empty
// buffer or an empty find text never matches.

#include <QString>
#include <QStringView>

#include <functional>
#include <optional>

namespace vimosync {

struct TSearchOptions {
    bool MatchCase = false;
    bool WholeWord = false;
    bool Down = true;
};

// Every character but the ASCII letters and digits separates words.
bool IsWordDelimiter(QChar c);

// The start of the first match, or -1.
qsizetype SearchBuffer(QStringView buffer, qsizetype selStart, qsizetype selLength,
                       QStringView findText, const TSearchOptions& options);

// A place in a text made of lines: the line and the character within it.
struct TTextPos {
    qsizetype Line = 0;
    qsizetype Column = 0;
    friend auto operator<=>(const TTextPos&, const TTextPos&) = default;
};

// The rule over a buffer made of lines joined by a line separator (a word delimiter),
// searched line by line so that the whole buffer never has to exist at once. Gives
// the same match as SearchBuffer over the joined lines for every find text without a
// line break or TAB (a find text that holds one never matches here).
// selStart..selEnd is the selection; a position with Line == lineCount stands for
// the end of the buffer. Returns where the match starts.
using TLineSource = std::function<QString(qsizetype)>;
std::optional<TTextPos> SearchLines(qsizetype lineCount, const TLineSource& line, TTextPos selStart,
                                    TTextPos selEnd, QStringView findText,
                                    const TSearchOptions& options);

// The list search: the lines joined by TAB, the selection covering the selected line
// and its TAB. Returns the line holding the match, or -1. The caller selects the
// first line first when none is selected.
qsizetype SearchList(qsizetype lineCount, const TLineSource& line, qsizetype selected,
                     QStringView findText, const TSearchOptions& options);

} // namespace vimosync
