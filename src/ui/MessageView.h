#pragma once

// The Source and Destination views: read-only text made of lines, long lines wrapped,
// with a vertical scroll bar and a selection that stays visible when the view has no
// focus. The view lays out only the lines on screen and asks its line source for
// them, so a history of a million messages is shown without building its text.

#include "history/Model.h"
#include "support/TextSearch.h"

#include <QAbstractScrollArea>
#include <QStringList>

#include <memory>
#include <utility>
#include <vector>

class QTextLayout;

namespace vimosync {

// The lines a view shows.
class TTextLines {
public:
    virtual ~TTextLines() = default;
    virtual qsizetype LineCount() const = 0;
    virtual QString Line(qsizetype i) const = 0;
};

class TPlainLines : public TTextLines {
public:
    explicit TPlainLines(QStringList lines) : lines_(std::move(lines)) {}
    qsizetype LineCount() const override { return lines_.size(); }
    QString Line(qsizetype i) const override { return lines_.at(i); }

private:
    QStringList lines_;
};

// The lines of a history, per message: the direction marker with the time, the text
// (one line per line of the text, after one space), an empty line.
//
// Most entries have three lines (a text of one line), so only the others are indexed:
// the first line of any message follows from the longer entries before it. A history
// of a million messages needs an index entry per text of several lines instead of an
// offset per message.
class THistoryLines : public TTextLines {
public:
    THistoryLines(std::shared_ptr<const TZMTMessList> list, QString dtFormat);

    // Adds the lines of the next count messages of the list (fewer at its end); the
    // view's fill loop calls it between its check points. Returns the number added.
    int Append(int count);
    // Adds the next message; false when every message is in.
    bool AppendNext() { return Append(1) == 1; }
    int Messages() const { return messages_; }
    const std::shared_ptr<const TZMTMessList>& List() const { return list_; }

    qsizetype LineCount() const override { return lines_; }
    QString Line(qsizetype i) const override;

    // Lines of one message's entry: header, text lines, the empty line.
    static qsizetype LinesOf(const TZMTMess& m);
    // Lines of the entry of a message with a text of one line.
    static constexpr qsizetype kShortEntry = 3;

private:
    // An entry of more than kShortEntry lines.
    struct TLongEntry {
        qsizetype start; // its first line
        qsizetype lines;
        int message;
    };
    // The message shown at line i (0 <= i < LineCount()) and the first line of its entry.
    std::pair<int, qsizetype> Locate(qsizetype i) const;

    std::shared_ptr<const TZMTMessList> list_;
    QString dtFormat_;
    std::vector<TLongEntry> long_; // in message order
    int messages_ = 0;
    qsizetype lines_ = 0;
    mutable int cachedMessage_ = -1;
    mutable QStringList cachedLines_;
};

class TMessageView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TMessageView(QWidget* parent = nullptr);
    ~TMessageView() override;

    // Shows the lines from the top, nothing selected.
    void SetLines(std::unique_ptr<TTextLines> lines);
    void Clear();
    // Clear, handing over the lines shown until now.
    std::unique_ptr<TTextLines> TakeLines();
    qsizetype LineCount() const;
    QString Line(qsizetype i) const;
    const TTextLines* Lines() const { return lines_.get(); }

    // The selection, start before end; empty when both are equal.
    TTextPos SelectionStart() const;
    TTextPos SelectionEnd() const;
    // Selects and scrolls the start of the selection into view.
    void SetSelection(TTextPos start, TTextPos end);
    QString SelectedText() const;
    qsizetype TopLine() const { return top_; }

public slots:
    void copy();
    void selectAll();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // A line laid out at the viewport's width.
    std::unique_ptr<QTextLayout> Layout(qsizetype line) const;
    int TextWidth() const;
    void UpdateScrollBar();
    void ScrollRows(int rows);
    void EnsureVisible(qsizetype line);
    TTextPos HitTest(const QPoint& pos) const;
    TTextPos Clamp(TTextPos p) const;

    std::unique_ptr<TTextLines> lines_;
    qsizetype top_ = 0; // first line on screen
    int topRow_ = 0;    // wrapped rows of that line scrolled off the top
    TTextPos anchor_;   // where the selection began
    TTextPos cursor_;   // where it ends
    bool selecting_ = false;
    bool settingScroll_ = false;
};

} // namespace vimosync
