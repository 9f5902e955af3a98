// The tabbed command strip at the top of the main window: the tabs "HOME",
// "VIEW" and the context tab "METADATA VIEW", each with its groups of
// command buttons as the command table places them; commands that belong
// to another command's menu open from that button. An application button
// holds Options, About and Exit; a display button holds the strip's two
// display modes and the five looks. Holding Alt shows the key-tip letters
// over the tabs and the commands of the current tab.
#pragma once

#include <QTabWidget>
#include <map>
#include <vector>

class QAction;
class QLabel;

class CCommandStrip : public QTabWidget {
    Q_OBJECT
public:
    // `actions` holds one action per command of the table.
    CCommandStrip(const std::map<int, QAction*>& actions, QWidget* parent = nullptr);

    void ShowContextTab(bool shown);
    bool ContextTabShown() const;
    // "Show Tabs Only" collapses the strip to its tab names.
    void SetCollapsed(bool collapsed);
    bool Collapsed() const { return collapsed_; }
    int TabIndexOf(const QString& title) const;
    bool KeyTipsShown() const { return !keyTips_.empty(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* BuildTab(int place);
    QWidget* BuildGroup(int place, const char* group);
    void BuildCorners();
    void ShowKeyTips();
    void HideKeyTips();
    void AddKeyTip(const QString& letter, const QRect& over);

    const std::map<int, QAction*>& actions_;
    int contextTab_ = -1;
    bool collapsed_ = false;
    std::vector<QLabel*> keyTips_;
};
