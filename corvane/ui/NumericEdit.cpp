#include "NumericEdit.h"

#include <QKeyEvent>
#include <QLocale>
#include <limits>

namespace {

QChar FirstOr(const QString& text, char fallback)
{
    return text.isEmpty() ? QChar(QLatin1Char(fallback)) : text.at(0);
}

}  // namespace

CNumericEdit::CNumericEdit(QWidget* parent)
    : QLineEdit(parent),
      minimum_(std::numeric_limits<double>::lowest()),
      maximum_(std::numeric_limits<double>::max())
{
    const QLocale locale;
    negativeSign_ = FirstOr(locale.negativeSign(), '-');
    decimalPoint_ = FirstOr(locale.decimalPoint(), '.');
    groupSeparator_ = FirstOr(locale.groupSeparator(), ',');
    if (groupSeparator_ == decimalPoint_)
        groupSeparator_ = decimalPoint_ == QLatin1Char(',') ? QLatin1Char('.') : QLatin1Char(',');
    // Cut, paste, undo and text set from code all end here.
    connect(this, &QLineEdit::textChanged, this, &CNumericEdit::Revalidate);
}

void CNumericEdit::SetSymbols(QChar negativeSign, QChar decimalPoint)
{
    negativeSign_ = negativeSign;
    decimalPoint_ = decimalPoint;
}

void CNumericEdit::SetRange(double minimum, double maximum)
{
    minimum_ = minimum;
    maximum_ = maximum;
}

void CNumericEdit::SetValue(double value)
{
    QString text = QString::number(value, 'f', MaxDecimalPlaces);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0'))) text.chop(1);
        if (text.endsWith(QLatin1Char('.'))) text.chop(1);
    }
    // A value that rounds to nothing is shown as plain zero, without a sign.
    if (text.isEmpty() || text == QLatin1String("-0")) text = QStringLiteral("0");
    text.replace(QLatin1Char('.'), decimalPoint_);
    setText(text);
}

double CNumericEdit::GetValue() const
{
    QString text = GetValidText(this->text());
    text.replace(decimalPoint_, QLatin1Char('.'));
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? value : 0.0;
}

bool CNumericEdit::IsValid() const
{
    const double value = GetValue();
    return value >= minimum_ && value <= maximum_;
}

QString CNumericEdit::GetValidText(const QString& text) const
{
    bool negative = false;
    bool seenPoint = false;
    int whole = 0;
    int decimals = 0;
    QString digits;
    for (const QChar c : text) {
        if (c == negativeSign_) {
            negative = true;
        } else if (c == decimalPoint_ && !seenPoint) {
            if (MaxDecimalPlaces == 0) break;
            seenPoint = true;
            digits += c;
        } else if (c.isDigit()) {
            if (!seenPoint) {
                if (whole++ < MaxWholeDigits) digits += c;
            } else {
                if (decimals++ >= MaxDecimalPlaces) break;
                digits += c;
            }
        }
    }
    return negative ? negativeSign_ + digits : digits;
}

void CNumericEdit::Revalidate()
{
    if (changingText_) return;
    const QString valid = GetValidText(text());
    if (valid == text()) return;
    const int caret = cursorPosition();
    changingText_ = true;
    setText(valid);
    setCursorPosition(std::min(caret, static_cast<int>(valid.size())));
    changingText_ = false;
}

void CNumericEdit::keyPressEvent(QKeyEvent* event)
{
    const QString typed = event->text();
    const bool command = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (command || typed.size() != 1 || !typed.at(0).isPrint()) {
        QLineEdit::keyPressEvent(event);  // Backspace, arrows, shortcuts: the edit's own handling
        return;
    }
    const QChar c = typed.at(0);
    if (c.isDigit())
        TypeDigit(c);
    else if (c == negativeSign_)
        TypeSign();
    else if (c == decimalPoint_)
        TypeDecimalPoint();
    event->accept();  // anything else is dropped without a sound
}

void CNumericEdit::ReplaceSelection(const QString& with)
{
    changingText_ = true;
    insert(with);
    changingText_ = false;
}

void CNumericEdit::TypeDigit(QChar digit)
{
    const QString current = text();
    const int start = hasSelectedText() ? selectionStart() : cursorPosition();
    const int end = hasSelectedText() ? selectionEnd() : cursorPosition();
    const QString candidate = current.left(start) + digit + current.mid(end);
    if (GetValidText(candidate) == candidate) {
        ReplaceSelection(digit);
        return;
    }
    // Decimals full: a digit inside them overwrites the next one.
    const int point = current.indexOf(decimalPoint_);
    if (!hasSelectedText() && point >= 0 && start > point && start < current.size()) {
        setSelection(start, 1);
        ReplaceSelection(digit);
    }
}

void CNumericEdit::TypeSign()
{
    const QString current = text();
    const bool hasSign = current.startsWith(negativeSign_);
    const int start = hasSelectedText() ? selectionStart() : cursorPosition();
    if (start == 0) {
        if (!hasSign) ReplaceSelection(negativeSign_);
        return;
    }
    // Elsewhere the sign toggles; the caret and selection stay beside the same digits.
    const int caret = cursorPosition();
    const int length = selectedText().size();
    const bool caretAtStart = hasSelectedText() && caret == selectionStart();
    const int shift = hasSign ? -1 : 1;
    changingText_ = true;
    setText(hasSign ? current.mid(1) : negativeSign_ + current);
    changingText_ = false;
    if (length == 0) {
        setCursorPosition(caret + shift);
    } else if (caretAtStart) {
        setSelection(caret + shift + length, -length);
    } else {
        setSelection(caret + shift - length, length);
    }
}

void CNumericEdit::TypeDecimalPoint()
{
    if (MaxDecimalPlaces <= 0) return;
    const QString current = text();
    const int start = hasSelectedText() ? selectionStart() : cursorPosition();
    const int end = hasSelectedText() ? selectionEnd() : cursorPosition();
    const int point = current.indexOf(decimalPoint_);
    if (point >= 0 && (point < start || point >= end)) {
        setCursorPosition(point + 1);
        return;
    }
    const QString candidate = current.left(start) + decimalPoint_ + current.mid(end);
    if (GetValidText(candidate) == candidate) ReplaceSelection(decimalPoint_);
}
