#include "MetadataTableView.h"

#include <QHeaderView>

#include "MetadataTableModel.h"

namespace {

// A very long address or name still leaves room for the other columns.
constexpr int kWidestFittedColumn = 480;
constexpr int kPadding = 12;

}  // namespace

void CMetadataTableView::FitColumns(bool growOnly)
{
    if (!model()) return;
    fitting_ = true;
    QHeaderView* header = horizontalHeader();
    for (int column = 0; column < model()->columnCount(); ++column) {
        if (userSized_.contains(column)) continue;
        const int wanted = std::min(kWidestFittedColumn,
                                    std::max(sizeHintForColumn(column), header->sectionSizeHint(column)) + kPadding);
        if (!growOnly || wanted > header->sectionSize(column)) header->resizeSection(column, wanted);
    }
    fitting_ = false;
}

QString CMetadataTableView::UserColumnWidths() const
{
    QStringList pairs;
    for (int column = 0; model() && column < model()->columnCount(); ++column)
        if (userSized_.contains(column))
            pairs << QStringLiteral("%1=%2").arg(column).arg(horizontalHeader()->sectionSize(column));
    return pairs.join(QLatin1Char(';'));
}

void CMetadataTableView::RestoreUserColumnWidths(const QString& widths)
{
    for (const QString& pair : widths.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        bool columnOk = false, widthOk = false;
        const int column = pair.section(QLatin1Char('='), 0, 0).toInt(&columnOk);
        const int width = pair.section(QLatin1Char('='), 1, 1).toInt(&widthOk);
        // Stored text is not trusted: a column that does not exist or an absurd width is skipped.
        if (!columnOk || !widthOk || column < 0 || column >= horizontalHeader()->count() || width < 10 || width > 4000)
            continue;
        horizontalHeader()->resizeSection(column, width);  // marks it as the user's
    }
}

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
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column) {
        if (!fitting_) userSized_.insert(column);
    });
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
