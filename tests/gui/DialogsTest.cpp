// The small dialogs: the title dialog's reading direction and the image
// direction editor's range and layout.
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include "ImgDirectionEditor.h"
#include "PictureTitleInputDialog.h"

class DialogsTest : public QObject {
    Q_OBJECT

private slots:
    void titleDirectionChangesOnlyTheEditing()
    {
        CPictureTitleInputDialog dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Picture Title"));
        QTest::keyClicks(dialog.Edit(), QStringLiteral("Hafen"));
        dialog.RightToLeft()->click();
        QCOMPARE(dialog.Direction(), 1);
        QCOMPARE(dialog.Edit()->document()->defaultTextOption().alignment(), Qt::AlignRight);
        dialog.LeftToRight()->click();
        QCOMPARE(dialog.Direction(), 0);
        QCOMPARE(dialog.Edit()->document()->defaultTextOption().alignment(), Qt::AlignLeft);
        QCOMPARE(dialog.Title(), QStringLiteral("Hafen"));
    }

    void spinStaysInRange_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::newRow("up from 358") << 358 << int(Qt::Key_Up) << "359";
        QTest::newRow("up from 359 stays, text untouched") << 359 << int(Qt::Key_Up) << "359.5";
        QTest::newRow("down from 0 stays") << 0 << int(Qt::Key_Down) << "0.0";
        QTest::newRow("down from 10") << 10 << int(Qt::Key_Down) << "9";
    }

    void spinStaysInRange()
    {
        QFETCH(int, start);
        QFETCH(int, key);
        QFETCH(QString, text);
        CImgDirectionEditor editor;
        editor.SetDirection(start == 0 ? QStringLiteral("0.0") : QString::number(start) + QStringLiteral(".5"), start,
                            'T');
        QCOMPARE(editor.Reference(), 1);
        QTest::keyClick(editor.Spin(), Qt::Key(key));
        QCOMPARE(editor.DirectionText(), text);
        QVERIFY(editor.Degrees() >= 0 && editor.Degrees() <= 359);
    }

    void layoutSharesTheWidth()
    {
        CImgDirectionEditor editor;
        editor.resize(201, 40);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QCOMPARE(editor.findChild<QLineEdit*>()->geometry(), QRect(0, 0, 100, 40));
        QCOMPARE(editor.Spin()->geometry(), QRect(100, 0, 40, 40));
        QCOMPARE(editor.ReferenceList()->geometry(), QRect(140, 0, 60, 38));
    }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
