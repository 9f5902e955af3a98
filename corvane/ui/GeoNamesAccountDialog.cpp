#include "GeoNamesAccountDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CGeoNamesAccountDialog::CGeoNamesAccountDialog(QWidget* parent) : QDialog(parent), userName(new QLineEdit(this))
{
    setWindowTitle(tr("GeoNames Account"));
    auto* text = new QLabel(
        tr("Addresses are looked up with the GeoNames web service, which needs your own GeoNames account.\n\n"
           "Make a free account on the GeoNames web site (www.geonames.org), then enable its free web services on "
           "the account's page there. Type the account's user name below; it is kept in the options.\n\n"
           "Without an account, addresses come from the offline places that come with Corvane."),
        this);
    text->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(new QLabel(tr("GeoNames user name:"), this));
    layout->addWidget(userName);
    layout->addWidget(buttons);
    connect(userName, &QLineEdit::textChanged, this,
            [buttons](const QString& name) { buttons->button(QDialogButtonBox::Ok)->setEnabled(!name.trimmed().isEmpty()); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    setMinimumWidth(420);
}

QString CGeoNamesAccountDialog::UserName() const
{
    return userName->text().trimmed();
}
