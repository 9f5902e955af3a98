#include "ExplorerBrowserView.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include "CommandIcons.h"
#include "CommandTable.h"
#include "CorvaneDoc.h"
#include "FolderFilterModel.h"
#include "FolderOrganizer.h"
#include "FolderPlaces.h"
#include "GeoTagFile.h"
#include "SettingsStore.h"
#include "ThumbnailDelegate.h"
#include "Thumbnailer.h"

namespace {

// Pictures are dragged out (onto the map) as copies; the views take no drops.
void AllowDragOut(QAbstractItemView* view)
{
    view->setDragEnabled(true);
    view->setDragDropMode(QAbstractItemView::DragOnly);
    view->setDefaultDropAction(Qt::CopyAction);
}

}  // namespace

CExplorerBrowserView::CExplorerBrowserView(CCorvaneDoc& doc, ISettingsStore& settings, QWidget* parent)
    : QWidget(parent),
      doc_(doc),
      settings_(settings),
      files_(new QFileSystemModel(this)),
      folders_(new QFileSystemModel(this)),
      filter_(new CFolderFilterModel(*files_, settings, this)),
      places_(new CFolderPlaces(this)),
      navigation_(new QTreeView(this)),
      views_(new QStackedWidget(this)),
      icons_(new QListView(this)),
      details_(new QTreeView(this)),
      address_(new QLineEdit(this))
{
    files_->setFilter(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    files_->setReadOnly(false);  // renaming in place
    files_->setRootPath(QString());
    folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    folders_->setRootPath(QString());
    navigation_->setModel(folders_);
    for (int c = 1; c < folders_->columnCount(); ++c) navigation_->hideColumn(c);
    navigation_->setHeaderHidden(true);

    icons_->setModel(filter_);
    icons_->setItemDelegate(new CThumbnailDelegate(*icons_, [this](const QModelIndex& index) {
        return HasUnsavedChanges(filter_->FileInfo(index));
    }));
    icons_->setResizeMode(QListView::Adjust);
    icons_->setMouseTracking(true);  // the cell under the pointer is lit
    icons_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    icons_->setEditTriggers(QAbstractItemView::EditKeyPressed);
    details_->setModel(filter_);
    details_->setSelectionModel(icons_->selectionModel());
    details_->setRootIsDecorated(false);
    details_->setItemsExpandable(false);
    details_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    details_->setEditTriggers(QAbstractItemView::EditKeyPressed);
    AllowDragOut(icons_);
    AllowDragOut(details_);
    views_->addWidget(icons_);
    views_->addWidget(details_);
    ShowIcons(ThumbnailSide);

    // Places on top of the tree, as in the desktop's own file dialogs.
    auto* navigationPane = new QSplitter(Qt::Vertical, this);
    navigationPane->addWidget(places_);
    navigationPane->addWidget(navigation_);
    navigationPane->setStretchFactor(1, 1);
    navigationPane->setChildrenCollapsible(false);
    navigationPane->setSizes({places_->maximumHeight(), 4000});
    connect(places_, &CFolderPlaces::PlaceChosen, this, [this](const QString& path) { NavigateTo(path); });
    auto* splitter = new QSplitter(this);
    splitter->addWidget(navigationPane);
    splitter->addWidget(views_);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({240, 800});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(BuildCommandBar());
    layout->addWidget(splitter);

    connect(icons_, &QAbstractItemView::activated, this, &CExplorerBrowserView::OnActivated);
    connect(details_, &QAbstractItemView::activated, this, &CExplorerBrowserView::OnActivated);
    connect(navigation_, &QTreeView::clicked, this,
            [this](const QModelIndex& index) { NavigateTo(folders_->filePath(index)); });
    connect(icons_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CExplorerBrowserView::OnSelectionChanged);
    connect(address_, &QLineEdit::returnPressed, this, [this] { NavigateTo(address_->text()); });
}

QToolBar* CExplorerBrowserView::BuildCommandBar()
{
    commandBar_ = new QToolBar(this);
    commandBar_->setIconSize(QSize(16, 16));
    commandBar_->addAction(CommandIcons::ForCommand(CommandId::Back), tr("Back"), this, &CExplorerBrowserView::GoBack);
    commandBar_->addAction(CommandIcons::ForCommand(CommandId::Forward), tr("Forward"), this,
                           &CExplorerBrowserView::GoForward);
    commandBar_->addAction(CommandIcons::ForCommand(CommandId::Up), tr("Up"), this, &CExplorerBrowserView::GoUp);
    address_->setPlaceholderText(tr("Folder"));
    commandBar_->addWidget(address_);

    organize_ = new QToolButton(this);
    organize_->setText(tr("Organize"));
    organize_->setPopupMode(QToolButton::InstantPopup);
    organize_->setMenu(new CFolderOrganizer(*files_, *icons_, this));
    commandBar_->addWidget(organize_);

    viewMenu_ = new QToolButton(this);
    viewMenu_->setText(tr("View"));
    viewMenu_->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(viewMenu_);
    menu->addAction(tr("Large Icons"), this, [this] { ShowIcons(ThumbnailSide); });
    menu->addAction(tr("Medium Icons"), this, [this] { ShowIcons(ThumbnailSide * 2 / 3); });
    menu->addAction(tr("List"), this, [this] {
        icons_->setViewMode(QListView::ListMode);
        icons_->setGridSize(QSize());
        icons_->setIconSize(QSize(16, 16));
        icons_->setUniformItemSizes(true);
        AllowDragOut(icons_);
        views_->setCurrentWidget(icons_);
    });
    menu->addAction(tr("Details"), this, [this] { views_->setCurrentWidget(details_); });
    viewMenu_->setMenu(menu);
    commandBar_->addWidget(viewMenu_);
    return commandBar_;
}

void CExplorerBrowserView::ShowIcons(int size)
{
    icons_->setViewMode(QListView::IconMode);
    icons_->setIconSize(QSize(size, size));
    // Every cell has the delegate's fixed size, whether its thumbnail has come or not.
    icons_->setGridSize(CThumbnailDelegate::CellSize(size, icons_->fontMetrics()) + QSize(6, 6));
    icons_->setUniformItemSizes(true);
    icons_->setWordWrap(false);
    icons_->setSpacing(0);
    AllowDragOut(icons_);
    views_->setCurrentWidget(icons_);
}

bool CExplorerBrowserView::HasUnsavedChanges(const QFileInfo& info) const
{
    if (!CFolderFilterModel::IsPicture(info) || info.absolutePath() != current_) return false;
    const int item = doc_.FindItemByName(info.fileName().toStdWString());
    return item >= 0 && doc_.HasUnsavedChangesAt(item);
}

QItemSelectionModel* CExplorerBrowserView::Selection() const { return icons_->selectionModel(); }

bool CExplorerBrowserView::NavigateTo(const QString& folder)
{
    const QFileInfo info(folder);
    const QString target = info.exists() ? info.absoluteFilePath() : folder;
    if (target.isEmpty() || target == current_) return true;
    // The document hears only of folders; it refuses archives itself.
    const bool refused = (!QFileInfo(target).isDir() && !CCorvaneDoc::IsZippedFolder(target.toStdString())) ||
                         FAILED(doc_.OnNavigationPending(target.toStdString())) || !QFileInfo(target).isDir();
    if (refused) {
        ShowLocation();  // the tree and the address go back to the folder still shown
        return false;
    }
    current_ = target;
    ShowRoot();
    doc_.OnNavigationComplete(current_.toStdString());
    emit LocationChanged();
    return true;
}

void CExplorerBrowserView::ShowRoot()
{
    const QModelIndex root = filter_->mapFromSource(files_->index(current_));
    icons_->setRootIndex(root);
    details_->setRootIndex(root);
    ShowLocation();
    OnSelectionChanged();
}

void CExplorerBrowserView::ShowLocation()
{
    address_->setText(QDir::toNativeSeparators(current_));
    // The tree starts at the place that holds the folder, opened down to it.
    places_->ShowFolder(current_);
    const QModelIndex place = folders_->index(CFolderPlaces::PlaceOf(current_, places_->Places()));
    if (navigation_->rootIndex() != place) navigation_->setRootIndex(place);
    const QModelIndex inTree = folders_->index(current_);
    for (QModelIndex up = inTree.parent(); up.isValid() && up != place; up = up.parent()) navigation_->expand(up);
    navigation_->expand(inTree);
    navigation_->setCurrentIndex(inTree);
    navigation_->scrollTo(inTree);
}

void CExplorerBrowserView::OnActivated(const QModelIndex& index)
{
    const QFileInfo info = filter_->FileInfo(index);
    if (info.isDir())
        NavigateTo(info.absoluteFilePath());
    else
        QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath()));  // the desktop's default action
}

