#include "GPSMetadataListView.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMessageBox>
#include <QTreeView>

#include "CorvaneDoc.h"
#include "CsvExport.h"
#include "FolderPlaces.h"
#include "MetadataItemDelegate.h"
#include "MetadataRowSorter.h"
#include "MetadataTable.h"
#include "MetadataTableModel.h"
#include "MetadataTableView.h"
#include "SettingsStore.h"

namespace {

struct ContextEntry {
    int Command;
    const char* Text;
};

// The context menu of a cell, in menu order; 0 is a separator.
const ContextEntry kContextMenu[] = {
    {1105, "Save As..."},   {0, nullptr},           {1101, "Clear Field"},
    {1102, "Clear Record"}, {0, nullptr},           {1103, "Copy Field"},
    {1104, "Copy Record"},  {0, nullptr},           {1108, "Export Selected to CSV File..."},
    {1107, "Export All to CSV File..."},
};

std::vector<int> RecordFields()
{
    std::vector<int> fields;
    for (int f = DateTakenField; f <= CountryField; ++f) fields.push_back(f);
    return fields;
}

}  // namespace

CGPSMetadataListView::CGPSMetadataListView(CCorvaneDoc& doc, ISettingsStore& settings, QWidget* parent)
    : QWidget(parent),
      doc_(doc),
      settings_(settings),
      folders_(new QFileSystemModel(this)),
      tree_(new QTreeView(this)),
      table_(new CMetadataTableView(this)),
      model_(new CMetadataTableModel(doc, this)),
      delegate_(new CMetadataItemDelegate(this))
{
    setObjectName(QStringLiteral("GpsMetadataListView"));
    folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    folders_->setRootPath(QString());
    tree_->setModel(folders_);
    for (int c = 1; c < folders_->columnCount(); ++c) tree_->hideColumn(c);
    tree_->setHeaderHidden(true);
    table_->setModel(model_);
    table_->setItemDelegate(delegate_);
    doc_.AddObserver(this);

    connect(tree_, &QTreeView::clicked, this, &CGPSMetadataListView::OnTreeActivated);
    connect(table_->horizontalHeader(), &QHeaderView::sectionClicked, this, &CGPSMetadataListView::OnHeaderClicked);
    connect(table_, &QWidget::customContextMenuRequested, this, &CGPSMetadataListView::ShowContextMenu);
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CGPSMetadataListView::SelectionChanged);
    connect(model_, &QAbstractItemModel::modelReset, this, &CGPSMetadataListView::SelectionChanged);
    LayOut();
}

void CGPSMetadataListView::Fill()
{
    model_->Reload();
    table_->horizontalHeader()->setSortIndicatorShown(false);
    sortColumn_ = 0;
    table_->FitColumns(false);
}

void CGPSMetadataListView::RefreshItems(const QList<int>& items)
{
    model_->RefreshItems(items);
    table_->FitColumns(true);  // a longer value widens its column, never narrows it under the user
}

void CGPSMetadataListView::RefreshAll()
{
    model_->RefreshAll();
    table_->FitColumns(true);
}

bool CGPSMetadataListView::FileSystemPaneShown() const { return settings_.GetInt("FSysGPSMLV", 1) == 1; }

void CGPSMetadataListView::ToggleFileSystemPane()
{
    settings_.SetInt("FSysGPSMLV", FileSystemPaneShown() ? 0 : 1);
    LayOut();
}

void CGPSMetadataListView::LayOut()
{
    const QRect area = rect();
    if (FileSystemPaneShown()) {
        tree_->show();
        tree_->setGeometry(0, 0, TreeWidth, area.height());
        table_->setGeometry(TableLeft, 0, std::max(0, area.width() - TableLeft), area.height());
    } else {
        tree_->hide();
        table_->setGeometry(area);
    }
}

void CGPSMetadataListView::resizeEvent(QResizeEvent*) { LayOut(); }

