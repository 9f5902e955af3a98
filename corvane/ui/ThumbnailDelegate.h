// How the folder view's icon mode draws an item: a square cell of the
// chosen icon size holding the thumbnail letterboxed (a placeholder while it
// is made), the full name under it on two lines elided in the middle, the
// selection over the whole cell, and a badge on pictures with unsaved
// changes. Every cell has the same size, so a thumbnail arriving late never
// changes the grid. Other view modes are drawn as usual.
#pragma once

#include <QStyledItemDelegate>
#include <functional>

class QListView;

class CThumbnailDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    // `changed` tells whether the picture of an index waits to be saved.
    CThumbnailDelegate(QListView& view, std::function<bool(const QModelIndex&)> changed);

    // The cell of an icon of `iconSize` with two lines of text of `font`.
    static QSize CellSize(int iconSize, const QFontMetrics& font);
    // The name as drawn under the icon: one line when it fits, else two, the
    // second elided in the middle so the end of the name stays readable.
    static QStringList NameLines(const QString& name, const QFontMetrics& font, int width);

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    bool IconMode() const;
    void PaintPicture(QPainter* painter, const QRect& square, const QModelIndex& index) const;

    QListView& view_;
    std::function<bool(const QModelIndex&)> changed_;
};
