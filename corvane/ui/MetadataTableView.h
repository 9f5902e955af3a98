// The table of the metadata view: whole-row selection, grid lines, centred
// cells, editors opened by a double click, and Tab / Shift+Tab moving the
// editor across editable cells only, wrapping to the next or previous row.
// Columns fit their title and contents until the user sizes them; the
// widths the user chose are kept as text between runs.
#pragma once

#include <QSet>
#include <QTableView>

class CMetadataTableView : public QTableView {
    Q_OBJECT
public:
    explicit CMetadataTableView(QWidget* parent = nullptr);

    // Widens (or, unless `growOnly`, also narrows) the columns the user has
    // not sized so that their title and every cell fit.
    void FitColumns(bool growOnly);
    // The widths the user chose, as "column=width" pairs joined by ';'.
    QString UserColumnWidths() const;
    void RestoreUserColumnWidths(const QString& widths);

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;

private:
    QSet<int> userSized_;
    bool fitting_ = false;
};
