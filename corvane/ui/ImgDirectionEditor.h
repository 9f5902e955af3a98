// The editor of the "Image Direction" cell: a read-only text showing the
// direction, a spin box for whole degrees 0 to 359 that writes its position
// into the text, and the reference list "M" (magnetic north) / "T" (true
// north). The three share the width 50 / 20 / 30 per cent.
#pragma once

#include <QWidget>

class QComboBox;
class QLineEdit;
class QSpinBox;

class CImgDirectionEditor : public QWidget {
    Q_OBJECT
public:
    explicit CImgDirectionEditor(QWidget* parent = nullptr);

    // Sets the text, the spin position (the whole degrees) and the reference ('T' or anything else: 'M').
    void SetDirection(const QString& text, int degrees, char reference);
    QString DirectionText() const;
    int Degrees() const;
    // 0 for "M", 1 for "T".
    int Reference() const;
    char ReferenceLetter() const { return Reference() == 1 ? 'T' : 'M'; }

    QSpinBox* Spin() const { return spin_; }
    QComboBox* ReferenceList() const { return reference_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Tab is not used inside the editor: it goes on to the table, which moves to the next cell.
    bool focusNextPrevChild(bool) override { return false; }

private:
    QLineEdit* text_;
    QSpinBox* spin_;
    QComboBox* reference_;
    int shownDegrees_ = 0;
};