std::vector<int> CGPSMetadataListView::SelectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::vector<int> CGPSMetadataListView::SelectedItems() const
{
    std::vector<int> items;
    for (const int row : SelectedRows())
        if (model_->ItemAt(row) >= 0) items.push_back(model_->ItemAt(row));
    return items;
}

void CGPSMetadataListView::SelectItems(const std::vector<int>& items, bool extend)
{
    QItemSelection chosen;
    int first = -1;
    for (int row = 0; row < RowCount(); ++row)
        if (std::find(items.begin(), items.end(), model_->ItemAt(row)) != items.end()) {
            chosen.select(model_->index(row, 0), model_->index(row, model_->columnCount() - 1));
            if (first < 0) first = row;
        }
    table_->selectionModel()->select(chosen, extend ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect);
    if (first >= 0) table_->scrollTo(model_->index(first, 0));
}

std::vector<int> CGPSMetadataListView::AllRows() const
{
    std::vector<int> rows(static_cast<size_t>(RowCount()));
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<int>(i);
    return rows;
}

int CGPSMetadataListView::RowCount() const { return model_->rowCount(); }

void CGPSMetadataListView::ClearSelection()
{
    table_->selectionModel()->clearSelection();
    table_->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

void CGPSMetadataListView::SelectAll() { table_->selectAll(); }

void CGPSMetadataListView::InvertSelection()
{
    if (RowCount() == 0) return;
    const QItemSelection all(model_->index(0, 0), model_->index(RowCount() - 1, model_->columnCount() - 1));
    table_->selectionModel()->select(all, QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
}

void CGPSMetadataListView::SelectGeotagged(bool geotagged)
{
    std::vector<int> chosen;
    for (int row = 0; row < RowCount(); ++row) {
        const int item = model_->ItemAt(row);
        const CGPSMetadataInfo* record = item >= 0 ? doc_.Item(item).Current() : nullptr;
        if (!record) continue;
        if (bool(record->Latitude && record->Longitude) == geotagged) chosen.push_back(item);
    }
    SelectItems(chosen, false);
    if (chosen.empty()) ClearSelection();
}

void CGPSMetadataListView::OnHeaderClicked(int column)
{
    QHeaderView* header = table_->horizontalHeader();
    if (column == RowNumber) {
        header->setSortIndicatorShown(false);
        sortColumn_ = 0;
        return;
    }
    ascending_ = !ascending_;  // every click flips, whichever column it is
    sortColumn_ = column;
    const std::vector<int> selected = SelectedItems();
    MetadataRowSorter::SortRows(doc_, column, ascending_);
    model_->Reload();
    header->setSortIndicatorShown(true);
    header->setSortIndicator(column, ascending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
    // The same pictures stay selected in their new rows.
    for (int row = 0; row < RowCount(); ++row)
        if (std::find(selected.begin(), selected.end(), model_->ItemAt(row)) != selected.end())
            table_->selectionModel()->select(model_->index(row, 0),
                                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void CGPSMetadataListView::ClearField(const std::vector<int>& rows, int column)
{
    if (!CMetadataTableModel::IsEditableColumn(column)) return;
    model_->ClearFields(rows, {column});
}

void CGPSMetadataListView::ClearRecords(const std::vector<int>& rows) { model_->ClearFields(rows, RecordFields()); }

void CGPSMetadataListView::CopyField(int row, int column) const
{
    QApplication::clipboard()->setText(model_->index(row, column).data().toString());
}

void CGPSMetadataListView::CopyRecord(int row) const
{
    QString text = model_->index(row, PictureName).data().toString();
    for (int column = DateTakenField; column <= CountryField; ++column)
        text += QLatin1Char('\t') + model_->index(row, column).data().toString();
    QApplication::clipboard()->setText(text);
}

QString CGPSMetadataListView::ChooseCsvFile()
{
    if (chooser_) return chooser_();
    QFileDialog dialog(window(), tr("Choose Where to Save and Its Name"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(tr("CSV (Comma Delimited) (*.CSV)"));
    if (!doc_.CurrentFolder().empty()) dialog.setDirectory(QString::fromStdString(doc_.CurrentFolder()));
    dialog.selectFile(tr("New GPS Metadata List"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

void CGPSMetadataListView::ExportToCsv(bool selectedOnly)
{
    const QString chosen = ChooseCsvFile();
    if (chosen.isEmpty()) return;
    std::vector<MetadataTable::Row> rows;
    for (const int row : selectedOnly ? SelectedRows() : AllRows()) {
        const int item = model_->ItemAt(row);
        if (item >= 0) rows.push_back({doc_.Item(item).Name, doc_.Item(item).Current()});
    }
    const std::string csv = MetadataTable::ToCsv(rows, MetadataTable::LocaleListSeparator());
    QString error;
    if (!CsvExport::WriteFile(CsvExport::CsvPath(chosen), csv, &error))
        QMessageBox::warning(window(), tr("Unable to Save As"),
                             tr("Unable to save the item with specified name.") + QStringLiteral("\n") + error);
}

void CGPSMetadataListView::ShowContextMenu(const QPoint& position)
{
    const QModelIndex index = table_->indexAt(position);
    if (!index.isValid()) return;  // outside any row or column: no menu
    QMenu menu(this);
    for (const ContextEntry& entry : kContextMenu) {
        if (!entry.Command) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(tr(entry.Text));
        action->setData(entry.Command);
        if (entry.Command == 1101) action->setEnabled(CMetadataTableModel::IsEditableColumn(index.column()));
    }
    QAction* chosen = menu.exec(table_->viewport()->mapToGlobal(position));
    if (chosen) RunContextCommand(chosen->data().toInt(), index.row(), index.column());
}

void CGPSMetadataListView::RunContextCommand(int command, int row, int column)
{
    switch (command) {
    case 1105:
        if (saveAs_ && model_->ItemAt(row) >= 0) saveAs_(model_->ItemAt(row));
        break;
    case 1101: ClearField({row}, column); break;
    case 1102: ClearRecords({row}); break;
    case 1103: CopyField(row, column); break;
    case 1104: CopyRecord(row); break;
    case 1107: ExportToCsv(false); break;
    case 1108: ExportToCsv(true); break;
    default: break;
    }
    model_->RefreshItems({model_->ItemAt(row)});
}

void CGPSMetadataListView::OnTreeActivated(const QModelIndex& index)
{
    const QString path = folders_->filePath(index);
    if (path.isEmpty()) {
        QMessageBox::information(window(), tr("Category Item Selected"), tr("Select a sub-item from this category."));
        return;
    }
    if (navigate_) navigate_(path);
    // A refused navigation leaves the tree on the folder whose pictures are shown.
    const QModelIndex shown = folders_->index(QString::fromStdString(doc_.CurrentFolder()));
    if (shown.isValid() && shown != tree_->currentIndex()) {
        tree_->setCurrentIndex(shown);
        tree_->scrollTo(shown);
    }
}

HRESULT CGPSMetadataListView::OnBrowseLocationChanging(const std::string&)
{
    return S_OK;
}

void CGPSMetadataListView::OnBrowseLocationChanged(const std::string& folder)
{
    Fill();  // the document has loaded the folder's pictures
    const QString path = QString::fromStdString(folder);
    // Like the folder view's tree: from the place that holds the folder, not from the system's root.
    const QModelIndex place = folders_->index(CFolderPlaces::PlaceOf(path, CFolderPlaces::Find()));
    if (tree_->rootIndex() != place) tree_->setRootIndex(place);
    const QModelIndex index = folders_->index(path);
    if (!index.isValid()) return;
    tree_->setCurrentIndex(index);
    tree_->scrollTo(index);
}
