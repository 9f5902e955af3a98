// The address part of the General page: the GeoNames account with its
// "Test" button, the service address, the time a request may take, and
// where addresses come from (the service, or the offline places only).
#pragma once

#include <QWidget>

class ISettingsStore;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

class CAddressOptionsBox : public QWidget {
    Q_OBJECT
public:
    CAddressOptionsBox(const ISettingsStore& settings, QWidget* parent = nullptr);
    void WriteSettings(ISettingsStore& settings) const;

    // Asks the service once with what the fields say (off the window's
    // thread); the answer appears beside the button and in TestFinished.
    void StartTest();

    QLineEdit* userName;
    QPushButton* testButton;
    QLabel* testResult;
    QLineEdit* serverAddress;
    QSpinBox* timeout;
    QComboBox* source;

signals:
    void TestFinished(const QString& result);

private:
    void ShowTestResult(const QString& result);
};

// The credit the About box gives for the places and addresses.
QString GeoNamesCredit();
