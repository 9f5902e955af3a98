// The numeric edit: typing keeps the number well formed, pasting reduces
// any text to its valid form, and SetValue writes at most four decimals.
#include <QApplication>
#include <QClipboard>
#include <QTest>

#include "NumericEdit.h"

class NumericEditTest : public QObject {
    Q_OBJECT

private:
    // An edit with the symbols pinned, whatever the machine's locale.
    static std::unique_ptr<CNumericEdit> Edit(const QString& text, int caret)
    {
        auto edit = std::make_unique<CNumericEdit>();
        edit->SetSymbols(QLatin1Char('-'), QLatin1Char('.'));
        edit->setText(text);
        edit->setCursorPosition(caret);
        return edit;
    }

private slots:
    void typing_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("caret");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("expectedCaret");
        QTest::newRow("digit past full decimals at the end") << "12.3456" << 7 << "7" << "12.3456" << 7;
        QTest::newRow("minus at the end adds the sign") << "12.3456" << 7 << "-" << "-12.3456" << 8;
        QTest::newRow("minus twice takes it away") << "12.3456" << 7 << "--" << "12.3456" << 7;
        QTest::newRow("point at the start jumps past the point") << "12.5" << 0 << "." << "12.5" << 3;
        QTest::newRow("digit inside full decimals overwrites") << "1.2345" << 3 << "9" << "1.2945" << 4;
        QTest::newRow("tenth whole digit refused") << "123456789" << 9 << "1" << "123456789" << 9;
        QTest::newRow("letters are dropped") << "12" << 2 << "ab,x" << "12" << 2;
        QTest::newRow("minus at the start inserts once") << "5" << 0 << "-" << "-5" << 1;
        QTest::newRow("minus at the start of a signed text") << "-5" << 0 << "-" << "-5" << 0;
        QTest::newRow("point that would make five decimals") << "123456" << 1 << "." << "123456" << 1;
        QTest::newRow("a number typed from empty") << "" << 0 << "-48.8566" << "-48.8566" << 8;
        QTest::newRow("fifth decimal typed is ignored") << "" << 0 << "0.123456" << "0.1234" << 6;
    }

    void typing()
    {
        QFETCH(QString, start);
        QFETCH(int, caret);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        QFETCH(int, expectedCaret);
        auto edit = Edit(start, caret);
        QTest::keyClicks(edit.get(), typed);
        QCOMPARE(edit->text(), expected);
        QCOMPARE(edit->cursorPosition(), expectedCaret);
    }

    void signToggleKeepsTheSelection()
    {
        auto edit = Edit(QStringLiteral("12.34"), 0);
        edit->setSelection(1, 2);  // "2."
        QTest::keyClick(edit.get(), '-');
        QCOMPARE(edit->text(), QStringLiteral("-12.34"));
        QCOMPARE(edit->selectedText(), QStringLiteral("2."));
    }

    void backspaceWorksAsUsual()
    {
        auto edit = Edit(QStringLiteral("12.5"), 4);
        QTest::keyClick(edit.get(), Qt::Key_Backspace);
        QCOMPARE(edit->text(), QStringLiteral("12."));
    }

    void pasting_data()
    {
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QString>("expected");
        QTest::newRow("letters, group separator and sign") << "abc-1,234.5x" << "-1234.5";
        QTest::newRow("too many whole digits") << "1234567890123" << "123456789";
        QTest::newRow("second decimal point") << "1.2.3" << "1.23";
        QTest::newRow("too many decimals stop the pass") << "0.1234567" << "0.1234";
        QTest::newRow("sign at the end") << "42-" << "-42";
    }

    void pasting()
    {
        QFETCH(QString, clipboard);
        QFETCH(QString, expected);
        auto edit = Edit(QString(), 0);
        QApplication::clipboard()->setText(clipboard);
        QTest::keyClick(edit.get(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit->text(), expected);
    }

    void setValue_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("2.5") << 2.5 << "2.5";
        QTest::newRow("3") << 3.0 << "3";
        QTest::newRow("0.00001") << 0.00001 << "0";
        QTest::newRow("1.23456") << 1.23456 << "1.2346";
        QTest::newRow("negative") << -33.8675 << "-33.8675";
        QTest::newRow("negative that rounds to zero") << -0.00001 << "0";
    }

    void setValue()
    {
        QFETCH(double, value);
        QFETCH(QString, expected);
        auto edit = Edit(QString(), 0);
        edit->SetValue(value);
        QCOMPARE(edit->text(), expected);
        QCOMPARE(edit->GetValue(), expected.toDouble());
    }

    void rangeAndFocusLoss()
    {
        auto edit = Edit(QStringLiteral("95"), 2);
        edit->SetRange(-90, 90);
        QVERIFY(!edit->IsValid());
        // Losing the focus leaves an out-of-range value as typed.
        QFocusEvent out(QEvent::FocusOut, Qt::OtherFocusReason);
        QApplication::sendEvent(edit.get(), &out);
        QCOMPARE(edit->text(), QStringLiteral("95"));
        edit->setText(QStringLiteral("-90"));
        QVERIFY(edit->IsValid());
    }

    void decimalCommaLocale()
    {
        CNumericEdit edit;
        edit.SetSymbols(QLatin1Char('-'), QLatin1Char(','));
        edit.SetValue(2.25);
        QCOMPARE(edit.text(), QStringLiteral("2,25"));
        QCOMPARE(edit.GetValue(), 2.25);
    }
};

QTEST_MAIN(NumericEditTest)
#include "NumericEditTest.moc"
