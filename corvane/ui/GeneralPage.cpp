#include "GeneralPage.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "AddressOptionsBox.h"
#include "SettingsStore.h"
#include "TileLoader.h"

namespace {

const QStringList kFormats{QStringLiteral("DD"), QStringLiteral("DDM"), QStringLiteral("DMS")};
const QStringList kColors{QStringLiteral("LB-DT"), QStringLiteral("DB-LT")};
const QStringList kUnits{QStringLiteral("FT"), QStringLiteral("M"), QStringLiteral("KM")};
const QStringList kUses{QStringLiteral("OU"), QStringLiteral("PU")};

QString Trimmed(const QString& text)
{
    int begin = 0;
    int end = text.size();
    const auto blank = [](QChar c) { return c == '\r' || c == '\n' || c == ' ' || c == '\t'; };
    while (begin < end && blank(text.at(begin))) ++begin;
    while (end > begin && blank(text.at(end - 1))) --end;
    return text.mid(begin, end - begin);
}

}  // namespace

CGeneralPage::CGeneralPage(ISettingsStore& settings, int look, int screentips, QWidget* parent)
    : COptionsPage(settings, parent)
{
    format = Combo({tr("DD - Decimal Degrees"), tr("DDM - Degrees Decimal Minutes"), tr("DMS - Degrees Minutes Seconds")}, this);
    decimals = Combo({tr("No Decimal"), "0.0", "0.00", "0.000", "0.0000", "0.00000", "0.000000", "0.0000000",
                      "0.00000000"}, this);
    colors = Combo({tr("Light Background, Dark Text"), tr("Dark Background, Light Text")}, this);
    altitudeUnit = Combo({tr("Foot (ft)"), tr("Meter (m)"), tr("Kilometer (km)")}, this);
    use = Combo({tr("Official Use"), tr("Personal Use")}, this);
    scheme = Combo({tr("MS Office 2007 Blue"), tr("MS Office 2007 Black"), tr("MS Office 2007 Silver"),
                    tr("MS Office 2007 Aqua"), tr("Windows 7 Scenic")}, this);
    screentip = Combo({tr("Show feature descriptions in Screentips"), tr("Don't show feature descriptions in Screentips"),
                       tr("Don't show Screentips")}, this);
    overwrite = new QRadioButton(tr("Overwrite original pictures"), this);
    subFolder = new QRadioButton(tr("In each folder create a subfolder and save modified pictures there"), this);
    auto* saving = new QButtonGroup(this);
    saving->addButton(overwrite, 0);
    saving->addButton(subFolder, 1);
    subFolderName = new QLineEdit(this);
    addresses = new CAddressOptionsBox(settings, this);
    geoNamesUser = addresses->userName;
    geoNamesServer = addresses->serverAddress;
    mapTileUrl = new QLineEdit(this);
    mapTileUrl->setPlaceholderText(tr("empty: the drawn world map only"));
    mapAttribution = new QLineEdit(this);
    mapCacheMB = new QSpinBox(this);
    mapCacheMB->setRange(10, 100000);
    mapCacheMB->setSuffix(QStringLiteral(" MB"));

    format->setCurrentIndex(IndexOf(kFormats, ReadString("GPSFormat"), 0));
    const int places = settings.GetInt("GPSDecimalPlaces", DefaultInt("GPSDecimalPlaces"));
    if (places >= 0 && places < decimals->count()) decimals->setCurrentIndex(places);
    altitudeUnit->setCurrentIndex(IndexOf(kUnits, ReadString("AltUnit"), 0));
    colors->setCurrentIndex(ReadString("StampColors") == QLatin1String("DB-LT") ? 1 : 0);
    use->setCurrentIndex(ReadString("UseOfStamping") == QLatin1String("PU") ? 1 : 0);
    scheme->setCurrentIndex(look - 211);
    screentip->setCurrentIndex(screentips);
    (settings.GetInt("OverwriteOriginalPics", 1) == 0 ? overwrite : subFolder)->setChecked(true);
    subFolderName->setText(ReadString("ModifiedPicsLocation"));
    mapTileUrl->setText(ReadString("MapTileUrl"));
    mapAttribution->setText(ReadString("MapAttribution"));
    mapCacheMB->setValue(ReadIntSetting(settings, "MapCacheMB"));

    auto* stamping = new QFormLayout;
    stamping->addRow(tr("GPS Format:"), format);
    stamping->addRow(tr("GPS Precision:"), decimals);
    stamping->addRow(tr("Stamping Colors:"), colors);
    stamping->addRow(tr("Altitude Unit:"), altitudeUnit);
    stamping->addRow(tr("Stamping is used for:"), use);
    auto* ui = new QFormLayout;
    ui->addRow(tr("&Color scheme:"), scheme);
    ui->addRow(tr("Sc&reentip style:"), screentip);
    auto* map = new QFormLayout;
    map->addRow(tr("Tile server address:"), mapTileUrl);
    map->addRow(tr("Tile attribution:"), mapAttribution);
    map->addRow(tr("Tile cache size:"), mapCacheMB);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Banner(tr("Stamping"), this));
    layout->addLayout(stamping);
    layout->addWidget(Banner(tr("User Interface Options"), this));
    layout->addLayout(ui);
    layout->addWidget(Banner(tr("Saving Options"), this));
    layout->addWidget(new QLabel(tr("When saving modifed pictures:"), this));
    layout->addWidget(overwrite);
    layout->addWidget(subFolder);
    layout->addWidget(new QLabel(tr("Sub-folder name for modified pictures:"), this));
    layout->addWidget(subFolderName);
    layout->addWidget(Banner(tr("Reverse geocoding"), this));
    layout->addWidget(addresses);
    layout->addWidget(Banner(tr("Map"), this));
    layout->addLayout(map);
    layout->addStretch();
}

int CGeneralPage::Look() const { return 211 + scheme->currentIndex(); }
int CGeneralPage::Screentips() const { return screentip->currentIndex(); }

QString CGeneralPage::SubFolderName() const
{
    const QString name = Trimmed(subFolderName->text());
    return name.isEmpty() ? QStringLiteral("Stamped") : name;
}

QString CGeneralPage::Refusal() const
{
    // The name is one folder inside each picture's folder, never a way out of it.
    const QString name = SubFolderName();
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) || name == QLatin1String(".") ||
        name == QLatin1String(".."))
        return tr("The sub-folder name must be the name of one folder: it cannot contain \"/\" or \"\\\", and cannot "
                  "be \".\" or \"..\".");
    return CTileLoader::CheckTemplate(Trimmed(mapTileUrl->text()));
}

void CGeneralPage::WriteSettings()
{
    WriteString("GPSFormat", kFormats.value(format->currentIndex(), kFormats[0]));
    settings_.SetInt("GPSDecimalPlaces", decimals->currentIndex());
    WriteString("AltUnit", kUnits.value(altitudeUnit->currentIndex(), kUnits[0]));
    WriteString("StampColors", kColors.value(colors->currentIndex(), kColors[0]));
    WriteString("UseOfStamping", kUses.value(use->currentIndex(), kUses[0]));
    settings_.SetInt("OverwriteOriginalPics", overwrite->isChecked() ? 0 : 1);
    WriteString("ModifiedPicsLocation", SubFolderName());
    addresses->WriteSettings(settings_);
    WriteString("MapTileUrl", Trimmed(mapTileUrl->text()));
    WriteString("MapAttribution", Trimmed(mapAttribution->text()));
    settings_.SetInt("MapCacheMB", mapCacheMB->value());
}
