#include "MetadataTableModel.h"

#include <QFont>
#include <QMimeData>
#include <QUrl>

#include "CommandIcons.h"
#include "CorvaneDoc.h"
#include "ImageMetadataManipulationOperation.h"
#include "MetadataTable.h"

CMetadataTableModel::CMetadataTableModel(CCorvaneDoc& doc, QObject* parent) : QAbstractTableModel(parent), doc_(doc)
{
}

int CMetadataTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(doc_.RowOrder().size());
}

int CMetadataTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : MetadataTable::ColumnCount;
}

int CMetadataTableModel::ItemAt(int row) const
{
    const auto& order = doc_.RowOrder();
    if (row < 0 || row >= static_cast<int>(order.size())) return -1;
    const int item = order[static_cast<size_t>(row)];
    return item >= 0 && item < doc_.Count() ? item : -1;
}

QVariant CMetadataTableModel::data(const QModelIndex& index, int role) const
{
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    const int item = ItemAt(index.row());
    if (item < 0) return {};
    const PictureItem& picture = doc_.Item(item);
    if (!picture.Current() && (role == Qt::ToolTipRole || (index.column() == PictureName && role == Qt::DecorationRole)))
        return ReadFailure(picture, role);
    if (index.column() == PictureName && role != Qt::DisplayRole) return ChangeMark(item, role);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    return QString::fromStdWString(
        MetadataTable::CellText(picture.Current(), index.column(), index.row() + 1, picture.Name));
}

// A picture whose metadata could not be read is marked, and says why.
QVariant CMetadataTableModel::ReadFailure(const PictureItem& picture, int role) const
{
    if (role == Qt::DecorationRole) return CommandIcons::Named(QStringLiteral("unreadable"));
    const QString reason = QString::fromStdString(picture.ReadError.empty() ? std::string("not read") : picture.ReadError);
    return tr("%1: its metadata could not be read (%2)").arg(QString::fromStdWString(picture.Name), reason);
}

QVariant CMetadataTableModel::ChangeMark(int item, int role) const
{
    // The name of a picture with unsaved changes (edits or queued stamps) is bold and marked.
    const bool changed = doc_.HasUnsavedChangesAt(item);
    switch (role) {
    case Qt::FontRole: {
        if (!changed) return {};
        QFont font;
        font.setBold(true);
        return font;
    }
    case Qt::DecorationRole: return changed ? QVariant(CommandIcons::Named(QStringLiteral("changed"))) : QVariant();
    case Qt::ToolTipRole: {
        const QString name = QString::fromStdWString(doc_.Item(item).Name);
        return changed ? tr("%1: changed, not saved yet").arg(name) : name;
    }
    default: return {};
    }
}

QVariant CMetadataTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromWCharArray(MetadataTable::ColumnTitle(section));
}

Qt::ItemFlags CMetadataTableModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (IsEditableColumn(index.column())) flags |= Qt::ItemIsEditable;
    if (index.isValid()) flags |= Qt::ItemIsDragEnabled;
    return flags;
}

QStringList CMetadataTableModel::mimeTypes() const { return {QStringLiteral("text/uri-list")}; }

QMimeData* CMetadataTableModel::mimeData(const QModelIndexList& indexes) const
{
    QList<QUrl> urls;
    QList<int> rows;
    for (const QModelIndex& index : indexes) {
        const int item = ItemAt(index.row());
        if (item < 0 || rows.contains(index.row())) continue;
        rows << index.row();
        urls << QUrl::fromLocalFile(QString::fromStdString(doc_.Item(item).Path));
    }
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

void CMetadataTableModel::ApplyToRow(int row, std::vector<std::unique_ptr<UpdateEntry>> entries)
{
    const int item = ItemAt(row);
    if (item < 0 || entries.empty()) return;
    std::vector<MetadataChange> changes(1);
    changes[0].Operation = std::make_unique<CImageMetadataManipulationOperation>();
    changes[0].Updates = std::move(entries);
    doc_.ApplyMetadataChange({item}, std::move(changes));
}

void CMetadataTableModel::ClearFields(const std::vector<int>& rows, const std::vector<int>& fields)
{
    std::vector<int> items;
    std::vector<MetadataChange> changes;
    for (const int row : rows) {
        const int item = ItemAt(row);
        if (item < 0) continue;
        MetadataChange change;
        change.Operation = std::make_unique<CImageMetadataManipulationOperation>();
        for (const int field : fields) {
            auto entry = std::make_unique<UpdateEntry>();
            entry->Field = field;
            entry->Clear = true;
            change.Updates.push_back(std::move(entry));
        }
        items.push_back(item);
        changes.push_back(std::move(change));
    }
    if (!items.empty()) doc_.ApplyMetadataChange(items, std::move(changes));
}

void CMetadataTableModel::Reload()
{
    beginResetModel();
    shownRows_ = rowCount();
    endResetModel();
}

void CMetadataTableModel::RefreshAll()
{
    if (rowCount() != shownRows_) {
        Reload();
        return;
    }
    if (shownRows_ > 0) emit dataChanged(index(0, 0), index(shownRows_ - 1, columnCount() - 1));
}

void CMetadataTableModel::RefreshItems(const QList<int>& items)
{
    const auto& order = doc_.RowOrder();
    for (size_t row = 0; row < order.size(); ++row)
        if (items.contains(order[row]))
            emit dataChanged(index(static_cast<int>(row), 0), index(static_cast<int>(row), columnCount() - 1));
}
