#include "SupportPage.h"

#include <QDesktopServices>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

QString CSupportPage::HomeUrl() { return QStringLiteral(CORVANE_HOME_URL); }
QString CSupportPage::IssuesUrl() { return QStringLiteral(CORVANE_ISSUES_URL); }

CSupportPage::CSupportPage(ISettingsStore& settings, QWidget* parent) : COptionsPage(settings, parent)
{
    reportProblem = new QPushButton(tr("&Report a Problem..."), this);
    reportProblem->setToolTip(IssuesUrl());
    connect(reportProblem, &QPushButton::clicked, this, [] { QDesktopServices::openUrl(QUrl(IssuesUrl())); });
    visitHome = new QPushButton(tr("&Visit Home"), this);
    visitHome->setToolTip(HomeUrl());
    connect(visitHome, &QPushButton::clicked, this, [] { QDesktopServices::openUrl(QUrl(HomeUrl())); });

    const auto link = [](const QString& url) { return QStringLiteral("<a href=\"%1\">%1</a>").arg(url.toHtmlEscaped()); };
    // Each address on a line of its own under its button: a long address
    // would otherwise widen the page beyond the dialog.
    auto* places = new QGridLayout;
    places->addWidget(new QLabel(tr("Problems, questions and ideas:"), this), 0, 0);
    places->addWidget(reportProblem, 0, 1);
    auto* issues = new QLabel(link(IssuesUrl()), this);
    issues->setOpenExternalLinks(true);
    places->addWidget(issues, 1, 0, 1, 3);
    places->addWidget(new QLabel(tr("Home:"), this), 2, 0);
    places->addWidget(visitHome, 2, 1);
    auto* home = new QLabel(link(HomeUrl()), this);
    home->setOpenExternalLinks(true);
    places->addWidget(home, 3, 0, 1, 3);
    places->setColumnStretch(2, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Banner(tr("Contact Information"), this));
    layout->addWidget(new QLabel(tr("Need technical support or help?"), this));
    auto* where = new QLabel(tr("Report a problem or suggest an idea on the project's issue page; the user guide "
                                "and new versions are on its home page."), this);
    where->setWordWrap(true);
    layout->addWidget(where);
    layout->addLayout(places);
    layout->addStretch();
}
