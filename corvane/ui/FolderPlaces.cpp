#include "FolderPlaces.h"

#include <QDir>
#include <QFileIconProvider>
#include <QStandardPaths>
#include <QStorageInfo>

namespace {

struct UserPlace {
    QStandardPaths::StandardLocation Location;
    const char* Name;
};

const UserPlace kUserPlaces[] = {
    {QStandardPaths::HomeLocation, "Home"},         {QStandardPaths::DesktopLocation, "Desktop"},
    {QStandardPaths::PicturesLocation, "Pictures"}, {QStandardPaths::DocumentsLocation, "Documents"},
    {QStandardPaths::DownloadLocation, "Downloads"},
};

bool Holds(const QString& place, const QString& folder)
{
    if (place == QLatin1String("/")) return true;
    return folder == place || folder.startsWith(place + QLatin1Char('/'));
}

}  // namespace

CFolderPlaces::CFolderPlaces(QWidget* parent) : QListWidget(parent), places_(Find())
{
    setObjectName(QStringLiteral("FolderPlaces"));
    setIconSize(QSize(16, 16));
    setUniformItemSizes(true);
    const QFileIconProvider icons;
    for (const FolderPlace& place : places_) {
        auto* item = new QListWidgetItem(icons.icon(QFileInfo(place.Path)), place.Name, this);
        item->setToolTip(place.Path);
        item->setData(Qt::UserRole, place.Path);
    }
    // As tall as its places, so the tree below keeps the room.
    setMaximumHeight(sizeHintForRow(0) * (count() + 1) + 2 * frameWidth());
    connect(this, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { emit PlaceChosen(item->data(Qt::UserRole).toString()); });
}

bool CFolderPlaces::IsUserVolume(const QString& mountPoint, const QByteArray& fileSystemType)
{
    static const char* const kVirtual[] = {"proc", "sysfs", "tmpfs", "devtmpfs", "devpts", "cgroup", "cgroup2",
                                           "overlay", "squashfs", "autofs", "mqueue", "debugfs", "tracefs",
                                           "securityfs", "pstore", "bpf", "configfs", "fusectl", "hugetlbfs",
                                           "binfmt_misc", "ramfs", "nsfs", "efivarfs"};
    for (const char* type : kVirtual)
        if (fileSystemType == type) return false;
    // Removable drives and volumes mounted by hand live here; the root, /boot and the like are the system's.
    for (const char* prefix : {"/media/", "/run/media/", "/mnt/"})
        if (mountPoint.startsWith(QLatin1String(prefix))) return true;
    return false;
}

std::vector<FolderPlace> CFolderPlaces::Find()
{
    std::vector<FolderPlace> places;
    const QString home = QDir::homePath();
    for (const UserPlace& p : kUserPlaces) {
        const QString path = QDir::cleanPath(QStandardPaths::writableLocation(p.Location));
        // A desktop without its own Pictures folder maps it to home: name it once.
        if (path.isEmpty() || !QFileInfo(path).isDir() || (p.Location != QStandardPaths::HomeLocation && path == home))
            continue;
        places.push_back({QObject::tr(p.Name), path});
    }
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady() || !IsUserVolume(volume.rootPath(), volume.fileSystemType()))
            continue;
        const QString name = volume.displayName().isEmpty() ? volume.rootPath() : volume.displayName();
        places.push_back({name, volume.rootPath()});
    }
    places.push_back({QObject::tr("Computer"), QStringLiteral("/")});
    return places;
}

QString CFolderPlaces::PlaceOf(const QString& folder, const std::vector<FolderPlace>& places)
{
    QString best = QStringLiteral("/");
    const QString clean = QDir::cleanPath(folder);
    for (const FolderPlace& place : places)
        if (Holds(place.Path, clean) && place.Path.size() > best.size()) best = place.Path;
    return best;
}

void CFolderPlaces::ShowFolder(const QString& folder)
{
    const QString place = PlaceOf(folder, places_);
    for (int row = 0; row < count(); ++row)
        if (item(row)->data(Qt::UserRole).toString() == place) {
            setCurrentRow(row);
            return;
        }
    clearSelection();
}
