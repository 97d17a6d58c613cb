#include "ui/MessageView.h"

#include "merge/MergedLines.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>

#include <algorithm>
#include <cstring>

namespace vimosync {

namespace {

constexpr int kMargin = 3;

// Splits at CR LF, lone CR and lone LF alike.
QStringList SplitLines(const QString& s) {
    QStringList out;
    qsizetype from = 0;
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = s[i];
        if (c == u'\r' || c == u'\n') {
            out << s.mid(from, i - from);
            if (c == u'\r' && i + 1 < n && s[i + 1] == u'\n') {
                ++i;
            }
            from = i + 1;
        }
    }
    out << s.mid(from);
    return out;
}

} // namespace

// ---- THistoryLines

THistoryLines::THistoryLines(std::shared_ptr<const TZMTMessList> list, QString dtFormat)
    : list_(std::move(list)), dtFormat_(std::move(dtFormat)) {
    // Room for every message being long at most; only the part in use is ever touched.
    long_.reserve(list_ ? list_->Items.size() : 0);
}

qsizetype THistoryLines::LinesOf(const TZMTMess& m) {
    // The header, the text's lines, and the empty line after the entry.
    qsizetype breaks = 0;
    const std::string_view t = m.Text.view();
    const char* p = t.data();
    const char* end = p + t.size();
    while (p < end) {
        const char* cr =
            static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(end - p)));
        const char* lf =
            static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        const char* b = cr && (!lf || cr < lf) ? cr : lf;
        if (!b) {
            break;
        }
        ++breaks;
        p = b + 1;
        if (*b == '\r' && p < end && *p == '\n') {
            ++p;
        }
    }
    return 3 + breaks;
}

int THistoryLines::Append(int count) {
    const int total = list_ ? list_->Count() : 0;
    const int end = messages_ + std::clamp(count, 0, total - messages_);
    const int added = end - messages_;
    qsizetype lines = lines_;
    for (int k = messages_; k < end; ++k) {
        const qsizetype n = LinesOf((*list_)[k]);
        if (n != kShortEntry) {
            long_.push_back(TLongEntry{lines, n, k});
        }
        lines += n;
    }
    lines_ = lines;
    messages_ = end;
    return added;
}

std::pair<int, qsizetype> THistoryLines::Locate(qsizetype i) const {
    // The last long entry that starts at or before the line; short entries follow it.
    const auto it =
        std::upper_bound(long_.begin(), long_.end(), i,
                         [](qsizetype line, const TLongEntry& e) { return line < e.start; });
    if (it == long_.begin()) {
        const qsizetype k = i / kShortEntry;
        return {static_cast<int>(k), k * kShortEntry};
    }
    const TLongEntry& e = *(it - 1);
    if (i < e.start + e.lines) {
        return {e.message, e.start};
    }
    const qsizetype after = e.start + e.lines; // the first line of message e.message + 1
    const qsizetype k = (i - after) / kShortEntry;
    return {e.message + 1 + static_cast<int>(k), after + k * kShortEntry};
}

QString THistoryLines::Line(qsizetype i) const {
    if (i < 0 || i >= LineCount()) {
        return {};
    }
    const auto [k, first] = Locate(i);
    if (k != cachedMessage_) {
        cachedLines_ = SplitLines(HistoryEntryText((*list_)[k], dtFormat_));
        cachedMessage_ = k;
    }
    const qsizetype j = i - first;
    return j < cachedLines_.size() ? cachedLines_.at(j) : QString();
}

// ---- TMessageView

TMessageView::TMessageView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    UpdateScrollBar();
}

TMessageView::~TMessageView() = default;

void TMessageView::SetLines(std::unique_ptr<TTextLines> lines) {
    lines_ = std::move(lines);
    top_ = 0;
    topRow_ = 0;
    anchor_ = cursor_ = TTextPos{};
    UpdateScrollBar();
    viewport()->update();
}

