#include "MetadataTableView.h"

#include <QHeaderView>

#include "MetadataTableModel.h"

CMetadataTableView::CMetadataTableView(QWidget* parent) : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setShowGrid(true);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultSectionSize(120);
    horizontalHeader()->setMinimumSectionSize(30);
    setContextMenuPolicy(Qt::CustomContextMenu);
    // Selected rows can be dragged onto the map.
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
}

QModelIndex CMetadataTableView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    if (cursorAction != MoveNext && cursorAction != MovePrevious) return QTableView::moveCursor(cursorAction, modifiers);
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !model()) return QTableView::moveCursor(cursorAction, modifiers);
    const int columns = model()->columnCount();
    const int rows = model()->rowCount();
    int row = current.row();
    int column = current.column();
    const int step = cursorAction == MoveNext ? 1 : -1;
    // At most one full turn through the table: read-only columns are skipped.
    for (int guard = 0; guard < columns * 2 + 2; ++guard) {
        column += step;
        if (column >= columns) {
            column = 0;
            ++row;
        } else if (column < 0) {
            column = columns - 1;
            --row;
        }
        if (row < 0 || row >= rows) return current;
        if (CMetadataTableModel::IsEditableColumn(column)) return model()->index(row, column);
    }
    return current;
}
