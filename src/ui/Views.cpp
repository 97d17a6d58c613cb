#include "ui/Views.h"

#include "merge/MergedLines.h"

#include <QApplication>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace vimosync {

namespace {
constexpr int kWidestLineLimit = 2000;
} // namespace

// ---- TMergedModel

TMergedModel::TMergedModel(QObject* parent) : QAbstractListModel(parent) {}

void TMergedModel::SetList(std::shared_ptr<const TZMTMessList> list, bool showNumbers,
                           const QString& dtFormat, int count, qsizetype longestText) {
    beginResetModel();
    lines_.clear();
    count_ = list ? (count < 0 ? list->Count() : qMin(count, list->Count())) : 0;
    list_ = std::move(list);
    showNumbers_ = showNumbers;
    dtFormat_ = dtFormat;
    // The number, the marks and the time take about 40 characters; a text's bytes are
    // at least its characters. Very long texts do not widen the list without end.
    const qsizetype longest =
        longestText >= 0 ? longestText : (list_ ? LongestText(*list_, 0, count_) : 0);
    widest_ = static_cast<int>(std::min<qsizetype>(longest + 40, kWidestLineLimit));
    endResetModel();
}

qsizetype TMergedModel::LongestText(const TZMTMessList& list, int from, int to) {
    std::size_t longest = 0;
    for (int i = std::max(from, 0); i < std::min(to, list.Count()); ++i) {
        longest = std::max(longest, list[i].Text.size());
    }
    return static_cast<qsizetype>(longest);
}

void TMergedModel::SetLines(const QStringList& lines) {
    beginResetModel();
    list_.reset();
    count_ = 0;
    lines_ = lines;
    widest_ = 0;
    for (const QString& l : lines_) {
        widest_ =
            std::max(widest_, static_cast<int>(std::min<qsizetype>(l.size(), kWidestLineLimit)));
    }
    endResetModel();
}

void TMergedModel::Clear() {
    SetLines({});
}

std::shared_ptr<const TZMTMessList> TMergedModel::TakeList() {
    std::shared_ptr<const TZMTMessList> shown = list_;
    Clear(); // the views let go of their indexes before the list goes
    return shown;
}

bool TMergedModel::IsMarked(int row) const {
    return list_ && row >= 0 && row < count_ && ((*list_)[row].Differs || (*list_)[row].ToSource);
}

bool TMergedModel::IsToSource(int row) const {
    return list_ && row >= 0 && row < count_ && (*list_)[row].ToSource;
}

int TMergedModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) {
        return 0;
    }
    return list_ ? count_ : static_cast<int>(lines_.size());
}

// The list view asks for the index of every row when it lays out a million of them:
// a range check instead of the base class's calls of rowCount and columnCount.
QModelIndex TMergedModel::index(int row, int column, const QModelIndex& parent) const {
    const int rows = list_ ? count_ : static_cast<int>(lines_.size());
    if (row < 0 || row >= rows || column != 0 || parent.isValid()) {
        return {};
    }
    return createIndex(row, 0);
}

QVariant TMergedModel::data(const QModelIndex& index, int role) const {
    const int rows = list_ ? count_ : static_cast<int>(lines_.size());
    if (index.model() != this || index.row() < 0 || index.row() >= rows || index.column() != 0) {
        return {};
    }
    const int row = index.row();
    switch (role) {
    case Qt::DisplayRole:
        if (list_) {
            return MergedItemText((*list_)[row], row + 1, showNumbers_, dtFormat_);
        }
        return lines_.at(row);
    case MarkedRole:
        return IsMarked(row);
    case ToSourceRole:
        return IsToSource(row);
    case WidestLineRole:
        return widest_;
    case Qt::ForegroundRole:
        if (IsToSource(row)) {
            return kToSourceColor;
        }
        if (IsMarked(row)) {
            return kMarkedColor;
        }
        return {};
    default:
        return {};
    }
}

// ---- Colours that stay readable

namespace {

double Channel(double c) {
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& c) {
    return 0.2126 * Channel(c.redF()) + 0.7152 * Channel(c.greenF()) + 0.0722 * Channel(c.blueF());
}

} // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor& wanted, const QColor& background) {
    constexpr double kEnough = 3.0;
    if (ContrastRatio(wanted, background) >= kEnough) {
        return wanted;
    }
    // Towards white on a dark background, towards black on a light one, in the hue.
    const bool lighten = Luminance(background) < 0.18;
    const QColor end = lighten ? QColor(Qt::white) : QColor(Qt::black);
    QColor c = wanted;
    for (int step = 1; step <= 20 && ContrastRatio(c, background) < kEnough; ++step) {
        const double t = step / 20.0;
        c = QColor::fromRgbF(
            static_cast<float>(wanted.redF() + (end.redF() - wanted.redF()) * t),
            static_cast<float>(wanted.greenF() + (end.greenF() - wanted.greenF()) * t),
            static_cast<float>(wanted.blueF() + (end.blueF() - wanted.blueF()) * t));
    }
    if (ContrastRatio(c, background) < kEnough) {
        // A background in the middle: the end of the other side may do better.
        const QColor other = lighten ? QColor(Qt::black) : QColor(Qt::white);
        if (ContrastRatio(other, background) > ContrastRatio(c, background)) {
            return other;
        }
    }
    return c;
}

// ---- TMergedDelegate

void TMergedDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    const bool selected = option.state & QStyle::State_Selected;
    // The selection stays in the active colours when the list has no focus.
    const QPalette& pal = option.palette;
    painter->fillRect(option.rect, selected ? pal.color(QPalette::Active, QPalette::Highlight)
                                            : pal.color(QPalette::Active, QPalette::Base));
    const QColor background = selected ? pal.color(QPalette::Active, QPalette::Highlight)
                                       : pal.color(QPalette::Active, QPalette::Base);
    QColor text = selected ? pal.color(QPalette::Active, QPalette::HighlightedText)
                           : pal.color(QPalette::Active, QPalette::Text);
    if (index.data(ToSourceRole).toBool()) {
        text = ReadableOn(kToSourceColor, background);
    } else if (index.data(MarkedRole).toBool()) {
        text = ReadableOn(kMarkedColor, background);
    }
    painter->save();
    painter->setPen(text);
    painter->setFont(option.font);
    const QRect r = option.rect.adjusted(2, 0, 0, 0);
    QString line = index.data(Qt::DisplayRole).toString();
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    line.replace(u'\n', u' ').replace(u'\r', u' ');
    painter->drawText(r, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, line);
    if (option.state & QStyle::State_HasFocus && option.widget && option.widget->hasFocus()) {
        QStyleOptionFocusRect fr;
        fr.QStyleOption::operator=(option);
        fr.rect = option.rect;
        fr.state |= QStyle::State_KeyboardFocusChange;
        fr.backgroundColor = selected ? pal.color(QPalette::Highlight) : pal.color(QPalette::Base);
        QStyle* style = option.widget ? option.widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &fr, painter, option.widget);
    }
    painter->restore();
}

QSize TMergedDelegate::sizeHint(const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    // One line of fixed height, as wide as the longest item (every item the same size,
    // so that a list of a million items needs no measuring).
    const int chars = std::max(1, index.data(WidestLineRole).toInt());
    return QSize(option.fontMetrics.averageCharWidth() * chars + 4,
                 option.fontMetrics.height() + 2);
}

// ---- TContactModel

TContactModel::TContactModel(TZMTHeadList& heads, QObject* parent)
    : QAbstractListModel(parent), heads_(heads) {}

void TContactModel::SetLines(std::vector<TContactLine> lines) {
    beginResetModel();
    lines_ = std::move(lines);
    endResetModel();
}

int TContactModel::EntryOf(int row) const {
    if (row < 0 || row >= static_cast<int>(lines_.size())) {
        return -1;
    }
    return lines_[static_cast<std::size_t>(row)].Index;
}

int TContactModel::RowOf(int entry) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].Index == entry) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void TContactModel::RemoveLine(int row) {
    if (row < 0 || row >= static_cast<int>(lines_.size())) {
        return;
    }
    beginRemoveRows(QModelIndex(), row, row);
    lines_.erase(lines_.begin() + row);
    endRemoveRows();
}

const TZMTHead* TContactModel::Entry(int row) const {
    const int e = EntryOf(row);
    if (e < 0 || e >= heads_.Count()) {
        return nullptr;
    }
    return &heads_[e];
}

int TContactModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

QVariant TContactModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const TContactLine& line = lines_[static_cast<std::size_t>(index.row())];
    const TZMTHead* e = Entry(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return line.Text;
    case Qt::CheckStateRole:
        if (!line.HasCheckBox) {
            return {};
        }
        return line.Checked ? Qt::Checked : Qt::Unchecked;
    case MarkedRole:
        return e && e->Marked;
    case ValidRole:
        return e && e->Valid;
    case NoDestinationRole:
        return e && e->Valid && e->DstFile.isEmpty();
    case EntryIndexRole:
        return line.Index;
    default:
        return {};
    }
}

bool TContactModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return false;
    }
    TContactLine& line = lines_[static_cast<std::size_t>(index.row())];
    if (!line.HasCheckBox) {
        return false;
    }
    line.Checked = value.toInt() == Qt::Checked;
    const int e = line.Index;
    if (e >= 0 && e < heads_.Count()) {
        heads_[e].Checked = line.Checked;
    }
    emit dataChanged(index, index, {Qt::CheckStateRole});
    emit checkChanged(index.row());
    return true;
}

Qt::ItemFlags TContactModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (lines_[static_cast<std::size_t>(index.row())].HasCheckBox) {
        f |= Qt::ItemIsUserCheckable;
    }
    return f;
}

// ---- TContactDelegate

void TContactDelegate::initStyleOption(QStyleOptionViewItem* option,
                                       const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    // The selection keeps the active colours when the list has no focus.
    option->palette.setCurrentColorGroup(QPalette::Active);
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        option->palette.setColor(group, QPalette::Highlight,
                                 option->palette.color(QPalette::Active, QPalette::Highlight));
        option->palette.setColor(
            group, QPalette::HighlightedText,
            option->palette.color(QPalette::Active, QPalette::HighlightedText));
    }
    if (!index.data(ValidRole).toBool()) {
        return; // a header line: regular, in the list's colours
    }
    if (index.data(NoDestinationRole).toBool()) {
        const QPalette& pal = option->palette;
        const QColor onBase =
            ReadableOn(kNoDestinationColor, pal.color(QPalette::Active, QPalette::Base));
        const QColor onSelection =
            ReadableOn(kNoDestinationColor, pal.color(QPalette::Active, QPalette::Highlight));
        for (auto group : {QPalette::Active, QPalette::Inactive}) {
            option->palette.setColor(group, QPalette::Text, onBase);
            option->palette.setColor(group, QPalette::HighlightedText, onSelection);
        }
    }
    option->font.setBold(index.data(MarkedRole).toBool());
}

} // namespace vimosync
