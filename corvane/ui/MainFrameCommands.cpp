// The handlers and enabling rules of the main window's commands, by the
// part of the program that carries them out.
#include <QApplication>
#include <QMessageBox>
#include <QStatusBar>
#include <memory>

#include "AboutBox.h"
#include "CommandStrip.h"
#include "CommandTable.h"
#include "CorvaneDoc.h"
#include "ExplorerBrowserView.h"
#include "FolderFilterModel.h"
#include "GPSMetadataListView.h"
#include "MainFrame.h"
#include "OptionsDialog.h"

namespace C = CommandId;

namespace {

struct FilterCommand {
    int Id;
    int Mode;
};
const FilterCommand kFilters[] = {
    {C::ShowJpeg, 1}, {C::ShowTiff, 2}, {C::ShowJpegAndTiff, 3}, {C::ShowAll, 0}};

struct PaneCommand {
    int Id;
    CExplorerBrowserView::Pane Pane;
};
const PaneCommand kPanes[] = {{C::CommandBar, CExplorerBrowserView::CommandBar},
                              {C::OrganizeMenu, CExplorerBrowserView::OrganizeMenu},
                              {C::ViewMenu, CExplorerBrowserView::ViewMenu}};

}  // namespace

void CMainFrame::BindBrowserCommands()
{
    CExplorerBrowserView* b = browser_;
    Bind(C::Up, [b] { b->GoUp(); }, [b] { return b->CanGoUp(); });
    Bind(C::Back, [b] { b->GoBack(); }, [this] { return doc_.BackList().size() > 1; });
    Bind(C::Forward, [b] { b->GoForward(); }, [this] { return !doc_.ForwardList().empty(); });
    // The selection commands act on the view the user sees; the table holds only pictures.
    CGPSMetadataListView* l = list_;
    const auto onView = [this](std::function<void()> browser, std::function<void()> list) {
        return [this, browser, list] { active_ == MetadataList ? list() : browser(); };
    };
    Bind(C::SelectAll, onView([b] { b->SelectAll(); }, [l] { l->SelectAll(); }));
    Bind(C::DeselectAll, onView([b] { b->DeselectAll(); }, [l] { l->ClearSelection(); }));
    Bind(C::InvertSelection, onView([b] { b->InvertSelection(); }, [l] { l->InvertSelection(); }));
    Bind(C::AllGeotagged, onView([b] { b->SelectGeotagged(true); }, [l] { l->SelectGeotagged(true); }));
    Bind(C::AllNonGeotagged, onView([b] { b->SelectGeotagged(false); }, [l] { l->SelectGeotagged(false); }));
    Bind(C::AllPictures, onView([b] { b->SelectAllPictures(); }, [l] { l->SelectAll(); }));
    Bind(C::Filter, [] {});
    for (const FilterCommand& f : kFilters)
        Bind(f.Id, [b, mode = f.Mode] { b->SetFilterMode(mode); }, nullptr,
             [b, mode = f.Mode] { return b->FilterMode() == mode; });
    for (const PaneCommand& p : kPanes)
        Bind(p.Id, [b, pane = p.Pane] { b->TogglePane(pane); }, nullptr,
             [b, pane = p.Pane] { return b->PaneShown(pane); });
}

