// The General page: stamp number formats and colours, the look and the
// tool tips of the window, where modified pictures are saved, and the
// address service.
#pragma once

#include "OptionsPage.h"

class CAddressOptionsBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;

class CGeneralPage : public COptionsPage {
    Q_OBJECT
public:
    // `look` is the window's look (211 to 215); `screentips` the tool tip style (0 to 2).
    CGeneralPage(ISettingsStore& settings, int look, int screentips, QWidget* parent = nullptr);

    QString Refusal() const override;
    void WriteSettings() override;
    int Look() const;
    int Screentips() const;
    // The sub-folder name as it will be stored: trimmed, "Stamped" when blank.
    QString SubFolderName() const;

    QComboBox* format;
    QComboBox* decimals;
    QComboBox* colors;
    QComboBox* altitudeUnit;
    QComboBox* use;
    QComboBox* scheme;
    QComboBox* screentip;
    QRadioButton* overwrite;
    QRadioButton* subFolder;
    QLineEdit* subFolderName;
    CAddressOptionsBox* addresses;
    QLineEdit* geoNamesUser;    // the box's fields
    QLineEdit* geoNamesServer;
    QLineEdit* mapTileUrl;
    QLineEdit* mapAttribution;
    QSpinBox* mapCacheMB;
};
