// The options: three pages (General, Stamping, Support) chosen from a
// 124 px list, with a header naming the page. OK writes the settings of the
// pages the user opened; Cancel writes nothing.
#pragma once

#include <QDialog>
#include <QSet>
#include <functional>

class CGeneralPage;
class COptionsPage;
class CStampingPage;
class CSupportPage;
class ISettingsStore;
class QLabel;
class QListWidget;
class QStackedWidget;

class COptionsDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int NavigationWidth = 124;

    COptionsDialog(ISettingsStore& settings, int look, int screentips, QWidget* parent = nullptr);

    // The header title of each page.
    static QString HeaderTitle(int page);
    void ShowPage(int page);
    int CurrentPage() const;
    QString HeaderText() const;

    // The look and tool tip style chosen on the General page.
    int Look() const;
    int Screentips() const;
    CGeneralPage* General() const { return general_; }
    CStampingPage* Stamping() const { return stamping_; }
    CSupportPage* Support() const { return support_; }
    QListWidget* Navigation() const { return navigation_; }
    // One scroll area per page, in page order.
    QStackedWidget* Pages() const { return pages_; }

    // Where a refused value is reported; a message box over the dialog by default.
    void SetMessageSink(std::function<void(const QString&)> sink) { sink_ = std::move(sink); }
    void accept() override;

private:
    COptionsPage* Page(int page) const;

    CGeneralPage* general_;
    CStampingPage* stamping_;
    CSupportPage* support_;
    QListWidget* navigation_;
    QStackedWidget* pages_;
    QLabel* headerIcon_;
    QLabel* header_;
    QSet<int> shown_;
    std::function<void(const QString&)> sink_;
};
