// The in-place editors of the metadata table, one kind per column: date and
// time pickers, numeric edits with the coordinate limits, the image
// direction editor, the precision list and plain text edits. Committing an
// editor hands one pending change for that picture and column to the
// document; leaving an editor of an empty cell untouched changes nothing.
#pragma once

#include <QStyledItemDelegate>
#include <memory>

#include "ImageOperation.h"

class CGPSMetadataInfo;

class CMetadataItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

    // The precision words of the list, in order, and the fixed DOP each stands for.
    static const QStringList& PrecisionWords();
    static double PrecisionDop(int wordIndex);

    // The update entry an editor holds for `column`; null when it holds nothing to apply.
    static std::unique_ptr<UpdateEntry> EntryFromEditor(QWidget* editor, int column);
    // Fills an editor of `column` from a record (null: the column's starting value).
    static void FillEditor(QWidget* editor, int column, const CGPSMetadataInfo* record);

private:
    const CGPSMetadataInfo* RecordOf(const QModelIndex& index) const;
};
