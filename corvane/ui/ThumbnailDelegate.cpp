#include "ThumbnailDelegate.h"

#include <QApplication>
#include <QListView>
#include <QPainter>
#include <QPainterPath>

#include "CommandIcons.h"
#include "CommandTable.h"
#include "FolderFilterModel.h"

namespace {

constexpr int kMargin = 6;   // around the picture square and the text, inside the cell
constexpr int kTextGap = 4;  // between the square and the name

}  // namespace

CThumbnailDelegate::CThumbnailDelegate(QListView& view, std::function<bool(const QModelIndex&)> changed)
    : QStyledItemDelegate(&view), view_(view), changed_(std::move(changed))
{
}

QSize CThumbnailDelegate::CellSize(int iconSize, const QFontMetrics& font)
{
    const int width = std::max(iconSize, font.averageCharWidth() * 12) + 2 * kMargin;
    return {width, kMargin + iconSize + kTextGap + 2 * font.lineSpacing() + kMargin};
}

QStringList CThumbnailDelegate::NameLines(const QString& name, const QFontMetrics& font, int width)
{
    if (font.horizontalAdvance(name) <= width) return {name};
    // The longest start that fits, broken after a space, '-' or '_' when there is one.
    int fits = 1;
    while (fits < name.size() && font.horizontalAdvance(name.left(fits + 1)) <= width) ++fits;
    for (int i = fits; i > fits / 2; --i) {
        const QChar c = name.at(i - 1);
        if (c == QLatin1Char(' ') || c == QLatin1Char('-') || c == QLatin1Char('_')) {
            fits = i;
            break;
        }
    }
    return {name.left(fits).trimmed(), font.elidedText(name.mid(fits).trimmed(), Qt::ElideMiddle, width)};
}

bool CThumbnailDelegate::IconMode() const { return view_.viewMode() == QListView::IconMode; }

QSize CThumbnailDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (!IconMode()) return QStyledItemDelegate::sizeHint(option, index);
    return CellSize(view_.iconSize().width(), option.fontMetrics);
}

void CThumbnailDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (!IconMode()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRect cell = option.rect.adjusted(1, 1, -1, -1);
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& palette = option.palette;
    if (selected || (option.state & QStyle::State_MouseOver)) {
        QColor fill = palette.color(QPalette::Highlight);
        fill.setAlpha(selected ? 110 : 40);
        painter->setPen(selected ? palette.color(QPalette::Highlight) : Qt::NoPen);
        painter->setBrush(fill);
        painter->drawRoundedRect(QRectF(cell).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    }
    const int size = view_.iconSize().width();
    const QRect square(cell.left() + (cell.width() - size) / 2, option.rect.top() + kMargin, size, size);
    PaintPicture(painter, square, index);
    if (changed_ && changed_(index)) {
        const int badge = std::max(16, size / 5);
        CommandIcons::Named(QStringLiteral("changed"))
            .paint(painter, QRect(square.right() - badge + 2, square.top() - 2, badge, badge));
    }
    const QRect text(cell.left() + kMargin / 2, square.bottom() + kTextGap, cell.width() - kMargin,
                     2 * option.fontMetrics.lineSpacing());
    const QStringList lines = NameLines(index.data(Qt::DisplayRole).toString(), option.fontMetrics, text.width());
    painter->setPen(palette.color(QPalette::Text));
    painter->setFont(option.font);
    painter->drawText(text, Qt::AlignHCenter | Qt::AlignTop, lines.join(QLatin1Char('\n')));
    painter->restore();
}

void CThumbnailDelegate::PaintPicture(QPainter* painter, const QRect& square, const QModelIndex& index) const
{
    const QVariant thumbnail = index.data(CFolderFilterModel::ThumbnailRole);
    if (thumbnail.isValid()) {
        // Letterboxed: the whole picture, its proportions kept, centred in the square.
        const QPixmap pixmap = thumbnail.value<QPixmap>();
        const QSize fitted = pixmap.size().scaled(square.size(), Qt::KeepAspectRatio);
        const QRect target(square.left() + (square.width() - fitted.width()) / 2,
                           square.top() + (square.height() - fitted.height()) / 2, fitted.width(), fitted.height());
        painter->drawPixmap(target, pixmap);
        painter->setPen(QColor(0, 0, 0, 60));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(target.adjusted(0, 0, -1, -1));
        return;
    }
    if (index.data(CFolderFilterModel::IsPictureRole).toBool()) {
        // A picture whose thumbnail is still being made.
        QColor frame = view_.palette().color(QPalette::Text);
        frame.setAlpha(50);
        painter->setPen(frame);
        painter->setBrush(QColor(frame.red(), frame.green(), frame.blue(), 18));
        painter->drawRoundedRect(QRectF(square).adjusted(4.5, 12.5, -4.5, -12.5), 3, 3);
        const int glyph = square.width() / 3;
        painter->setOpacity(0.45);
        CommandIcons::ForCommand(CommandId::AllPictures).paint(
            painter, QRect(square.center().x() - glyph / 2, square.center().y() - glyph / 2, glyph, glyph));
        painter->setOpacity(1);
        return;
    }
    const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
    const int size = square.width() * 2 / 3;
    icon.paint(painter, QRect(square.center().x() - size / 2, square.center().y() - size / 2, size, size));
}
