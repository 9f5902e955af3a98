// The Stamping page: what the GPS and address stamps include and where each
// stamp kind is placed.
#pragma once

#include "OptionsPage.h"

class QCheckBox;
class QRadioButton;

class CStampingPage : public COptionsPage {
    Q_OBJECT
public:
    explicit CStampingPage(ISettingsStore& settings, QWidget* parent = nullptr);
    void WriteSettings() override;

    // The five include checks of each stamp, in the order of their keys.
    QCheckBox* gpsIncludes[5];
    QCheckBox* addressIncludes[5];
    // The top and bottom radios of the GPS, address and title stamps.
    QRadioButton* top[3];
    QRadioButton* bottom[3];
    QComboBox* dateTime;
};
