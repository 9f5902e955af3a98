// The metadata view: a folder tree (230 px, shown while "FSysGPSMLV" is 1)
// beside the table of the current folder's pictures, one column per geotag
// field. Edits and clears become pending changes of the document; the view
// also copies cells and rows, sorts, and exports the table as CSV.
#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include "DocumentInterfaces.h"

class CCorvaneDoc;
class CMetadataItemDelegate;
class CMetadataTableModel;
class CMetadataTableView;
class ISettingsStore;
class QFileSystemModel;
class QTreeView;

class CGPSMetadataListView : public QWidget, public IBrowseLocationChangeSink {
    Q_OBJECT
public:
    static constexpr int TreeWidth = 230;
    static constexpr int TableLeft = 235;

    CGPSMetadataListView(CCorvaneDoc& doc, ISettingsStore& settings, QWidget* parent = nullptr);

    // Refills the rows from the document (a new folder, new records, a new order).
    void Fill();
    void RefreshItems(const QList<int>& items);
    // Repaints every row (after Undo, Redo, saves); the order and selection stay.
    void RefreshAll();

    bool FileSystemPaneShown() const;
    void ToggleFileSystemPane();

    // Selected rows in table order, and the document items they show.
    std::vector<int> SelectedRows() const;
    std::vector<int> SelectedItems() const;
    // Selects the rows of these document items (added to the selection when `extend`).
    void SelectItems(const std::vector<int>& items, bool extend);
    int RowCount() const;
    void ClearSelection();
    // The selection commands of the command strip, on the rows.
    void SelectAll();
    void InvertSelection();
    // Selects the pictures with (or without) latitude and longitude; unreadable ones by neither.
    void SelectGeotagged(bool geotagged);

    // Header click: sort by the column, flipping the order at every click; "#" only drops the arrow.
    void OnHeaderClicked(int column);
    int SortColumn() const { return sortColumn_; }
    bool SortAscending() const { return ascending_; }

    // Commands of the context menu and the command strip.
    void ClearField(const std::vector<int>& rows, int column);
    void ClearRecords(const std::vector<int>& rows);
    void CopyField(int row, int column) const;
    void CopyRecord(int row) const;
    void ExportToCsv(bool selectedOnly);
    std::vector<int> AllRows() const;

    // Where the export asks for its file name; the tests answer without a dialog.
    void SetFileChooser(std::function<QString()> chooser) { chooser_ = std::move(chooser); }
    // The Save As of the context menu (the frame runs the document's Save As flow).
    void SetSaveAsHandler(std::function<void(int item)> handler) { saveAs_ = std::move(handler); }
    // Browsing from the tree goes through the folder view, which asks the document first.
    void SetNavigator(std::function<void(const QString&)> navigator) { navigate_ = std::move(navigator); }

    CMetadataTableView* Table() const { return table_; }
    CMetadataTableModel* Model() const { return model_; }
    QTreeView* Tree() const { return tree_; }

    HRESULT OnBrowseLocationChanging(const std::string& folder) override;
    void OnBrowseLocationChanged(const std::string& folder) override;

signals:
    void SelectionChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void LayOut();
    void ShowContextMenu(const QPoint& position);
    void RunContextCommand(int command, int row, int column);
    QString ChooseCsvFile();
    void OnTreeActivated(const QModelIndex& index);

    CCorvaneDoc& doc_;
    ISettingsStore& settings_;
    QFileSystemModel* folders_;
    QTreeView* tree_;
    CMetadataTableView* table_;
    CMetadataTableModel* model_;
    CMetadataItemDelegate* delegate_;
    int sortColumn_ = 0;
    bool ascending_ = false;
    std::function<QString()> chooser_;
    std::function<void(int)> saveAs_;
    std::function<void(const QString&)> navigate_;
};
