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
    const char* const labels[3] = {"Technical Support:", "Customer Support:", "Insights and Feedback:"};
    auto* buttons = new QGridLayout;
    for (int i = 0; i < 3; ++i) {
        contact[i] = new QPushButton(tr("&Contact"), this);
        contact[i]->setToolTip(IssuesUrl());
        buttons->addWidget(new QLabel(tr(labels[i]), this), i, 0);
        buttons->addWidget(contact[i], i, 1);
        connect(contact[i], &QPushButton::clicked, this, [] { QDesktopServices::openUrl(QUrl(IssuesUrl())); });
    }
    visitHome = new QPushButton(tr("&Visit Home"), this);
    visitHome->setToolTip(HomeUrl());
    connect(visitHome, &QPushButton::clicked, this, [] { QDesktopServices::openUrl(QUrl(HomeUrl())); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Banner(tr("Contact Information"), this));
    layout->addWidget(new QLabel(tr("Need technical support or help?"), this));
    auto* where = new QLabel(tr("Questions, problems and ideas are welcome on the project's issue page:") +
                             QStringLiteral(" <a href=\"%1\">%1</a>").arg(IssuesUrl().toHtmlEscaped()), this);
    where->setOpenExternalLinks(true);
    where->setWordWrap(true);
    layout->addWidget(where);
    layout->addLayout(buttons);
    layout->addWidget(new QLabel(tr("Click below button to visit home page:"), this));
    auto* home = new QGridLayout;
    home->addWidget(new QLabel(tr("Home:"), this), 0, 0);
    home->addWidget(visitHome, 0, 1);
    layout->addLayout(home);
    layout->addStretch();
}
