#include "MainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QLabel>
#include <QMessageBox>
#include <QSettings>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include "ApplicationLook.h"
#include "CommandIcons.h"
#include "CommandStrip.h"
#include "CommandTable.h"
#include "CorvaneDoc.h"
#include "ExplorerBrowserView.h"
#include "GPSMetadataListView.h"
#include "MetadataTableView.h"
#include "QtDocumentUserInterface.h"

namespace {

// Window state, kept beside the look outside the settings section.
const QString kColumnWidthsKey = QStringLiteral("MetadataColumnWidths");

const int kQuickAccess[] = {CommandId::Up,   CommandId::Back, CommandId::Forward, CommandId::Undo,
                            CommandId::Redo, CommandId::Save, CommandId::SaveAs,  CommandId::SaveAll};

}  // namespace

CMainFrame::CMainFrame(CCorvaneDoc& doc, CQtDocumentUserInterface& ui, ISettingsStore& settings, QSettings& profile,
                       QWidget* parent)
    : QMainWindow(parent),
      doc_(doc),
      ui_(ui),
      settings_(settings),
      profile_(profile),
      views_(new QStackedWidget(this)),
      browser_(new CExplorerBrowserView(doc, settings, this)),
      list_(new CGPSMetadataListView(doc, settings, this)),
      look_(ApplicationLook::Stored(profile))
{
    setWindowTitle(tr("Corvane"));
    views_->addWidget(browser_);
    views_->addWidget(list_);
    setCentralWidget(views_);
    CreateActions();
    strip_ = new CCommandStrip(actions_, this);
    setMenuWidget(strip_);
    auto* quick = addToolBar(tr("Quick Access"));
    quick->setObjectName(QStringLiteral("QuickAccess"));
    quick->setMovable(false);
    quick->setIconSize(QSize(16, 16));
    for (const int id : kQuickAccess) quick->addAction(actions_.at(id));
    BuildStatusBar();
    BuildMap();
    ApplicationLook::Apply(look_);

    ui_.SetOwner(this);
    ui_.SetCommandHandler([this](int command) { OnPostedCommand(command); });
    connect(&ui_, &CQtDocumentUserInterface::MetadataChanged, this, [this](const QList<int>& items) {
        list_->RefreshItems(items);
        browser_->RefreshMarks();
        UpdateCommandUI();
    });
    connect(browser_, &CExplorerBrowserView::SelectionChanged, this, &CMainFrame::UpdateCommandUI);
    connect(browser_, &CExplorerBrowserView::LocationChanged, this, &CMainFrame::UpdateCommandUI);
    connect(list_, &CGPSMetadataListView::SelectionChanged, this, &CMainFrame::UpdateCommandUI);
    qApp->installEventFilter(this);
    list_->SetSaveAsHandler([this](int item) { SaveAs(item, true); });
    list_->SetNavigator([this](const QString& folder) { browser_->NavigateTo(folder); });
    list_->Table()->RestoreUserColumnWidths(profile_.value(kColumnWidthsKey).toString());
    UpdateCommandUI();
}

