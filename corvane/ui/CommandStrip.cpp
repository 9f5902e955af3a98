#include "CommandStrip.h"

#include <QAction>
#include <QGridLayout>
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QStackedWidget>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "CommandTable.h"

namespace {

struct TabInfo {
    CommandPlace Place;
    const char* Title;
};

const TabInfo kTabs[] = {
    {CommandPlace::Home, "HOME"},
    {CommandPlace::View, "VIEW"},
    {CommandPlace::MetadataView, "METADATA VIEW"},
};

std::vector<const char*> GroupsOf(CommandPlace place)
{
    std::vector<const char*> groups;
    std::size_t count = 0;
    const CommandInfo* table = CommandTable(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (table[i].Place != place) continue;
        bool known = false;
        for (const char* g : groups) known = known || QLatin1String(g) == QLatin1String(table[i].Group);
        if (!known) groups.push_back(table[i].Group);
    }
    return groups;
}

}  // namespace

CCommandStrip::CCommandStrip(const std::map<int, QAction*>& actions, QWidget* parent)
    : QTabWidget(parent), actions_(actions)
{
    setObjectName(QStringLiteral("CommandStrip"));
    setDocumentMode(true);
    for (const TabInfo& tab : kTabs) {
        const int index = addTab(BuildTab(static_cast<int>(tab.Place)), tr(tab.Title));
        setTabToolTip(index, tr("Alt+%1").arg(QLatin1String(TabKeyTip(tab.Place))));
        if (tab.Place == CommandPlace::MetadataView) contextTab_ = index;
    }
    BuildCorners();
    ShowContextTab(false);
    qApp->installEventFilter(this);  // Alt is seen wherever the focus is
    // A click on a tab of a collapsed strip shows its commands again.
    connect(tabBar(), &QTabBar::tabBarClicked, this, [this] { if (collapsed_) SetCollapsed(false); });
}

QWidget* CCommandStrip::BuildTab(int place)
{
    auto* page = new QWidget(this);
    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(4, 2, 4, 2);
    for (const char* group : GroupsOf(static_cast<CommandPlace>(place))) layout->addWidget(BuildGroup(place, group));
    layout->addStretch();
    return page;
}

QWidget* CCommandStrip::BuildGroup(int place, const char* group)
{
    auto* box = new QFrame(this);
    box->setFrameShape(QFrame::StyledPanel);
    std::vector<const CommandInfo*> members;
    std::size_t count = 0;
    const CommandInfo* table = CommandTable(count);
    for (std::size_t i = 0; i < count; ++i)
        if (static_cast<int>(table[i].Place) == place && QLatin1String(table[i].Group) == QLatin1String(group))
            members.push_back(&table[i]);
    // Small groups get large buttons; larger ones stack small buttons three high.
    const bool large = members.size() <= 3;
    auto* buttons = new QGridLayout;
    buttons->setSpacing(1);
    for (std::size_t n = 0; n < members.size(); ++n) {
        const CommandInfo& c = *members[n];
        QAction* action = actions_.at(c.Id);
        auto* button = new QToolButton(box);
        button->setDefaultAction(action);
        button->setAutoRaise(true);
        button->setToolButtonStyle(large ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonTextBesideIcon);
        button->setIconSize(large ? QSize(32, 32) : QSize(16, 16));
        if (!large) button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        QMenu* menu = nullptr;
        for (std::size_t j = 0; j < count; ++j) {
            if (table[j].Parent != c.Id) continue;
            if (!menu) menu = new QMenu(box);
            menu->addAction(actions_.at(table[j].Id));
        }
        if (menu) {
            button->setMenu(menu);
            button->setPopupMode(QToolButton::InstantPopup);
        }
        const int row = large ? 0 : static_cast<int>(n % 3);
        const int column = large ? static_cast<int>(n) : static_cast<int>(n / 3);
        buttons->addWidget(button, row, column);
    }
    auto* title = new QLabel(tr(group), box);
    title->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);
    layout->addLayout(buttons);
    layout->addStretch();
    layout->addWidget(title);
    return box;
}

void CCommandStrip::BuildCorners()
{
    auto* application = new QToolButton(this);
    application->setText(tr("File"));
    application->setToolTip(tr("Alt+F"));
    application->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(application);
    menu->addAction(actions_.at(CommandId::Options));
    menu->addAction(actions_.at(CommandId::About));
    menu->addSeparator();
    menu->addAction(actions_.at(CommandId::Exit));
    application->setMenu(menu);
    setCornerWidget(application, Qt::TopLeftCorner);

    auto* display = new QToolButton(this);
    display->setText(tr("Style"));
    display->setToolTip(tr("Alt+R"));
    display->setPopupMode(QToolButton::InstantPopup);
    auto* displayMenu = new QMenu(display);
    displayMenu->addAction(actions_.at(CommandId::ShowTabsOnly));
    displayMenu->addAction(actions_.at(CommandId::ShowTabsAndCommands));
    displayMenu->addSeparator();
    for (int look = CommandId::LookBlue; look <= CommandId::LookWindows7; ++look)
        displayMenu->addAction(actions_.at(look));
    display->setMenu(displayMenu);
    setCornerWidget(display, Qt::TopRightCorner);
}

