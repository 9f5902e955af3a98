// The table of the metadata view: whole-row selection, grid lines, centred
// cells, editors opened by a double click, and Tab / Shift+Tab moving the
// editor across editable cells only, wrapping to the next or previous row.
#pragma once

#include <QTableView>

class CMetadataTableView : public QTableView {
    Q_OBJECT
public:
    explicit CMetadataTableView(QWidget* parent = nullptr);

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
};
