// A line edit that only ever holds a well-formed decimal number: at most
// MaxWholeDigits digits before the decimal point, MaxDecimalPlaces after it,
// and an optional leading sign. Typed characters that would break the form
// are dropped silently; pasted or set text is reduced to its valid form.
// Losing the focus changes nothing: the operation that applies the value
// checks its range.
#pragma once

#include <QLineEdit>

class CNumericEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CNumericEdit(QWidget* parent = nullptr);

    static constexpr int MaxWholeDigits = 9;
    static constexpr int MaxDecimalPlaces = 4;

    void SetValue(double value);
    double GetValue() const;
    // The value lies between Minimum and Maximum, both included.
    bool IsValid() const;
    void SetRange(double minimum, double maximum);
    double Minimum() const { return minimum_; }
    double Maximum() const { return maximum_; }

    QChar NegativeSign() const { return negativeSign_; }
    QChar DecimalPoint() const { return decimalPoint_; }
    // Uses these characters instead of the locale's (the tests pin them).
    void SetSymbols(QChar negativeSign, QChar decimalPoint);

    // The valid form of any text: the sign once, at the front, when it
    // appears anywhere; digits up to the limits; the first decimal point.
    QString GetValidText(const QString& text) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void TypeDigit(QChar digit);
    void TypeSign();
    void TypeDecimalPoint();
    void ReplaceSelection(const QString& with);
    void Revalidate();

    QChar negativeSign_ = QLatin1Char('-');
    QChar decimalPoint_ = QLatin1Char('.');
    QChar groupSeparator_ = QLatin1Char(',');
    double minimum_;
    double maximum_;
    bool changingText_ = false;
};
