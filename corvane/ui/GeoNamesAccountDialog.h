// Asks for the user's GeoNames account the first time addresses are needed
// and none is set, saying where a free one is made and that its web
// services must be enabled there.
#pragma once

#include <QDialog>

class QLineEdit;

class CGeoNamesAccountDialog : public QDialog {
    Q_OBJECT
public:
    explicit CGeoNamesAccountDialog(QWidget* parent = nullptr);
    // The name typed, trimmed.
    QString UserName() const;
    QLineEdit* userName;
};
