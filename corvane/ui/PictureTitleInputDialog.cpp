#include "PictureTitleInputDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTextOption>
#include <QVBoxLayout>

CPictureTitleInputDialog::CPictureTitleInputDialog(QWidget* parent)
    : QDialog(parent),
      edit_(new QPlainTextEdit(this)),
      leftToRight_(new QRadioButton(tr("Left-to-Right"), this)),
      rightToLeft_(new QRadioButton(tr("Right-to-Left"), this))
{
    setWindowTitle(tr("Picture Title"));
    auto* intro = new QLabel(
        tr("In the text box below insert the text you want to stamp as title on the picture. For righ-to-left "
           "languages choose 'Righ-to-Left' option and for left-to-right languages choose 'Left-to-Right' option."),
        this);
    intro->setWordWrap(true);
    leftToRight_->setChecked(true);
    auto* radios = new QHBoxLayout;
    radios->addWidget(leftToRight_);
    radios->addWidget(rightToLeft_);
    radios->addStretch();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(radios);
    layout->addWidget(edit_);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(leftToRight_, &QRadioButton::toggled, this, &CPictureTitleInputDialog::ApplyDirection);
    resize(420, 260);
}

QString CPictureTitleInputDialog::Title() const { return edit_->toPlainText(); }
int CPictureTitleInputDialog::Direction() const { return rightToLeft_->isChecked() ? 1 : 0; }

void CPictureTitleInputDialog::ApplyDirection()
{
    const bool rtl = rightToLeft_->isChecked();
    edit_->setLayoutDirection(rtl ? Qt::RightToLeft : Qt::LeftToRight);
    QTextOption option = edit_->document()->defaultTextOption();
    option.setTextDirection(rtl ? Qt::RightToLeft : Qt::LeftToRight);
    option.setAlignment(rtl ? Qt::AlignRight : Qt::AlignLeft);
    edit_->document()->setDefaultTextOption(option);
}
