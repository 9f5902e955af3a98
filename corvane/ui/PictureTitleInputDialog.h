// Asks for the title that Stamp Title draws onto the pictures, with the
// reading direction the text is typed in.
#pragma once

#include <QDialog>

class QPlainTextEdit;
class QRadioButton;

class CPictureTitleInputDialog : public QDialog {
    Q_OBJECT
public:
    explicit CPictureTitleInputDialog(QWidget* parent = nullptr);

    // The title as typed; the direction only changes how it is edited.
    QString Title() const;
    // 0 left-to-right, 1 right-to-left.
    int Direction() const;
    QPlainTextEdit* Edit() const { return edit_; }
    QRadioButton* LeftToRight() const { return leftToRight_; }
    QRadioButton* RightToLeft() const { return rightToLeft_; }

private:
    void ApplyDirection();

    QPlainTextEdit* edit_;
    QRadioButton* leftToRight_;
    QRadioButton* rightToLeft_;
};
