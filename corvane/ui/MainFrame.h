// The main window: the command strip (tabs "HOME", "VIEW" and the context
// tab "METADATA VIEW" shown with the metadata view), the quick-access bar,
// the status bar with the two view shortcuts, and the two views of which
// one is visible. Every command of the command table is an action here,
// with its enabling rule and handler; the window's look is one of five
// palettes. Closing with unsaved changes asks first.
#pragma once

#include <QMainWindow>
#include <functional>
#include <map>
#include <vector>

class CCommandStrip;
class CCorvaneDoc;
class CExplorerBrowserView;
class CGPSMetadataListView;
class CMapPanel;
class CQtDocumentUserInterface;
class ISettingsStore;
class QSettings;
class QDockWidget;
class QLabel;
class QStackedWidget;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    enum ActiveView { FolderBrowser = 0, MetadataList = 1 };

    CMainFrame(CCorvaneDoc& doc, CQtDocumentUserInterface& ui, ISettingsStore& settings, QSettings& profile,
               QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Runs a command as the strip, a menu or a shortcut would.
    void Execute(int command);
    QAction* Action(int command) const;
    // Recomputes every action's enabled and checked state.
    void UpdateCommandUI();

    ActiveView Active() const { return active_; }
    void ShowMetadataView();
    void ShowExplorerView();
    bool ContextTabShown() const;

    int Look() const { return look_; }
    void SetLook(int look);
    int Screentips() const { return screentips_; }
    void SetScreentips(int style);

    // The selected pictures of the active view, as document items.
    std::vector<int> ActiveSelection() const;
    // Posted commands (1099, 1083) arrive here.
    void OnPostedCommand(int command);

    CExplorerBrowserView* Browser() const { return browser_; }
    CGPSMetadataListView* ListView() const { return list_; }
    CCommandStrip* Strip() const { return strip_; }
    CMapPanel* MapPanel() const { return map_; }
    QDockWidget* MapDock() const { return mapDock_; }
    // Selects pictures in the active view (the map's clicks).
    void SelectItems(const std::vector<int>& items, bool extend);
    // Where Show Track asks for a GPX file; the tests answer without a dialog.
    void SetTrackChooser(std::function<QString()> chooser) { trackChooser_ = std::move(chooser); }

    // The Save As flow for one picture; `force` writes it even without changes.
    void SaveAs(int item, bool force);
    // Where Save As asks for a name and type (1 JPEG, 2 TIFF); the tests answer without a dialog.
    void SetSaveAsChooser(std::function<QString(const QString& proposed, int& type)> chooser)
    {
        saveAsChooser_ = std::move(chooser);
    }
    // Where Export GPX asks for the file; the tests answer without a dialog.
    void SetGpxFileChooser(std::function<QString()> chooser) { gpxChooser_ = std::move(chooser); }
    // Where Stamp Title asks for the title and its direction; the tests answer without a dialog.
    void SetTitleChooser(std::function<bool(QString& title, bool& rightToLeft)> chooser)
    {
        titleChooser_ = std::move(chooser);
    }

protected:
    void closeEvent(QCloseEvent* event) override;
    // "Don't show Screentips" keeps the command buttons' tool tips away.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Handler {
        std::function<void()> Run;
        std::function<bool()> Enabled;
        std::function<bool()> Checked;
    };

    void CreateActions();
    void BindBrowserCommands();
    void BindDocumentCommands();
    void BindMetadataCommands();
    void BindFrameCommands();
    void BindMapCommands();
    void BuildMap();
    void ShowMap(bool shown);
    void ShowTrack();
    // Markers anew from the records; with `tileSettings` the tile source too.
    void RefreshMap(bool tileSettings = false);
    void FolderLoadedOnMap();
    void Bind(int command, std::function<void()> run, std::function<bool()> enabled = nullptr,
              std::function<bool()> checked = nullptr);
    void BuildStatusBar();
    // "N pictures changed" on the status bar; hidden while nothing waits to be saved.
    void ShowChangedCount();
    void ShowUnreadableCount();
    void ApplyTips();
    void RefreshList();

    void SaveSelected();
    // Tells the user what the last saves stored other than entered (IPTC limits).
    void ShowSaveWarnings();
    void StampGps();
    void StampTitle();
    void StampAddress();
    void GeotagFromTrack();
    void ExportGpx();
    bool TakeStampSelection(std::vector<int>& items);
    void ShowOptions();
    void ShowAbout();

    CCorvaneDoc& doc_;
    CQtDocumentUserInterface& ui_;
    ISettingsStore& settings_;
    QSettings& profile_;
    QStackedWidget* views_;
    CExplorerBrowserView* browser_;
    CGPSMetadataListView* list_;
    CCommandStrip* strip_;
    std::map<int, QAction*> actions_;
    std::map<int, Handler> handlers_;
    ActiveView active_ = FolderBrowser;
    int look_;
    int screentips_ = 0;
    std::function<QString(const QString&, int&)> saveAsChooser_;
    std::function<bool(QString&, bool&)> titleChooser_;
    std::function<QString()> trackChooser_;
    QLabel* changedCount_ = nullptr;
    QLabel* unreadableCount_ = nullptr;
    QDockWidget* mapDock_ = nullptr;
    CMapPanel* map_ = nullptr;
    std::function<QString()> gpxChooser_;
};