CMainFrame::~CMainFrame()
{
    qApp->removeEventFilter(this);
    disconnect(mapDock_, nullptr, this, nullptr);  // the dock hides as the window goes
    ui_.SetCommandHandler(nullptr);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (screentips_ == 2 && event->type() == QEvent::ToolTip && qobject_cast<QToolButton*>(watched) &&
        isAncestorOf(static_cast<QWidget*>(watched)))
        return true;
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::CreateActions()
{
    std::size_t count = 0;
    const CommandInfo* table = CommandTable(count);
    for (std::size_t i = 0; i < count; ++i) {
        const CommandInfo& c = table[i];
        auto* action = new QAction(tr(c.Label), this);
        action->setObjectName(QStringLiteral("command%1").arg(c.Id));
        action->setData(c.Id);
        action->setCheckable(c.Checkable);
        action->setStatusTip(tr(c.Tip));
        const bool opensMenu = c.Id == CommandId::Filter || c.Id == CommandId::ClearField;
        if (*c.KeyTip && !opensMenu) {
            const CommandInfo* parent = c.Parent ? FindCommand(c.Parent) : nullptr;
            const CommandPlace tab = parent ? parent->Place : c.Place;
            QString keys = QStringLiteral("Alt+%1, ").arg(QLatin1String(TabKeyTip(tab)));
            if (parent) keys += QLatin1String(parent->KeyTip) + QStringLiteral(", ");
            action->setShortcuts({QKeySequence(keys + QLatin1String(c.KeyTip))});
        }
        action->setIcon(CommandIcons::ForCommand(c.Id));
        connect(action, &QAction::triggered, this, [this, id = c.Id] { Execute(id); });
        addAction(action);  // shortcuts work whichever tab is shown
        actions_[c.Id] = action;
    }
    // The usual editing keys beside the key tips.
    actions_.at(CommandId::Undo)->setShortcuts(actions_.at(CommandId::Undo)->shortcuts() << QKeySequence::Undo);
    actions_.at(CommandId::Redo)->setShortcuts(actions_.at(CommandId::Redo)->shortcuts()
                                               << QKeySequence(QStringLiteral("Ctrl+Y")));
    actions_.at(CommandId::Save)->setShortcuts(actions_.at(CommandId::Save)->shortcuts() << QKeySequence::Save);
    BindBrowserCommands();
    BindDocumentCommands();
    BindMetadataCommands();
    BindFrameCommands();
    BindMapCommands();
    ApplyTips();
}

void CMainFrame::BuildStatusBar()
{
    changedCount_ = new QLabel(statusBar());
    changedCount_->setObjectName(QStringLiteral("ChangedPictures"));
    changedCount_->hide();
    statusBar()->addPermanentWidget(changedCount_);
    unreadableCount_ = new QLabel(statusBar());
    unreadableCount_->setObjectName(QStringLiteral("UnreadablePictures"));
    unreadableCount_->hide();
    statusBar()->addPermanentWidget(unreadableCount_);
    const int shortcuts[2] = {CommandId::StatusExplorerView, CommandId::StatusMetadataView};
    for (const int id : shortcuts) {
        auto* button = new QToolButton(statusBar());
        button->setDefaultAction(actions_.at(id));
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        button->setAutoRaise(true);
        statusBar()->addPermanentWidget(button);
    }
}

QAction* CMainFrame::Action(int command) const
{
    const auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::Bind(int command, std::function<void()> run, std::function<bool()> enabled,
                      std::function<bool()> checked)
{
    handlers_[command] = Handler{std::move(run), std::move(enabled), std::move(checked)};
}

void CMainFrame::Execute(int command)
{
    const auto it = handlers_.find(command);
    if (it == handlers_.end() || !it->second.Run) return;
    if (it->second.Enabled && !it->second.Enabled()) return;
    it->second.Run();
    UpdateCommandUI();
}

void CMainFrame::ShowChangedCount()
{
    int changed = 0;
    for (int item = 0; item < doc_.Count(); ++item)
        if (doc_.HasUnsavedChangesAt(item)) ++changed;
    changedCount_->setText(changed == 1 ? tr("1 picture changed") : tr("%1 pictures changed").arg(changed));
    changedCount_->setVisible(changed > 0);
    ShowUnreadableCount();
}

// Pictures whose metadata could not be read, with the first reasons.
void CMainFrame::ShowUnreadableCount()
{
    constexpr int kReasonsShown = 10;
    int unreadable = 0;
    QStringList reasons;
    for (int item = 0; item < doc_.Count(); ++item) {
        const PictureItem& picture = doc_.Item(item);
        if (picture.Current()) continue;
        if (++unreadable <= kReasonsShown)
            reasons << QStringLiteral("%1: %2").arg(QString::fromStdWString(picture.Name),
                                                    QString::fromStdString(picture.ReadError));
    }
    if (unreadable > kReasonsShown) reasons << tr("and %1 more").arg(unreadable - kReasonsShown);
    unreadableCount_->setText(unreadable == 1 ? tr("1 picture could not be read")
                                              : tr("%1 pictures could not be read").arg(unreadable));
    unreadableCount_->setToolTip(reasons.join(QLatin1Char('\n')));
    unreadableCount_->setVisible(unreadable > 0);
}

void CMainFrame::UpdateCommandUI()
{
    ShowChangedCount();
    for (const auto& [id, handler] : handlers_) {
        QAction* action = Action(id);
        if (!action) continue;
        action->setEnabled(!handler.Enabled || handler.Enabled());
        if (handler.Checked) action->setChecked(handler.Checked());
    }
}

void CMainFrame::ApplyTips()
{
    for (const auto& [id, action] : actions_) {
        const CommandInfo* info = FindCommand(id);
        QString tip;
        if (screentips_ == 0)
            tip = QStringLiteral("<b>%1</b><br>%2").arg(action->text().remove(QLatin1Char('&')), tr(info->Tip));
        else if (screentips_ == 1)
            tip = action->text().remove(QLatin1Char('&'));
        action->setToolTip(tip);
    }
}

void CMainFrame::SetScreentips(int style)
{
    screentips_ = std::clamp(style, 0, 2);
    ApplyTips();
}

void CMainFrame::SetLook(int look)
{
    if (look < ApplicationLook::First || look > ApplicationLook::Last) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    look_ = look;
    ApplicationLook::Apply(look);
    ApplicationLook::Store(profile_, look);
    update();
    QApplication::restoreOverrideCursor();
}

std::vector<int> CMainFrame::ActiveSelection() const
{
    return active_ == MetadataList ? list_->SelectedItems() : browser_->SelectedItems();
}

void CMainFrame::ShowMetadataView()
{
    if (active_ == FolderBrowser) browser_->DeselectAll();
    active_ = MetadataList;
    views_->setCurrentWidget(list_);
    strip_->ShowContextTab(true);
    UpdateCommandUI();
}

void CMainFrame::ShowExplorerView()
{
    if (active_ == MetadataList) list_->ClearSelection();
    active_ = FolderBrowser;
    views_->setCurrentWidget(browser_);
    strip_->ShowContextTab(false);
    UpdateCommandUI();
}

bool CMainFrame::ContextTabShown() const { return strip_->ContextTabShown(); }

void CMainFrame::RefreshList()
{
    list_->RefreshAll();
    browser_->RefreshMarks();
    RefreshMap();
}

void CMainFrame::OnPostedCommand(int command)
{
    if (command == kCommandLoadFolder) {
        doc_.LoadFolder();  // the list view refills when the document reports the folder loaded
        FolderLoadedOnMap();
    } else if (command == kCommandFolderChanged) {
        doc_.ProcessFolderChanges();
        RefreshList();
    }
    UpdateCommandUI();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (doc_.HasUnsavedChanges() &&
        ui_.AskQuestion(tr("Exit Confirmation"),
                        tr("Some of the applied changes are not saved.\nExit application anyway?")) == kAnswerNo) {
        event->ignore();
        return;
    }
    profile_.setValue(kColumnWidthsKey, list_->Table()->UserColumnWidths());
    event->accept();
}
