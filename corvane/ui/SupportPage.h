// The Support page: where to ask for help. "Visit Home" opens the project's
// home page; the three "Contact" buttons open its issue page. Both addresses
// are set when the program is built.
#pragma once

#include "OptionsPage.h"

class QPushButton;

class CSupportPage : public COptionsPage {
    Q_OBJECT
public:
    explicit CSupportPage(ISettingsStore& settings, QWidget* parent = nullptr);
    void WriteSettings() override {}

    static QString HomeUrl();
    static QString IssuesUrl();

    QPushButton* contact[3];
    QPushButton* visitHome;
};
