// The rows of the metadata table: one per picture of the document, in the
// document's row order, with the cell texts of the metadata table. Nothing
// is read from files here: every text comes from the record in memory.
// Writing a cell hands one pending change for that picture to the document.
#pragma once

#include <QAbstractTableModel>
#include <memory>
#include <vector>

#include "ImageOperation.h"

class CCorvaneDoc;
struct PictureItem;

class CMetadataTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CMetadataTableModel(CCorvaneDoc& doc, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Rows are dragged (onto the map) as the files of their pictures, copied, never moved.
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }

    static bool IsEditableColumn(int column) { return column >= 2 && column < 15; }
    // The document's item index shown in `row`; -1 outside the rows.
    int ItemAt(int row) const;
    // Hands `entries` (one per field, all for the picture of `row`) to the document.
    void ApplyToRow(int row, std::vector<std::unique_ptr<UpdateEntry>> entries);
    // One change covering every picture of `rows`, clearing `fields` of each.
    void ClearFields(const std::vector<int>& rows, const std::vector<int>& fields);
    // The rows were filled again from the document (new folder, new order).
    void Reload();
    // Repaints every row, keeping selection and order when the rows are the same.
    void RefreshAll();
    // Repaints the rows of these document items.
    void RefreshItems(const QList<int>& items);

    CCorvaneDoc& Document() const { return doc_; }

private:
    QVariant ChangeMark(int item, int role) const;
    QVariant ReadFailure(const PictureItem& picture, int role) const;

    CCorvaneDoc& doc_;
    int shownRows_ = 0;
};
