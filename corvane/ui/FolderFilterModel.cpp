#include "FolderFilterModel.h"

#include <QCoreApplication>
#include <QFileSystemModel>
#include <QImage>
#include <QPointer>
#include <QThreadPool>

#include "PictureFormat.h"
#include "SettingsStore.h"
#include "Thumbnailer.h"

namespace {

constexpr int kThumbnailCacheSize = 4000;

QImage ToImage(const CBitmap& bitmap)
{
    QImage view(bitmap.Data(), bitmap.Width(), bitmap.Height(), bitmap.Stride(), QImage::Format_ARGB32_Premultiplied);
    return view.copy();  // the bitmap dies with the worker
}

}  // namespace

CFolderFilterModel::CFolderFilterModel(QFileSystemModel& files, const ISettingsStore& settings, QObject* parent)
    : QSortFilterProxyModel(parent), files_(files), settings_(settings), thumbnails_(kThumbnailCacheSize)
{
    setSourceModel(&files);
    setDynamicSortFilter(true);
}

bool CFolderFilterModel::IncludeObject(const QFileInfo& item, int mode)
{
    // Links and hidden files go as soon as any filter is chosen.
    const bool hiddenByNature = item.isSymLink() || item.isHidden();
    if (hiddenByNature && mode != ShowAllContents) return false;
    if (item.isDir()) return true;
    const PictureFormat kind = PictureKindFromName(item.fileName().toStdWString());
    switch (mode) {
    case ShowJpeg: return kind == PictureFormatJpeg;
    case ShowTiff: return kind == PictureFormatTiff;
    case ShowJpegAndTiff: return kind == PictureFormatJpeg || kind == PictureFormatTiff;
    default: return true;
    }
}

bool CFolderFilterModel::IsPicture(const QFileInfo& item)
{
    return !item.isDir() && PictureKindFromName(item.fileName().toStdWString()) != PictureFormatOther;
}

int CFolderFilterModel::Mode() const { return settings_.GetInt("Filtering", ShowAllContents); }

void CFolderFilterModel::Refilter() { invalidateFilter(); }

bool CFolderFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    const QModelIndex index = files_.index(sourceRow, 0, sourceParent);
    return IncludeObject(files_.fileInfo(index), Mode());
}

QFileInfo CFolderFilterModel::FileInfo(const QModelIndex& index) const
{
    return files_.fileInfo(mapToSource(index));
}

QVariant CFolderFilterModel::data(const QModelIndex& index, int role) const
{
    const bool thumbnailRole = role == Qt::DecorationRole || role == ThumbnailRole;
    if ((!thumbnailRole && role != IsPictureRole) || index.column() != 0)
        return QSortFilterProxyModel::data(index, role);
    const QFileInfo info = FileInfo(index);
    if (role == IsPictureRole) return IsPicture(info);
    if (!IsPicture(info)) return role == ThumbnailRole ? QVariant() : QSortFilterProxyModel::data(index, role);
    const QString path = info.absoluteFilePath();
    if (QPixmap* thumbnail = thumbnails_.object(path))
        return role == ThumbnailRole ? QVariant(*thumbnail) : QVariant(QIcon(*thumbnail));
    RequestThumbnail(path);
    return role == ThumbnailRole ? QVariant() : QSortFilterProxyModel::data(index, role);
}

void CFolderFilterModel::RequestThumbnail(const QString& path) const
{
    if (requested_.contains(path)) return;
    requested_.insert(path);
    QPointer<CFolderFilterModel> self(const_cast<CFolderFilterModel*>(this));
    QThreadPool::globalInstance()->start([self, path] {
        CBitmap thumb;
        QImage image;
        if (SUCCEEDED(MakeThumbnail(path.toStdString(), thumb, nullptr)) && !thumb.Empty()) image = ToImage(thumb);
        // The application outlives the model; the pointer is checked on the user-interface thread.
        QMetaObject::invokeMethod(
            qApp, [self, path, image] { if (self) self->OnThumbnailReady(path, image); }, Qt::QueuedConnection);
    });
}

void CFolderFilterModel::OnThumbnailReady(const QString& path, const QImage& image)
{
    if (image.isNull()) return;  // the file's own icon stays
    thumbnails_.insert(path, new QPixmap(QPixmap::fromImage(image)));
    const QModelIndex index = mapFromSource(files_.index(path));
    if (index.isValid()) emit dataChanged(index, index, {Qt::DecorationRole, ThumbnailRole});
}
