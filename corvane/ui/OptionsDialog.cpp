#include "OptionsDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStyle>
#include <QVBoxLayout>

#include "GeneralPage.h"
#include "StampingPage.h"
#include "SupportPage.h"

namespace {

struct PageInfo {
    const char* Caption;
    const char* Header;
    QStyle::StandardPixmap Icon;
};

const PageInfo kPages[3] = {
    {"General", "General Options", QStyle::SP_FileDialogDetailedView},
    {"Stamping", "For deferent types of stamping, include more information and specify the location of stamping",
     QStyle::SP_DesktopIcon},
    {"Support", "Contact us for help and support", QStyle::SP_MessageBoxQuestion},
};

}  // namespace

COptionsDialog::COptionsDialog(ISettingsStore& settings, int look, int screentips, QWidget* parent)
    : QDialog(parent),
      general_(new CGeneralPage(settings, look, screentips, this)),
      stamping_(new CStampingPage(settings, this)),
      support_(new CSupportPage(settings, this)),
      navigation_(new QListWidget(this)),
      pages_(new QStackedWidget(this)),
      headerIcon_(new QLabel(this)),
      header_(new QLabel(this))
{
    setWindowTitle(tr("Options"));
    navigation_->setFixedWidth(NavigationWidth);
    navigation_->setIconSize(QSize(32, 32));
    for (int i = 0; i < 3; ++i) {
        navigation_->addItem(new QListWidgetItem(style()->standardIcon(kPages[i].Icon), tr(kPages[i].Caption)));
        auto* scroll = new QScrollArea(this);
        scroll->setWidget(Page(i));
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        pages_->addWidget(scroll);
    }
    QFont bold = header_->font();
    bold.setBold(true);
    header_->setFont(bold);
    header_->setWordWrap(true);
    auto* headerRow = new QHBoxLayout;
    headerRow->setContentsMargins(20, 0, 10, 0);
    headerRow->addWidget(headerIcon_);
    headerRow->addWidget(header_, 1);
    auto* headerBox = new QWidget(this);
    headerBox->setLayout(headerRow);
    headerBox->setMinimumHeight(std::max(60, 3 * fontMetrics().height()));
    headerBox->setAutoFillBackground(true);
    headerBox->setBackgroundRole(QPalette::Button);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* right = new QVBoxLayout;
    right->addWidget(headerBox);
    right->addWidget(pages_, 1);
    auto* body = new QHBoxLayout;
    body->addWidget(navigation_);
    body->addLayout(right, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(navigation_, &QListWidget::currentRowChanged, this, &COptionsDialog::ShowPage);
    ShowPage(0);
    resize(640, 560);
}

QString COptionsDialog::HeaderTitle(int page)
{
    return page >= 0 && page < 3 ? tr(kPages[page].Header) : QString();
}

COptionsPage* COptionsDialog::Page(int page) const
{
    COptionsPage* pages[3] = {general_, stamping_, support_};
    return page >= 0 && page < 3 ? pages[page] : nullptr;
}

void COptionsDialog::ShowPage(int page)
{
    if (!Page(page)) return;
    shown_.insert(page);
    pages_->setCurrentIndex(page);
    if (navigation_->currentRow() != page) navigation_->setCurrentRow(page);
    header_->setText(HeaderTitle(page));
    headerIcon_->setPixmap(style()->standardIcon(kPages[page].Icon).pixmap(32, 32));
}

int COptionsDialog::Look() const { return general_->Look(); }
int COptionsDialog::Screentips() const { return general_->Screentips(); }

int COptionsDialog::CurrentPage() const { return pages_->currentIndex(); }
QString COptionsDialog::HeaderText() const { return header_->text(); }

void COptionsDialog::accept()
{
    for (const int page : shown_) {
        const QString refusal = Page(page)->Refusal();
        if (refusal.isEmpty()) continue;
        ShowPage(page);
        if (sink_)
            sink_(refusal);
        else
            QMessageBox::warning(this, tr("Options"), refusal);
        return;
    }
    for (const int page : shown_) Page(page)->WriteSettings();
    QDialog::accept();
}
