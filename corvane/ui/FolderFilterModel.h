// What the folder view shows, and its thumbnails. The include test follows
// the filter mode stored under "Filtering": folders always, links and hidden
// files only when everything is shown, and pictures by kind. Thumbnails are
// made on worker threads and appear as they are ready; the view never waits
// for a picture to be read.
#pragma once

#include <QCache>
#include <QFileInfo>
#include <QIcon>
#include <QPixmap>
#include <QSet>
#include <QSortFilterProxyModel>

class ISettingsStore;
class QFileSystemModel;

enum FilterMode : int { ShowAllContents = 0, ShowJpeg = 1, ShowTiff = 2, ShowJpegAndTiff = 3 };

class CFolderFilterModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    // Beside the usual roles: the thumbnail as a pixmap once made (invalid
    // before), and whether the item is a picture.
    enum Role { ThumbnailRole = Qt::UserRole + 40, IsPictureRole };

    CFolderFilterModel(QFileSystemModel& files, const ISettingsStore& settings, QObject* parent = nullptr);

    // Whether an item is shown under a filter mode.
    static bool IncludeObject(const QFileInfo& item, int mode);
    // A picture (not a folder) of kind JPEG or TIFF.
    static bool IsPicture(const QFileInfo& item);
    int Mode() const;
    // The filter mode changed: ask every item again.
    void Refilter();

    QVariant data(const QModelIndex& index, int role) const override;
    QFileInfo FileInfo(const QModelIndex& index) const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    void RequestThumbnail(const QString& path) const;
    void OnThumbnailReady(const QString& path, const QImage& image);

    QFileSystemModel& files_;
    const ISettingsStore& settings_;
    mutable QCache<QString, QPixmap> thumbnails_;
    mutable QSet<QString> requested_;
};
