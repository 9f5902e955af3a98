// The places at the top of the folder browser, as a Linux file dialog shows
// them: the home folder and its usual folders (Desktop, Pictures...), then
// mounted volumes and drives. The folder tree below starts at the place
// that holds the current folder, so system folders stay out of sight; the
// address bar still reaches any folder.
#pragma once

#include <QListWidget>
#include <vector>

struct FolderPlace {
    QString Name;
    QString Path;
};

class CFolderPlaces : public QListWidget {
    Q_OBJECT
public:
    explicit CFolderPlaces(QWidget* parent = nullptr);

    // The user's places that exist, then the mounted volumes.
    static std::vector<FolderPlace> Find();
    // The place whose folder holds `folder` most closely; the file system's root when none does.
    static QString PlaceOf(const QString& folder, const std::vector<FolderPlace>& places);
    // Whether a mounted volume is one a user keeps files on (not a system or virtual file system).
    static bool IsUserVolume(const QString& mountPoint, const QByteArray& fileSystemType);

    const std::vector<FolderPlace>& Places() const { return places_; }
    // Marks the place holding `folder`.
    void ShowFolder(const QString& folder);

signals:
    void PlaceChosen(const QString& path);

private:
    std::vector<FolderPlace> places_;
};