void TMessageView::Clear() {
    SetLines(nullptr);
}

std::unique_ptr<TTextLines> TMessageView::TakeLines() {
    std::unique_ptr<TTextLines> shown = std::move(lines_);
    Clear();
    return shown;
}

qsizetype TMessageView::LineCount() const {
    return lines_ ? lines_->LineCount() : 0;
}

QString TMessageView::Line(qsizetype i) const {
    return lines_ && i >= 0 && i < lines_->LineCount() ? lines_->Line(i) : QString();
}

TTextPos TMessageView::SelectionStart() const {
    return std::min(anchor_, cursor_);
}

TTextPos TMessageView::SelectionEnd() const {
    return std::max(anchor_, cursor_);
}

TTextPos TMessageView::Clamp(TTextPos p) const {
    const qsizetype n = LineCount();
    if (n == 0) {
        return {};
    }
    p.Line = std::clamp<qsizetype>(p.Line, 0, n - 1);
    p.Column = std::clamp<qsizetype>(p.Column, 0, Line(p.Line).size());
    return p;
}

void TMessageView::SetSelection(TTextPos start, TTextPos end) {
    anchor_ = Clamp(start);
    cursor_ = Clamp(end);
    EnsureVisible(anchor_.Line);
    viewport()->update();
}

QString TMessageView::SelectedText() const {
    const TTextPos s = SelectionStart();
    const TTextPos e = SelectionEnd();
    if (s == e || !lines_) {
        return {};
    }
    QString out;
    for (qsizetype l = s.Line; l <= e.Line; ++l) {
        const QString text = Line(l);
        const qsizetype from = l == s.Line ? s.Column : 0;
        const qsizetype to = l == e.Line ? e.Column : text.size();
        out += text.mid(from, to - from);
        if (l < e.Line) {
            out += u'\n';
        }
    }
    return out;
}

void TMessageView::copy() {
    const QString text = SelectedText();
    if (!text.isEmpty()) {
        QApplication::clipboard()->setText(text);
    }
}

void TMessageView::selectAll() {
    const qsizetype n = LineCount();
    if (n == 0) {
        return;
    }
    anchor_ = TTextPos{0, 0};
    cursor_ = TTextPos{n - 1, Line(n - 1).size()};
    viewport()->update();
}

int TMessageView::TextWidth() const {
    return std::max(20, viewport()->width() - 2 * kMargin);
}