void CMainFrame::BindDocumentCommands()
{
    const auto oneUnsaved = [this] {
        const std::vector<int> items = ActiveSelection();
        return items.size() == 1 && doc_.HasUnsavedChangesAt(items[0]);
    };
    Bind(C::Undo, [this] { doc_.Undo(); RefreshList(); }, [this] { return doc_.CanUndo(); });
    Bind(C::Redo, [this] { doc_.Redo(); RefreshList(); }, [this] { return doc_.CanRedo(); });
    Bind(C::Save, [this] { SaveSelected(); }, oneUnsaved);
    Bind(C::SaveAs, [this] { if (ActiveSelection().size() == 1) SaveAs(ActiveSelection()[0], false); }, oneUnsaved);
    Bind(C::SaveAll, [this] { doc_.SaveAll(); ShowSaveWarnings(); RefreshList(); },
         [this] { return doc_.HasUnsavedChanges(); });
    Bind(C::StampGps, [this] { StampGps(); });
    Bind(C::StampTitle, [this] { StampTitle(); });
    Bind(C::StampAddress, [this] { StampAddress(); });
    Bind(C::GeotagFromTrack, [this] { GeotagFromTrack(); }, [this] { return doc_.Count() > 0; });
    Bind(C::GeocodeSelected, [this] { doc_.ReverseGeocode(list_->SelectedItems()); },
         [this] { return !list_->SelectedRows().empty(); });
    Bind(C::GeocodeAll, [this] {
        std::vector<int> all;
        for (const int row : list_->AllRows()) all.push_back(doc_.RowOrder()[static_cast<size_t>(row)]);
        doc_.ReverseGeocode(all);
    }, [this] { return list_->RowCount() > 0; });
}

void CMainFrame::BindMetadataCommands()
{
    CGPSMetadataListView* l = list_;
    const auto anySelected = [l] { return !l->SelectedRows().empty(); };
    const auto anyRows = [l] { return l->RowCount() > 0; };
    Bind(C::FileSystemPane, [l] { l->ToggleFileSystemPane(); }, nullptr, [l] { return l->FileSystemPaneShown(); });
    Bind(C::ClearField, [] {}, anySelected);
    for (int id = C::ClearDateTaken; id <= C::ClearCountry; ++id)
        Bind(id, [l, column = id - C::ClearSelectedRecords] { l->ClearField(l->SelectedRows(), column); }, anySelected);
    Bind(C::ClearSelectedRecords, [l] { l->ClearRecords(l->SelectedRows()); }, anySelected);
    Bind(C::ClearAllRecords, [l] { l->ClearRecords(l->AllRows()); }, anyRows);
    Bind(C::ExportSelected, [l] { l->ExportToCsv(true); }, anySelected);
    Bind(C::ExportAll, [l] { l->ExportToCsv(false); }, anyRows);
    Bind(C::ExportGpx, [this] { ExportGpx(); }, anyRows);
}

void CMainFrame::BindFrameCommands()
{
    for (int look = C::LookBlue; look <= C::LookWindows7; ++look)
        Bind(look, [this, look] { SetLook(look); }, nullptr, [this, look] { return look_ == look; });
    Bind(C::Options, [this] { ShowOptions(); });
    Bind(C::About, [this] { ShowAbout(); });
    Bind(C::Exit, [this] { close(); });
    Bind(C::ShowTabsOnly, [this] { strip_->SetCollapsed(true); }, nullptr, [this] { return strip_->Collapsed(); });
    Bind(C::ShowTabsAndCommands, [this] { strip_->SetCollapsed(false); }, nullptr,
         [this] { return !strip_->Collapsed(); });
    const auto explorerActive = [this] { return active_ == FolderBrowser; };
    const auto metadataActive = [this] { return active_ == MetadataList; };
    Bind(C::ExplorerView, [this] { ShowExplorerView(); }, nullptr, explorerActive);
    Bind(C::StatusExplorerView, [this] { ShowExplorerView(); }, nullptr, explorerActive);
    Bind(C::MetadataView, [this] { ShowMetadataView(); }, nullptr, metadataActive);
    Bind(C::StatusMetadataView, [this] { ShowMetadataView(); }, nullptr, metadataActive);
    Bind(C::StatusBar, [this] { statusBar()->setVisible(!statusBar()->isVisible()); }, nullptr,
         [this] { return !statusBar()->isHidden(); });
}

void CMainFrame::ShowOptions()
{
    COptionsDialog dialog(settings_, look_, screentips_, this);
    if (dialog.exec() != QDialog::Accepted) return;
    SetLook(dialog.Look());
    SetScreentips(dialog.Screentips());
    RefreshMap(true);
}

void CMainFrame::ShowAbout()
{
    std::unique_ptr<QMessageBox> box(AboutBox::Create(this));
    box->exec();
}
