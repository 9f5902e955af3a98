#include "ImgDirectionEditor.h"

#include <QComboBox>
#include <QLineEdit>
#include <QResizeEvent>
#include <QApplication>
#include <QFocusEvent>
#include <QSpinBox>

CImgDirectionEditor::CImgDirectionEditor(QWidget* parent)
    : QWidget(parent), text_(new QLineEdit(this)), spin_(new QSpinBox(this)), reference_(new QComboBox(this))
{
    text_->setReadOnly(true);
    text_->setAlignment(Qt::AlignCenter);
    spin_->setRange(0, 359);
    spin_->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    // The spin box shows no text of its own: its position goes into the text beside it.
    spin_->setStyleSheet(QStringLiteral("QSpinBox { color: transparent; }"));
    reference_->addItems({QStringLiteral("M"), QStringLiteral("T")});
    // Only a real move replaces the text: the spin box re-announces its value
    // on Enter, which must not round a direction such as 123.45.
    connect(spin_, &QSpinBox::valueChanged, this, [this](int value) {
        if (value == shownDegrees_) return;
        shownDegrees_ = value;
        text_->setText(QString::number(value));
    });
    setFocusProxy(spin_);
    for (QWidget* child : {static_cast<QWidget*>(text_), static_cast<QWidget*>(spin_), static_cast<QWidget*>(reference_)})
        child->installEventFilter(this);
    setAutoFillBackground(true);
}

void CImgDirectionEditor::SetDirection(const QString& text, int degrees, char reference)
{
    const QSignalBlocker block(spin_);
    spin_->setValue(degrees);
    shownDegrees_ = spin_->value();
    text_->setText(text);
    reference_->setCurrentIndex(reference == 'T' ? 1 : 0);
}

QString CImgDirectionEditor::DirectionText() const { return text_->text(); }
int CImgDirectionEditor::Degrees() const { return spin_->value(); }
int CImgDirectionEditor::Reference() const { return reference_->currentIndex(); }

void CImgDirectionEditor::resizeEvent(QResizeEvent* event)
{
    const int w = event->size().width();
    const int h = event->size().height();
    if (w <= 0 || h <= 0) return;
    const int half = w / 2;
    const int fifth = w / 5;
    text_->setGeometry(0, 0, half, h);
    spin_->setGeometry(half, 0, fifth, h);
    reference_->setGeometry(half + fifth, 0, w * 3 / 10, h * 95 / 100);
}

bool CImgDirectionEditor::eventFilter(QObject* watched, QEvent* event)
{
    // The table ends an edit when its editor loses the focus; the parts of
    // this editor lose it one by one, so the editor itself is told once the
    // focus has gone outside all of them.
    const auto* focus = static_cast<QFocusEvent*>(event);
    if (event->type() == QEvent::FocusOut && focus->reason() != Qt::PopupFocusReason) {
        QWidget* next = QApplication::focusWidget();
        if (!next || (next != this && !isAncestorOf(next))) {
            QFocusEvent out(QEvent::FocusOut, focus->reason());
            QCoreApplication::sendEvent(this, &out);
        }
    }
    return QWidget::eventFilter(watched, event);
}
