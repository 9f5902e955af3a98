#include "CommandIcons.h"

#include <QHash>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include "CommandTable.h"

namespace C = CommandId;

// The drawings live in this static library's resources, which the linker
// keeps only when they are named.
static bool LinkResources()
{
    Q_INIT_RESOURCE(corvane);
    return true;
}

namespace {

struct CommandDrawing {
    int Id;
    const char* Name;
};

const CommandDrawing kDrawings[] = {
    {C::Up, "up"}, {C::Back, "back"}, {C::Forward, "forward"},
    {C::Undo, "undo"}, {C::Redo, "redo"},
    {C::Save, "save"}, {C::SaveAs, "save-as"}, {C::SaveAll, "save-all"},
    {C::SelectAll, "select-all"}, {C::DeselectAll, "deselect-all"}, {C::InvertSelection, "invert-selection"},
    {C::AllGeotagged, "all-geotagged"}, {C::AllNonGeotagged, "all-non-geotagged"}, {C::AllPictures, "all-pictures"},
    {C::Filter, "filter"},
    {C::StampGps, "stamp-gps"}, {C::StampTitle, "stamp-title"}, {C::StampAddress, "stamp-address"},
    {C::GeotagFromTrack, "geotag-from-track"},
    {C::ExplorerView, "explorer-view"}, {C::MetadataView, "metadata-view"},
    {C::StatusExplorerView, "explorer-view"}, {C::StatusMetadataView, "metadata-view"},
    {C::CommandBar, "command-bar"}, {C::OrganizeMenu, "organize-menu"}, {C::ViewMenu, "view-menu"},
    {C::StatusBar, "status-bar"}, {C::FileSystemPane, "file-system-pane"},
    {C::Map, "map"}, {C::ShowTrack, "show-track"}, {C::ClearTracks, "clear-tracks"},
    {C::GeocodeSelected, "geocode-selected"}, {C::GeocodeAll, "geocode-all"},
    {C::ClearSelectedRecords, "clear-selected-records"}, {C::ClearAllRecords, "clear-all-records"},
    {C::ClearField, "clear-field"},
    {C::ExportSelected, "export-selected"}, {C::ExportAll, "export-all"}, {C::ExportGpx, "export-gpx"},
    {C::Options, "options"}, {C::About, "about"}, {C::Exit, "exit"},
    {C::ShowTabsOnly, "display-options"}, {C::ShowTabsAndCommands, "display-options"},
};

// The sizes the strip, menus, the quick-access bar and the views ask for.
const int kSizes[] = {16, 20, 24, 32, 48, 64, 96};

QIcon Render(const QString& resource)
{
    QSvgRenderer renderer(resource);
    if (!renderer.isValid()) return {};
    QIcon icon;
    for (const int size : kSizes) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, size, size));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon Cached(const QString& resource)
{
    static QHash<QString, QIcon> cache;
    static const bool registered = LinkResources();
    (void)registered;
    auto it = cache.find(resource);
    if (it == cache.end()) it = cache.insert(resource, Render(resource));
    return *it;
}

}  // namespace

QString CommandIcons::DrawingOf(int command)
{
    for (const CommandDrawing& d : kDrawings)
        if (d.Id == command) return QLatin1String(d.Name);
    return {};
}

QIcon CommandIcons::ForCommand(int command)
{
    const QString name = DrawingOf(command);
    return name.isEmpty() ? QIcon() : Named(name);
}

QIcon CommandIcons::Named(const QString& name)
{
    return Cached(QStringLiteral(":/icons/%1.svg").arg(name));
}

QIcon CommandIcons::Program() { return Cached(QStringLiteral(":/corvane.svg")); }
