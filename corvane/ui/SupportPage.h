// The Support page: where to ask for help. "Report a Problem" opens the
// project's issue page, "Visit Home" its home page; both addresses are set
// once, when the program is built.
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

    QPushButton* reportProblem;
    QPushButton* visitHome;
};
