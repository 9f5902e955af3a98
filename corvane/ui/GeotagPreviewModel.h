// The preview table of the geotag dialog: one row per picture with its
// capture time, the same in UTC, the position it would get, how far in time
// the nearest fix is, and the result. Texts are made when a row is painted,
// so recomputing a thousand placements costs no text at all.
#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "TrackGeotagging.h"

class CGeotagPreviewModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { PictureColumn, CaptureColumn, UtcColumn, PositionColumn, NearestFixColumn, ResultColumn, ColumnCount };

    struct Row {
        QString Picture;
        CaptureStamp Stamp;
        PicturePlacement Placement;
    };

    explicit CGeotagPreviewModel(QObject* parent = nullptr);

    void SetRows(std::vector<Row> rows);
    const std::vector<Row>& Rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString Text(const Row& row, int column) const;

    std::vector<Row> rows_;
};