std::unique_ptr<QTextLayout> TMessageView::Layout(qsizetype line) const {
    auto layout = std::make_unique<QTextLayout>(Line(line), font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout->setTextOption(option);
    layout->setCacheEnabled(true);
    layout->beginLayout();
    qreal y = 0;
    const QFontMetricsF fm(font());
    for (;;) {
        QTextLine tl = layout->createLine();
        if (!tl.isValid()) {
            break;
        }
        tl.setLineWidth(TextWidth());
        tl.setPosition(QPointF(0, y));
        y += std::max<qreal>(tl.height(), fm.height());
    }
    layout->endLayout();
    return layout;
}

void TMessageView::UpdateScrollBar() {
    const qsizetype n = LineCount();
    // The last lines that fit on one screen set the end of the scroll range.
    qsizetype fit = 0;
    int h = 0;
    for (qsizetype l = n - 1; l >= 0; --l) {
        const int lh = static_cast<int>(Layout(l)->boundingRect().height());
        if (h + lh > viewport()->height() && fit > 0) {
            break;
        }
        h += lh;
        ++fit;
        if (h >= viewport()->height()) {
            break;
        }
    }
    const qsizetype maxTop = std::max<qsizetype>(0, n - std::max<qsizetype>(fit, 1));
    settingScroll_ = true;
    verticalScrollBar()->setRange(0, static_cast<int>(std::min<qsizetype>(maxTop, INT_MAX)));
    const int lineHeight = std::max(1, QFontMetrics(font()).height());
    verticalScrollBar()->setPageStep(std::max(1, viewport()->height() / lineHeight - 1));
    verticalScrollBar()->setSingleStep(1);
    top_ = std::min(top_, maxTop);
    verticalScrollBar()->setValue(static_cast<int>(top_));
    settingScroll_ = false;
}

void TMessageView::scrollContentsBy(int, int) {
    if (settingScroll_) {
        return;
    }
    top_ = verticalScrollBar()->value();
    topRow_ = 0;
    viewport()->update();
}

void TMessageView::ScrollRows(int rows) {
    const qsizetype n = LineCount();
    if (n == 0) {
        return;
    }
    const qsizetype maxTop = verticalScrollBar()->maximum();
    while (rows > 0) {
        const int count = Layout(top_)->lineCount();
        if (topRow_ + 1 < count) {
            ++topRow_;
        } else if (top_ < maxTop) {
            ++top_;
            topRow_ = 0;
        } else {
            break;
        }
        --rows;
    }
    while (rows < 0) {
        if (topRow_ > 0) {
            --topRow_;
        } else if (top_ > 0) {
            --top_;
            topRow_ = std::max(0, Layout(top_)->lineCount() - 1);
        } else {
            break;
        }
        ++rows;
    }
    settingScroll_ = true;
    verticalScrollBar()->setValue(static_cast<int>(top_));
    settingScroll_ = false;
    viewport()->update();
}

void TMessageView::EnsureVisible(qsizetype line) {
    if (LineCount() == 0) {
        return;
    }
    if (line < top_ || (line == top_ && topRow_ > 0)) {
        top_ = line;
        topRow_ = 0;
    } else {
        // Visible when the lines from the top down to it fit on the screen.
        int h = 0;
        bool fits = true;
        for (qsizetype l = top_; l <= line; ++l) {
            h += static_cast<int>(Layout(l)->boundingRect().height());
            if (h > viewport()->height()) {
                fits = false;
                break;
            }
        }
        if (!fits) {
            // Put the line about a third down the screen.
            const int lineHeight = std::max(1, QFontMetrics(font()).height());
            top_ = std::max<qsizetype>(0, line - viewport()->height() / lineHeight / 3);
            topRow_ = 0;
        }
    }
    settingScroll_ = true;
    top_ = std::min<qsizetype>(top_, verticalScrollBar()->maximum());
    verticalScrollBar()->setValue(static_cast<int>(top_));
    settingScroll_ = false;
    viewport()->update();
}

void TMessageView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const qsizetype n = LineCount();
    if (n == 0) {
        return;
    }
    const TTextPos s = SelectionStart();
    const TTextPos e = SelectionEnd();
    // The selection keeps the active colours when the view has no focus.
    QTextCharFormat selFormat;
    selFormat.setBackground(palette().color(QPalette::Active, QPalette::Highlight));
    selFormat.setForeground(palette().color(QPalette::Active, QPalette::HighlightedText));
    painter.setPen(palette().color(QPalette::Text));
    qreal y = 0;
    const int height = viewport()->height();
    for (qsizetype l = top_; l < n && y < height; ++l) {
        const auto layout = Layout(l);
        qreal skip = 0;
        if (l == top_ && topRow_ > 0 && topRow_ < layout->lineCount()) {
            skip = layout->lineAt(topRow_).y();
        }
        QList<QTextLayout::FormatRange> ranges;
        if (s != e && l >= s.Line && l <= e.Line) {
            const qsizetype len = layout->text().size();
            const qsizetype from = l == s.Line ? s.Column : 0;
            const qsizetype to = l == e.Line ? e.Column : len;
            if (to > from) {
                ranges.append({static_cast<int>(from), static_cast<int>(to - from), selFormat});
            }
            if (l < e.Line) {
                // The line break is selected too: a small block after the text.
                const QTextLine last = layout->lineAt(layout->lineCount() - 1);
                const qreal x = last.naturalTextWidth();
                const QFontMetrics fm(font());
                painter.fillRect(
                    QRectF(kMargin + x, y - skip + last.y(), fm.averageCharWidth(), last.height()),
                    selFormat.background());
            }
        }
        layout->draw(&painter, QPointF(kMargin, y - skip), ranges);
        y += layout->boundingRect().height() - skip;
    }
}

