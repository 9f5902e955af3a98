#include "GeotagPreviewModel.h"

#include <QBrush>
#include <QColor>

namespace {

QString FromUtf8(const std::string& text)
{
    return QString::fromStdString(text);
}

QString CaptureText(const CGeotagPreviewModel::Row& row)
{
    const auto& capture = row.Placement.Capture;
    if (!capture) return QObject::tr("no date taken");
    QString text = FromUtf8(FormatCameraTime(row.Stamp)) + QStringLiteral(" ") +
                   FromUtf8(FormatOffset(capture->OffsetSeconds));
    if (capture->OffsetFromPicture) text += QObject::tr(" (from the picture)");
    return text;
}

}  // namespace

CGeotagPreviewModel::CGeotagPreviewModel(QObject* parent) : QAbstractTableModel(parent) {}

void CGeotagPreviewModel::SetRows(std::vector<Row> rows)
{
    if (rows.size() == rows_.size()) {
        // The same pictures placed again: the view keeps its scroll position
        // and selection.
        rows_ = std::move(rows);
        if (!rows_.empty()) emit dataChanged(index(0, 0), index(static_cast<int>(rows_.size()) - 1, ColumnCount - 1));
        return;
    }
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int CGeotagPreviewModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int CGeotagPreviewModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString CGeotagPreviewModel::Text(const Row& row, int column) const
{
    const PicturePlacement& p = row.Placement;
    const bool matched = p.Capture && p.Match.Outcome != MatchOutcome::NoTrack;
    switch (column) {
    case PictureColumn: return row.Picture;
    case CaptureColumn: return CaptureText(row);
    case UtcColumn: return p.Capture ? FromUtf8(FormatUtc(p.Capture->Utc)) : QString();
    case PositionColumn: return p.Match.Placed() ? FromUtf8(PositionText(p.Match)) : QString();
    case NearestFixColumn: return matched ? FromUtf8(DurationText(p.Match.NearestFix)) : QString();
    case ResultColumn: return (p.Result == PlacementResult::Placed ? tr("placed, ") : tr("not placed: ")) +
                              FromUtf8(ResultText(p));
    default: return {};
    }
}

QVariant CGeotagPreviewModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
    const Row& row = rows_[static_cast<size_t>(index.row())];
    if (role == Qt::DisplayRole) return Text(row, index.column());
    if (role == Qt::ForegroundRole && index.column() == ResultColumn && row.Placement.Result != PlacementResult::Placed)
        return QBrush(QColor(0xA0, 0x30, 0x20));
    return {};
}

QVariant CGeotagPreviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const kTitles[] = {"Picture", "Capture Time", "UTC", "Position", "Nearest Fix", "Result"};
    return section >= 0 && section < ColumnCount ? tr(kTitles[section]) : QVariant();
}
