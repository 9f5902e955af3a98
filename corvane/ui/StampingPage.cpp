#include "StampingPage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "SettingsStore.h"

namespace {

const char* const kGpsKeys[5] = {"GPSStampngIncGPSCoord", "GPSStampngIncAlt", "GPSStampngIncDateTaken",
                                 "GPSStampngIncImgDirc", "GPSStampngIncMeasPrec"};
const char* const kAddressKeys[5] = {"AddrStampngIncGPSCoord", "AddrStampngIncAlt", "AddrStampngIncDateTaken",
                                     "AddrStampngIncImgDirc", "AddrStampngIncMeasPrec"};
const char* const kIncludeTexts[5] = {"Include GPS coordinates (latitude and longitude)", "Include altitude",
                                      "Include date taken", "Include camera direction",
                                      "Include GPS measurement precision"};
const char* const kLocationKeys[3] = {"GPSStampngLocation", "AddrStampngLocation", "TitleStampngLocation"};

}  // namespace

CStampingPage::CStampingPage(ISettingsStore& settings, QWidget* parent) : COptionsPage(settings, parent)
{
    for (int i = 0; i < 5; ++i) {
        gpsIncludes[i] = new QCheckBox(tr(kIncludeTexts[i]), this);
        gpsIncludes[i]->setChecked(settings.GetInt(kGpsKeys[i], DefaultInt(kGpsKeys[i])) != 0);
        addressIncludes[i] = new QCheckBox(tr(kIncludeTexts[i]), this);
        addressIncludes[i]->setChecked(settings.GetInt(kAddressKeys[i], DefaultInt(kAddressKeys[i])) != 0);
    }
    for (int i = 0; i < 3; ++i) {
        top[i] = new QRadioButton(tr("Stamp at the top of pictures"), this);
        bottom[i] = new QRadioButton(tr("Stamp at the bottom of pictures"), this);
        auto* group = new QButtonGroup(this);
        group->addButton(top[i], 0);
        group->addButton(bottom[i], 1);
        (ReadString(kLocationKeys[i]) == QLatin1String("top") ? top[i] : bottom[i])->setChecked(true);
    }
    dateTime = Combo({tr("Date Only"), tr("Date and Time")}, this);
    dateTime->setCurrentIndex(ReadString("DateTime") == QLatin1String("DateTime") ? 1 : 0);

    auto* layout = new QVBoxLayout(this);
    const auto addLocation = [&](int i) {
        layout->addWidget(new QLabel(tr("Stamping location:"), this));
        layout->addWidget(top[i]);
        layout->addWidget(bottom[i]);
    };
    layout->addWidget(Banner(tr("GPS Stamping"), this));
    for (QCheckBox* check : gpsIncludes) layout->addWidget(check);
    addLocation(0);
    auto* format = new QFormLayout;
    format->addRow(tr("Date Time Format:"), dateTime);
    layout->addLayout(format);
    layout->addWidget(Banner(tr("Address Stamping"), this));
    for (QCheckBox* check : addressIncludes) layout->addWidget(check);
    addLocation(1);
    layout->addWidget(Banner(tr("Title Stamping"), this));
    addLocation(2);
    layout->addStretch();
}

void CStampingPage::WriteSettings()
{
    const auto location = [this](int i) { return top[i]->isChecked() ? QStringLiteral("top") : QStringLiteral("bot"); };
    for (int i = 0; i < 5; ++i) settings_.SetInt(kGpsKeys[i], gpsIncludes[i]->isChecked() ? 1 : 0);
    WriteString(kLocationKeys[0], location(0));
    WriteString("DateTime", dateTime->currentIndex() == 1 ? QStringLiteral("DateTime") : QStringLiteral("Date"));
    for (int i = 0; i < 5; ++i) settings_.SetInt(kAddressKeys[i], addressIncludes[i]->isChecked() ? 1 : 0);
    WriteString(kLocationKeys[1], location(1));
    WriteString(kLocationKeys[2], location(2));
}