bool CExplorerBrowserView::CanGoUp() const
{
    QDir dir(current_);
    return !current_.isEmpty() && dir.cdUp();
}

void CExplorerBrowserView::GoUp()
{
    QDir dir(current_);
    if (dir.cdUp()) NavigateTo(dir.absolutePath());
}

void CExplorerBrowserView::GoBack()
{
    if (doc_.BackList().size() <= 1) return;
    if (auto target = doc_.TakeBackTarget()) NavigateTo(QString::fromStdString(*target));
}

void CExplorerBrowserView::GoForward()
{
    if (auto target = doc_.TakeForwardTarget()) NavigateTo(QString::fromStdString(*target));
}

QModelIndexList CExplorerBrowserView::VisibleItems() const
{
    QModelIndexList items;
    const QModelIndex root = icons_->rootIndex();
    for (int row = 0; row < filter_->rowCount(root); ++row) items.append(filter_->index(row, 0, root));
    return items;
}

void CExplorerBrowserView::SelectAll() { icons_->selectAll(); }

void CExplorerBrowserView::DeselectAll() { icons_->selectionModel()->clearSelection(); }

void CExplorerBrowserView::InvertSelection()
{
    QItemSelection all;
    for (const QModelIndex& index : VisibleItems()) all.select(index, index);
    icons_->selectionModel()->select(all, QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
}

bool CExplorerBrowserView::IsGeotagged(const QString& path) const
{
    const int item = doc_.FindItemByName(QFileInfo(path).fileName().toStdWString());
    if (item >= 0 && doc_.Item(item).Current()) {
        const CGPSMetadataInfo* record = doc_.Item(item).Current();
        return record->Latitude && record->Longitude;
    }
    std::string error;
    const auto record = ReadGeoTag(path.toStdString(), nullptr, &error);
    return record && record->Latitude && record->Longitude;
}

void CExplorerBrowserView::SelectGeotagged(bool geotagged)
{
    DeselectAll();
    QItemSelection chosen;
    for (const QModelIndex& index : VisibleItems()) {
        const QFileInfo info = filter_->FileInfo(index);
        if (!CFolderFilterModel::IsPicture(info)) continue;
        const int item = doc_.FindItemByName(info.fileName().toStdWString());
        // A picture whose metadata cannot be read is left out by both commands.
        if (item >= 0 && !doc_.Item(item).Current()) continue;
        if (IsGeotagged(info.absoluteFilePath()) == geotagged) chosen.select(index, index);
    }
    icons_->selectionModel()->select(chosen, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void CExplorerBrowserView::SelectAllPictures()
{
    QItemSelection chosen;
    for (const QModelIndex& index : VisibleItems())
        if (CFolderFilterModel::IsPicture(filter_->FileInfo(index))) chosen.select(index, index);
    icons_->selectionModel()->select(chosen, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

std::vector<QString> CExplorerBrowserView::SelectedPicturePaths() const
{
    std::vector<QString> paths;
    for (const QModelIndex& index : VisibleItems()) {
        if (!icons_->selectionModel()->isSelected(index)) continue;
        const QFileInfo info = filter_->FileInfo(index);
        if (CFolderFilterModel::IsPicture(info)) paths.push_back(info.absoluteFilePath());
    }
    return paths;
}

std::vector<int> CExplorerBrowserView::SelectedItems() const
{
    std::vector<int> items;
    for (const QString& path : SelectedPicturePaths()) {
        const int item = doc_.FindItemByName(QFileInfo(path).fileName().toStdWString());
        if (item >= 0) items.push_back(item);
    }
    return items;
}

void CExplorerBrowserView::SelectItems(const std::vector<int>& items, bool extend)
{
    QItemSelection chosen;
    QModelIndex first;
    for (const int item : items) {
        if (item < 0 || item >= doc_.Count()) continue;
        const QModelIndex index =
            filter_->mapFromSource(files_->index(QString::fromStdString(doc_.Item(item).Path)));
        if (!index.isValid()) continue;
        chosen.select(index, index);
        if (!first.isValid()) first = index;
    }
    const auto mode = (extend ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect) |
                      QItemSelectionModel::Rows;
    icons_->selectionModel()->select(chosen, mode);
    if (first.isValid()) icons_->scrollTo(first);
}

void CExplorerBrowserView::OnSelectionChanged()
{
    int count = 0;
    for (const QModelIndex& index : icons_->selectionModel()->selectedIndexes())
        if (index.column() == 0 && CFolderFilterModel::IsPicture(filter_->FileInfo(index))) ++count;
    selectedPictures_ = count;
    emit SelectionChanged();
}

void CExplorerBrowserView::RefreshMarks()
{
    icons_->viewport()->update();
    details_->viewport()->update();
}

int CExplorerBrowserView::FilterMode() const { return filter_->Mode(); }

void CExplorerBrowserView::SetFilterMode(int mode)
{
    settings_.SetInt("Filtering", mode);
    filter_->Refilter();
    ShowRoot();
}

void CExplorerBrowserView::TogglePane(Pane pane)
{
    panes_[pane] = !panes_[pane];
    QWidget* widgets[] = {commandBar_, organize_, viewMenu_};
    widgets[pane]->setVisible(panes_[pane]);
    // The organise and view buttons live inside the command bar; their actions follow them.
    for (QAction* action : commandBar_->actions())
        if (commandBar_->widgetForAction(action) == widgets[pane]) action->setVisible(panes_[pane]);
}
