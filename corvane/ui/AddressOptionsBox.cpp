#include "AddressOptionsBox.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <thread>

#include "AccountCheck.h"
#include "GeocodingConfig.h"
#include "SettingsStore.h"

namespace {

QString Trimmed(const QString& text)
{
    return text.trimmed();
}

}  // namespace

CAddressOptionsBox::CAddressOptionsBox(const ISettingsStore& settings, QWidget* parent)
    : QWidget(parent),
      userName(new QLineEdit(this)),
      testButton(new QPushButton(tr("Test"), this)),
      testResult(new QLabel(this)),
      serverAddress(new QLineEdit(this)),
      timeout(new QSpinBox(this)),
      source(new QComboBox(this))
{
    // The placeholder account of older settings is shown as what it is: none.
    userName->setText(QString::fromStdWString(EffectiveAccount(ReadStringSetting(settings, "GeoNamesUser"))));
    userName->setPlaceholderText(tr("your GeoNames user name"));
    serverAddress->setText(QString::fromStdWString(ReadStringSetting(settings, "GeoNamesServer")));
    timeout->setRange(1, 300);
    timeout->setSuffix(tr(" s"));
    timeout->setValue(ReadIntSetting(settings, "GeoNamesTimeout"));
    // Long choices are elided rather than widening the page they sit on.
    source->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    source->setMinimumContentsLength(16);
    source->addItem(tr("GeoNames (the offline places when it cannot answer)"));
    source->addItem(tr("Offline places only (nothing is sent)"));
    source->setCurrentIndex(
        AddressSourceFromSetting(ReadStringSetting(settings, "AddressSource")) == AddressSource::Offline ? 1 : 0);
    testResult->setWordWrap(true);

    auto* account = new QHBoxLayout;
    account->setContentsMargins(0, 0, 0, 0);
    account->addWidget(userName, 1);
    account->addWidget(testButton);
    auto* form = new QFormLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(tr("Addresses from:"), source);
    form->addRow(tr("GeoNames user name:"), account);
    form->addRow(QString(), testResult);
    auto* howTo = new QLabel(tr("A free account is made on the GeoNames web site; enable its free web "
                                "services on the account's page there."),
                             this);
    howTo->setWordWrap(true);
    form->addRow(QString(), howTo);
    form->addRow(tr("GeoNames service address:"), serverAddress);
    form->addRow(tr("Time allowed for a request:"), timeout);
    connect(testButton, &QPushButton::clicked, this, &CAddressOptionsBox::StartTest);
}

void CAddressOptionsBox::WriteSettings(ISettingsStore& settings) const
{
    settings.SetString("GeoNamesUser", Trimmed(userName->text()).toStdWString());
    settings.SetString("GeoNamesServer", Trimmed(serverAddress->text()).toStdWString());
    settings.SetInt("GeoNamesTimeout", timeout->value());
    settings.SetString("AddressSource",
                       AddressSourceSetting(source->currentIndex() == 1 ? AddressSource::Offline : AddressSource::Online));
}

void CAddressOptionsBox::StartTest()
{
    CGeoNamesService service;
    service.address = Trimmed(serverAddress->text()).toStdWString();
    service.user = EffectiveAccount(userName->text().toStdWString());
    service.timeoutSeconds = timeout->value();
    testButton->setEnabled(false);
    testResult->setText(tr("Asking GeoNames..."));
    // The request may take the whole time allowed: never on the window's thread.
    QPointer<CAddressOptionsBox> box(this);
    std::thread([box, service] {
        const QString result = CheckGeoNamesAccount(service).Text;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [box, result] {
                if (box) box->ShowTestResult(result);
            },
            Qt::QueuedConnection);
    }).detach();
}

void CAddressOptionsBox::ShowTestResult(const QString& result)
{
    testButton->setEnabled(true);
    testResult->setText(result);
    emit TestFinished(result);
}

QString GeoNamesCredit()
{
    return QCoreApplication::translate("CAddressOptionsBox",
                                       "Places and addresses: GeoNames (www.geonames.org), licensed under the "
                                       "Creative Commons Attribution 4.0 licence (CC BY 4.0).");
}
