#pragma once

// The item models and delegates of the two list views: the merged view LBM (one line
// per merged message, differing ones in red) and the contact list LB1 (a check box per
// valid contact, header lines for unreadable ones, bold for differences, dark red for
// contacts without a destination file). Both models keep the data and make each line's
// text only when the view asks for it, so a list of a million lines fills at once.

#include "history/Model.h"
#include "workflow/Workflow.h"

#include <QAbstractListModel>
#include <QColor>
#include <QStyledItemDelegate>

#include <memory>
#include <vector>

namespace vimosync {

// The two fixed colours of the lists.
inline const QColor kMarkedColor = QColor(255, 0, 0);
inline const QColor kNoDestinationColor = QColor(128, 0, 0);
// Both ways: a merged message that the source lacks (red ones the destination lacks).
inline const QColor kToSourceColor = QColor(0, 110, 230);

// The colour as drawn on the background: itself when it stands out enough (a contrast
// ratio of 3 or more), else the same hue made lighter on a dark background or darker on
// a light one until it does, so that red on the blue selection or dark red on a dark
// theme stays readable.
QColor ReadableOn(const QColor& wanted, const QColor& background);
double ContrastRatio(const QColor& a, const QColor& b);

enum TViewRole : int {
    MarkedRole = Qt::UserRole + 1, // bool: LBM item of a differing message; LB1 entry Marked
    ValidRole,                     // bool: LB1 entry Valid
    NoDestinationRole,             // bool: LB1 entry without destination file
    EntryIndexRole,                // int: LB1 line's index into HeadList
    WidestLineRole,                // int: LBM characters of the longest item (any index)
    ToSourceRole,                  // bool: LBM item of a message the source lacks (both ways)
};

// LBM: the merged messages, or plain lines (such as the invalid-file line).
class TMergedModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit TMergedModel(QObject* parent = nullptr);

    // Shows the first count messages of the list (all when count < 0). longestText is
    // LongestText over those messages when the caller has measured it already, or -1.
    void SetList(std::shared_ptr<const TZMTMessList> list, bool showNumbers,
                 const QString& dtFormat, int count = -1, qsizetype longestText = -1);
    void SetLines(const QStringList& lines);
    void Clear();
    // Clear, handing over the list shown until now (null for none).
    std::shared_ptr<const TZMTMessList> TakeList();

    bool IsMarked(int row) const; // differing: either side lacks it
    bool IsToSource(int row) const;
    const std::shared_ptr<const TZMTMessList>& List() const { return list_; }
    // About the number of characters of the longest item, for the width of the list.
    int WidestLine() const { return widest_; }
    // The bytes of the longest text among messages from .. to - 1 of the list.
    static qsizetype LongestText(const TZMTMessList& list, int from, int to);

    QModelIndex index(int row, int column = 0,
                      const QModelIndex& parent = QModelIndex()) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    std::shared_ptr<const TZMTMessList> list_;
    int count_ = 0;
    bool showNumbers_ = true;
    QString dtFormat_;
    QStringList lines_;
    int widest_ = 0;
};

// Draws one line of text per item at the item's top left, without wrapping; a marked
// item's text is red, also when selected.
class TMergedDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// LB1: the lines of RebuildContactList over the entries of HeadList. A check box click
// sets the entry's Checked.
class TContactModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit TContactModel(TZMTHeadList& heads, QObject* parent = nullptr);

    // Replaces every line in one step.
    void SetLines(std::vector<TContactLine> lines);
    const std::vector<TContactLine>& Lines() const { return lines_; }
    // The HeadList index of a line, -1 when there is no such line.
    int EntryOf(int row) const;
    // The line showing the entry, -1 when none does.
    int RowOf(int entry) const;
    // Removes one line (the entry stays in HeadList).
    void RemoveLine(int row);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // The user changed a check mark.
    void checkChanged(int row);

private:
    const TZMTHead* Entry(int row) const;
    TZMTHeadList& heads_;
    std::vector<TContactLine> lines_;
};

// The contact list's look: bold for entries with differences, dark red for valid
// entries without a destination file (also when selected).
class TContactDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

} // namespace vimosync
