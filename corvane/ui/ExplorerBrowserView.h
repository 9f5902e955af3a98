// The folder browser: a navigation tree and a folder view (icons, list or
// details) over the file system, with a command bar (back, forward, up and
// an editable address), an organise menu and a view menu. Every navigation
// goes through the document, which may refuse it; the view keeps the
// number of selected pictures and carries the selection and filter commands.
#pragma once

#include <QAbstractItemModel>
#include <QWidget>
#include <functional>
#include <vector>

class CCorvaneDoc;
class CFolderFilterModel;
class CFolderPlaces;
class ISettingsStore;
class QFileInfo;
class QFileSystemModel;
class QItemSelectionModel;
class QLineEdit;
class QListView;
class QStackedWidget;
class QToolBar;
class QToolButton;
class QTreeView;

class CExplorerBrowserView : public QWidget {
    Q_OBJECT
public:
    enum Pane { CommandBar, OrganizeMenu, ViewMenu };

    CExplorerBrowserView(CCorvaneDoc& doc, ISettingsStore& settings, QWidget* parent = nullptr);

    // Browses to a folder; false when the document refused to leave the current one.
    bool NavigateTo(const QString& folder);
    QString CurrentFolder() const { return current_; }
    void GoUp();
    void GoBack();
    void GoForward();
    bool CanGoUp() const;

    void SelectAll();
    void DeselectAll();
    void InvertSelection();
    void SelectGeotagged(bool geotagged);
    void SelectAllPictures();
    int SelectedPictureCount() const { return selectedPictures_; }
    // Paths of the selected pictures, in the order of the view.
    std::vector<QString> SelectedPicturePaths() const;
    // The document items of the selected pictures.
    std::vector<int> SelectedItems() const;
    // Selects the pictures of these document items (added to the selection when `extend`).
    void SelectItems(const std::vector<int>& items, bool extend);

    int FilterMode() const;
    void SetFilterMode(int mode);

    bool PaneShown(Pane pane) const { return panes_[pane]; }
    void TogglePane(Pane pane);

    // Repaints the marks of pictures with unsaved changes.
    void RefreshMarks();

    CFolderFilterModel* Filter() const { return filter_; }
    QItemSelectionModel* Selection() const;
    QFileSystemModel* Files() const { return files_; }

signals:
    void SelectionChanged();
    void LocationChanged();

private:
    QToolBar* BuildCommandBar();
    void OnActivated(const QModelIndex& index);
    void OnSelectionChanged();
    void ShowRoot();
    // The tree and the address bar show the current folder.
    void ShowLocation();
    bool IsGeotagged(const QString& path) const;
    // The icon mode with square cells of `size` pixels.
    void ShowIcons(int size);
    bool HasUnsavedChanges(const QFileInfo& info) const;
    QModelIndexList VisibleItems() const;

    CCorvaneDoc& doc_;
    ISettingsStore& settings_;
    QFileSystemModel* files_;
    QFileSystemModel* folders_;
    CFolderFilterModel* filter_;
    CFolderPlaces* places_;
    QTreeView* navigation_;
    QStackedWidget* views_;
    QListView* icons_;
    QTreeView* details_;
    QToolBar* commandBar_;
    QToolButton* organize_;
    QToolButton* viewMenu_;
    QLineEdit* address_;
    QString current_;
    int selectedPictures_ = 0;
    bool panes_[3] = {true, true, true};
};