void TMessageView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBar();
}

TTextPos TMessageView::HitTest(const QPoint& pos) const {
    const qsizetype n = LineCount();
    if (n == 0) {
        return {};
    }
    qreal y = 0;
    for (qsizetype l = top_; l < n; ++l) {
        const auto layout = Layout(l);
        qreal skip = 0;
        if (l == top_ && topRow_ > 0 && topRow_ < layout->lineCount()) {
            skip = layout->lineAt(topRow_).y();
        }
        const qreal h = layout->boundingRect().height() - skip;
        if (pos.y() < y + h || l == n - 1) {
            const qreal ly = pos.y() - y + skip;
            for (int i = 0; i < layout->lineCount(); ++i) {
                const QTextLine tl = layout->lineAt(i);
                if (ly < tl.y() + tl.height() || i == layout->lineCount() - 1) {
                    return TTextPos{l, tl.xToCursor(pos.x() - kMargin)};
                }
            }
            return TTextPos{l, 0};
        }
        y += h;
    }
    return TTextPos{n - 1, Line(n - 1).size()};
}

void TMessageView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const TTextPos p = HitTest(event->position().toPoint());
    if (!(event->modifiers() & Qt::ShiftModifier)) {
        anchor_ = p;
    }
    cursor_ = p;
    selecting_ = true;
    viewport()->update();
}

void TMessageView::mouseMoveEvent(QMouseEvent* event) {
    if (!selecting_ || !(event->buttons() & Qt::LeftButton)) {
        return;
    }
    const QPoint pos = event->position().toPoint();
    if (pos.y() < 0) {
        ScrollRows(-1);
    } else if (pos.y() > viewport()->height()) {
        ScrollRows(1);
    }
    cursor_ = HitTest(pos);
    viewport()->update();
}

void TMessageView::mouseDoubleClickEvent(QMouseEvent* event) {
    // Selects the word under the pointer.
    const TTextPos p = HitTest(event->position().toPoint());
    const QString text = Line(p.Line);
    qsizetype a = p.Column;
    qsizetype b = p.Column;
    while (a > 0 && !IsWordDelimiter(text[a - 1])) {
        --a;
    }
    while (b < text.size() && !IsWordDelimiter(text[b])) {
        ++b;
    }
    anchor_ = TTextPos{p.Line, a};
    cursor_ = TTextPos{p.Line, b};
    viewport()->update();
}

void TMessageView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        copy();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        return;
    }
    const int pageRows =
        std::max(1, viewport()->height() / std::max(1, QFontMetrics(font()).height()) - 1);
    switch (event->key()) {
    case Qt::Key_Down:
        ScrollRows(1);
        return;
    case Qt::Key_Up:
        ScrollRows(-1);
        return;
    case Qt::Key_PageDown:
        ScrollRows(pageRows);
        return;
    case Qt::Key_PageUp:
        ScrollRows(-pageRows);
        return;
    case Qt::Key_Home:
        if (event->modifiers() & Qt::ControlModifier) {
            verticalScrollBar()->setValue(0);
            return;
        }
        break;
    case Qt::Key_End:
        if (event->modifiers() & Qt::ControlModifier) {
            verticalScrollBar()->setValue(verticalScrollBar()->maximum());
            return;
        }
        break;
    default:
        break;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void TMessageView::wheelEvent(QWheelEvent* event) {
    const int steps = event->angleDelta().y() / 40; // three rows per notch
    if (steps != 0) {
        ScrollRows(-steps);
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

void TMessageView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void TMessageView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

} // namespace vimosync