void CCommandStrip::ShowContextTab(bool shown)
{
    setTabVisible(contextTab_, shown);
    if (!shown && currentIndex() == contextTab_) setCurrentIndex(0);
}

bool CCommandStrip::ContextTabShown() const { return isTabVisible(contextTab_); }

void CCommandStrip::SetCollapsed(bool collapsed)
{
    collapsed_ = collapsed;
    // The pages' own stack shows only the current page; hiding the stack keeps
    // that so, where showing every page would paint them over each other.
    if (auto* pages = findChild<QStackedWidget*>(QString(), Qt::FindDirectChildrenOnly)) pages->setVisible(!collapsed);
    setMaximumHeight(collapsed ? tabBar()->sizeHint().height() + 2 : QWIDGETSIZE_MAX);
}

int CCommandStrip::TabIndexOf(const QString& title) const
{
    for (int i = 0; i < count(); ++i)
        if (tabText(i) == title) return i;
    return -1;
}

bool CCommandStrip::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool ours = window()->isActiveWindow() && watched->isWidgetType() &&
                          static_cast<QWidget*>(watched)->window() == window();
        if (ours && key->key() == Qt::Key_Alt && !key->isAutoRepeat() && KeyTipsShown() == false)
            ShowKeyTips();
        else if (key->key() != Qt::Key_Alt)
            HideKeyTips();  // the letter typed after Alt ends the tips; the shortcut runs
        break;
    }
    case QEvent::KeyRelease:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Alt) HideKeyTips();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::ApplicationDeactivate:
    case QEvent::WindowDeactivate: HideKeyTips(); break;
    default: break;
    }
    return QTabWidget::eventFilter(watched, event);
}

void CCommandStrip::AddKeyTip(const QString& letter, const QRect& over)
{
    auto* tip = new QLabel(letter, this);
    tip->setObjectName(QStringLiteral("KeyTip"));
    tip->setAlignment(Qt::AlignCenter);
    tip->setAttribute(Qt::WA_TransparentForMouseEvents);
    tip->setStyleSheet(QStringLiteral("QLabel { background: #fffbe0; color: #1a1a1a; border: 1px solid #5a5a5a;"
                                      " border-radius: 2px; padding: 0px 3px; font-weight: bold; }"));
    tip->adjustSize();
    // Below the middle of what it names, inside the strip.
    const QPoint at(over.center().x() - tip->width() / 2, over.bottom() - tip->height() / 2);
    tip->move(std::clamp(at.x(), 0, std::max(0, width() - tip->width())),
              std::clamp(at.y(), 0, std::max(0, height() - tip->height())));
    tip->show();
    tip->raise();
    keyTips_.push_back(tip);
}

void CCommandStrip::ShowKeyTips()
{
    HideKeyTips();
    for (const TabInfo& tab : kTabs) {
        const int index = TabIndexOf(tr(tab.Title));
        if (index < 0 || !isTabVisible(index)) continue;
        const QRect rect = tabBar()->tabRect(index);
        AddKeyTip(QLatin1String(TabKeyTip(tab.Place)), QRect(tabBar()->mapTo(this, rect.topLeft()), rect.size()));
    }
    const std::pair<Qt::Corner, const char*> corners[] = {{Qt::TopLeftCorner, "F"}, {Qt::TopRightCorner, "R"}};
    for (const auto& [corner, letter] : corners)
        if (QWidget* button = cornerWidget(corner)) AddKeyTip(QLatin1String(letter), button->geometry());
    if (collapsed_ || !currentWidget()) return;
    for (QToolButton* button : currentWidget()->findChildren<QToolButton*>()) {
        const QAction* action = button->defaultAction();
        const CommandInfo* info = action ? FindCommand(action->data().toInt()) : nullptr;
        if (!info || !*info->KeyTip || !button->isVisible()) continue;
        AddKeyTip(QLatin1String(info->KeyTip),
                  QRect(button->mapTo(this, QPoint(0, 0)), button->size()));
    }
}

void CCommandStrip::HideKeyTips()
{
    for (QLabel* tip : keyTips_) {
        tip->hide();
        tip->deleteLater();
    }
    keyTips_.clear();
}
