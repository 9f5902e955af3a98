// The metadata view on a folder of real pictures: the cells against an
// independent reader, editing through every kind of editor (one pending
// change each, undone by Undo), clearing, sorting and the CSV export.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QHeaderView>
#include <QLineEdit>
#include <QProcess>
#include <QSpinBox>
#include <QStyle>
#include <QTest>
#include <cmath>

#include "CommandTable.h"
#include "GPSMetadataListView.h"
#include "GuiTestSupport.h"
#include "ImgDirectionEditor.h"
#include "MainFrame.h"
#include "MetadataTable.h"
#include "MetadataTableModel.h"
#include "MetadataTableView.h"
#include "NumericEdit.h"
#include <QTreeView>

class MetadataViewTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir config_;
    QTemporaryDir pictures_;
    std::unique_ptr<GuiTest::RunningProgram> program_;

    CMainFrame& Frame() { return program_->App->Frame(); }
    CCorvaneDoc& Doc() { return program_->App->Document(); }
    CGPSMetadataListView* View() { return Frame().ListView(); }
    CMetadataTableView* Table() { return View()->Table(); }
    QString Cell(int row, int column) { return Table()->model()->index(row, column).data().toString(); }

    // The row showing a picture that has `field` present (or absent).
    int RowWith(bool latitude)
    {
        for (int row = 0; row < View()->RowCount(); ++row) {
            const CGPSMetadataInfo* r = Doc().Item(Doc().RowOrder()[row]).Current();
            if (r && (r->Latitude != nullptr) == latitude) return row;
        }
        return -1;
    }

    QWidget* OpenEditor(int row, int column)
    {
        const QModelIndex index = Table()->model()->index(row, column);
        Table()->setCurrentIndex(index);
        Table()->edit(index);
        // The editor takes the focus (or gives it to its spin box).
        QWidget* focused = QApplication::focusWidget();
        while (focused && focused->parentWidget() != Table()->viewport()) focused = focused->parentWidget();
        return focused;
    }

    static QWidget* KeyTarget(QWidget* editor)
    {
        if (auto* direction = qobject_cast<CImgDirectionEditor*>(editor)) return direction->Spin();
        return editor;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(GuiTest::HaveSamples(), "the test pictures are missing");
        GuiTest::UseSettingsIn(config_.path());
        QVERIFY(GuiTest::CopySamples(QStringLiteral("gps"), pictures_.path()) >= 3);
        QVERIFY(GuiTest::CopySamples(QStringLiteral("cameras"), pictures_.path(), 2) == 2);
        program_ = std::make_unique<GuiTest::RunningProgram>();
        QVERIFY(program_->Start(pictures_.path()));
        Frame().show();
        QVERIFY(QTest::qWaitForWindowExposed(&Frame()));
        Frame().Execute(CommandId::MetadataView);
        QVERIFY(Frame().ContextTabShown());
    }

    void rowsAndCells()
    {
        QCOMPARE(View()->RowCount(), Doc().Count());
        for (int row = 0; row < View()->RowCount(); ++row) {
            QCOMPARE(Cell(row, 0), QString::number(row + 1));
            QCOMPARE(Cell(row, 1), QString::fromStdWString(Doc().Item(Doc().RowOrder()[row]).Name));
        }
        QProcess exiftool;
        exiftool.start(QStringLiteral("exiftool"), {"-n", "-T", "-FileName", "-GPSLatitude", "-GPSLongitude",
                                                    pictures_.path()});
        if (!exiftool.waitForFinished(30000) || exiftool.exitCode() != 0) QFAIL("exiftool is not available");
        int compared = 0;
        for (const QByteArray& line : exiftool.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> f = line.trimmed().split('\t');
            if (f.size() != 3 || f[1] == "-") continue;
            const int item = Doc().FindItemByName(QString::fromUtf8(f[0]).toStdWString());
            QVERIFY(item >= 0);
            const int row = static_cast<int>(std::find(Doc().RowOrder().begin(), Doc().RowOrder().end(), item) -
                                             Doc().RowOrder().begin());
            for (int c = 0; c < 2; ++c) {
                const QStringList cell = Cell(row, 3 + c).split(QLatin1Char(' '));
                const double shown = cell[0].toDouble() * ((cell[1] == "S" || cell[1] == "W") ? -1 : 1);
                QVERIFY2(std::fabs(shown - f[1 + c].toDouble()) < 1e-9, qPrintable(Cell(row, 3 + c)));
            }
            ++compared;
        }
        QVERIFY(compared >= 3);
        QCOMPARE(Cell(RowWith(false), 3), QStringLiteral(" "));
    }

    void editing_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("latitude north") << 3 << "12.5" << "12.5 N";
        QTest::newRow("latitude south") << 3 << "-33.25" << "33.25 S";
        QTest::newRow("longitude west") << 4 << "-0.1275" << "0.1275 W";
        QTest::newRow("altitude below sea") << 5 << "-12.5" << "12.5 m Below Sea";
        QTest::newRow("date taken") << 2 << "2013-05-07T14:03:09" << "7-May-2013 2:03:09 PM";
        QTest::newRow("image direction") << 6 << "123 T" << "123° T";
        QTest::newRow("precision") << 7 << "Good" << "Good";
        QTest::newRow("map datum") << 8 << "WGS-84" << "WGS-84";
        QTest::newRow("GPS date") << 9 << "2013-05-07T00:00:00" << "5/7/2013";
        QTest::newRow("GPS time") << 10 << "2000-01-01T14:03:09" << "14:03:09";
        QTest::newRow("city with separator") << 12 << "Zürich; Altstadt, \"old\"" << "Zürich; Altstadt, \"old\"";
        QTest::newRow("country") << 14 << "Ísland" << "Ísland";
    }

    void editing()
    {
        QFETCH(int, column);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        const int row = RowWith(true);
        const QString before = Cell(row, column);
        const size_t undoBefore = Doc().UndoList().size();
        QWidget* editor = OpenEditor(row, column);
        QVERIFY(editor);
        if (auto* numeric = qobject_cast<CNumericEdit*>(editor)) {
            numeric->selectAll();
            QTest::keyClicks(numeric, typed);
        } else if (auto* date = qobject_cast<QDateTimeEdit*>(editor)) {
            date->setDateTime(QDateTime::fromString(typed, Qt::ISODate));
        } else if (auto* direction = qobject_cast<CImgDirectionEditor*>(editor)) {
            direction->Spin()->setValue(typed.section(' ', 0, 0).toInt());
            direction->ReferenceList()->setCurrentText(typed.section(' ', 1, 1));
        } else if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            combo->setCurrentText(typed);
        } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            line->setText(typed);
        }
        QVERIFY(GuiTest::EndEdit(Table(), KeyTarget(editor), Qt::Key_Return));
        QCOMPARE(Cell(row, column).trimmed(), expected);
        QCOMPARE(Doc().UndoList().size(), undoBefore + 1);
        QVERIFY(Doc().HasUnsavedChangesAt(Doc().RowOrder()[row]));
        Frame().Execute(CommandId::Undo);
        QCOMPARE(Cell(row, column), before);
        QCOMPARE(Doc().UndoList().size(), undoBefore);
    }

    void focusLossCommits_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("expected");
        QTest::newRow("numeric edit") << 4 << "7.5 E";
        QTest::newRow("direction editor") << 6 << "42° M";
    }

    void focusLossCommits()
    {
        QFETCH(int, column);
        QFETCH(QString, expected);
        const int row = RowWith(true);
        QWidget* editor = OpenEditor(row, column);
        if (auto* numeric = qobject_cast<CNumericEdit*>(editor)) {
            numeric->selectAll();
            QTest::keyClicks(numeric, QStringLiteral("7.5"));
        } else {
            auto* direction = qobject_cast<CImgDirectionEditor*>(editor);
            QVERIFY(direction);
            direction->ReferenceList()->setCurrentIndex(0);
            direction->Spin()->setValue(42);
        }
        QSignalSpy closed(Table()->itemDelegate(), &QAbstractItemDelegate::closeEditor);
        View()->Tree()->setFocus();
        if (closed.isEmpty()) QVERIFY(closed.wait(5000));
        QCOMPARE(Cell(row, column), expected);
        Frame().Execute(CommandId::Undo);
    }

    void escapeCancels()
    {
        const int row = RowWith(true);
        const QString before = Cell(row, 3);
        QWidget* editor = OpenEditor(row, 3);
        QVERIFY(qobject_cast<CNumericEdit*>(editor));
        static_cast<CNumericEdit*>(editor)->selectAll();
        QTest::keyClicks(editor, QStringLiteral("1"));
        QVERIFY(GuiTest::EndEdit(Table(), editor, Qt::Key_Escape));
        QCOMPARE(Cell(row, 3), before);
        QVERIFY(!Doc().CanUndo());
    }

    void emptyCellLeftAloneStaysEmpty()
    {
        const int row = RowWith(false);
        for (const int column : {2, 3, 5, 6, 7, 9, 10, 12}) {
            QWidget* editor = OpenEditor(row, column);
            QVERIFY(editor);
            QVERIFY(GuiTest::EndEdit(Table(), KeyTarget(editor), Qt::Key_Return));
            QCOMPARE(Cell(row, column), QStringLiteral(" "));
        }
        QVERIFY(!Doc().CanUndo());
    }

    void tabMovesAcrossEditableCells()
    {
        QWidget* editor = OpenEditor(0, 14);
        QVERIFY(editor);
        QVERIFY(GuiTest::EndEdit(Table(), editor, Qt::Key_Tab));
        QCOMPARE(Table()->currentIndex(), Table()->model()->index(1, 2));
        QWidget* next = QApplication::focusWidget();
        QVERIFY(next && next != Table());
        QVERIFY(GuiTest::EndEdit(Table(), next, Qt::Key_Backtab, Qt::ShiftModifier));
        QCOMPARE(Table()->currentIndex(), Table()->model()->index(0, 14));
        QVERIFY(GuiTest::EndEdit(Table(), QApplication::focusWidget(), Qt::Key_Escape));
    }

    // A value entered widens its column, and every look keeps every cell's
    // text whole in its column.
    void cellsFitTheirColumnsInEveryLook()
    {
        const int row = RowWith(true);
        QWidget* editor = OpenEditor(row, 5);
        auto* numeric = qobject_cast<CNumericEdit*>(editor);
        QVERIFY(numeric);
        numeric->selectAll();
        QTest::keyClicks(numeric, QStringLiteral("8848.86"));
        QVERIFY(GuiTest::EndEdit(Table(), numeric, Qt::Key_Return));
        QCOMPARE(Cell(row, 5).trimmed(), QStringLiteral("8848.86 m Above Sea"));
        for (int look : {CommandId::LookBlue, CommandId::LookBlack, CommandId::LookSilver, CommandId::LookAqua,
                         CommandId::LookWindows7}) {
            Frame().Execute(look);
            QCoreApplication::processEvents();
            // The margins the item delegate keeps on either side of a cell's text.
            const int margin = Table()->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, Table()) + 1;
            for (int r = 0; r < View()->RowCount(); ++r)
                for (int c = 1; c < Table()->model()->columnCount(); ++c) {
                    const QString text = Cell(r, c);
                    const int needed = Table()->fontMetrics().horizontalAdvance(text) + 2 * margin;
                    QVERIFY2(needed <= Table()->horizontalHeader()->sectionSize(c),
                             qPrintable(QStringLiteral("look %1: \"%2\" needs %3 px in a %4 px column")
                                            .arg(look).arg(text).arg(needed)
                                            .arg(Table()->horizontalHeader()->sectionSize(c))));
                }
        }
        Frame().Execute(CommandId::LookBlue);
        Frame().Execute(CommandId::Undo);
        QCOMPARE(Cell(row, 5).trimmed(), QString());
    }

    void clearFieldAndRecord()
    {
        const int row = RowWith(true);
        const QString latitude = Cell(row, 3);
        View()->ClearField({row}, 3);
        QCOMPARE(Cell(row, 3), QStringLiteral(" "));
        View()->ClearRecords({row});
        for (int column = 2; column <= 14; ++column) QCOMPARE(Cell(row, column), QStringLiteral(" "));
        QCOMPARE(Cell(row, 1).isEmpty(), false);
        QCOMPARE(Doc().UndoList().size(), size_t{2});
        Frame().Execute(CommandId::Undo);
        Frame().Execute(CommandId::Undo);
        QCOMPARE(Cell(row, 3), latitude);
    }

    void clipboard()
    {
        const int row = RowWith(true);
        View()->CopyField(row, 3);
        QCOMPARE(QApplication::clipboard()->text(), Cell(row, 3));
        View()->CopyRecord(row);
        QStringList expected{Cell(row, 1)};
        for (int column = 2; column <= 14; ++column) expected << Cell(row, column);
        QCOMPARE(QApplication::clipboard()->text(), expected.join(QLatin1Char('\t')));
    }

    void sorting_data()
    {
        QTest::addColumn<int>("column");
        for (int column = 1; column <= 14; ++column)
            QTest::newRow(qPrintable(QString::fromWCharArray(MetadataTable::ColumnTitle(column)))) << column;
    }

    void sorting()
    {
        QFETCH(int, column);
        // Two clicks on one column give both orders; each is the other reversed for distinct values.
        for (int click = 0; click < 2; ++click) {
            Table()->horizontalHeader()->sectionClicked(column);
            QCOMPARE(Table()->horizontalHeader()->sortIndicatorSection(), column);
            const bool ascending = View()->SortAscending();
            QCOMPARE(Table()->horizontalHeader()->sortIndicatorOrder(),
                     ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
            bool seenValue = false;
            for (int row = 0; row < View()->RowCount(); ++row) {
                const bool blank = Cell(row, column) == QLatin1String(" ");
                // Pictures without the value come first ascending and last descending.
                if (ascending && blank) QVERIFY2(!seenValue, "blank after a value");
                if (!ascending && !blank) QVERIFY2(!seenValue, "value after a blank");
                seenValue = seenValue || (ascending ? !blank : blank);
                if (row == 0 || blank || Cell(row - 1, column) == QLatin1String(" ") || column == 2) continue;
                const QString a = Cell(row - 1, column), b = Cell(row, column);
                bool okA = false, okB = false;
                double na = a.section(' ', 0, 0).toDouble(&okA), nb = b.section(' ', 0, 0).toDouble(&okB);
                if (column == 3 || column == 4) {
                    na *= a.endsWith('S') || a.endsWith('W') ? -1 : 1;
                    nb *= b.endsWith('S') || b.endsWith('W') ? -1 : 1;
                }
                if (column == 5) {
                    na *= a.endsWith("Below Sea") ? -1 : 1;
                    nb *= b.endsWith("Below Sea") ? -1 : 1;
                }
                if (okA && okB && column != 9 && column != 10)
                    QVERIFY2(ascending ? na <= nb : na >= nb, qPrintable(a + " / " + b));
                else if (column == 1 || column >= 11 || column == 8)
                    QVERIFY2(ascending ? a <= b : a >= b, qPrintable(a + " / " + b));
            }
        }
        Table()->horizontalHeader()->sectionClicked(0);
        QVERIFY(!Table()->horizontalHeader()->isSortIndicatorShown());
    }

    void everyClickFlips()
    {
        const bool before = View()->SortAscending();
        Table()->horizontalHeader()->sectionClicked(3);
        Table()->horizontalHeader()->sectionClicked(12);
        QCOMPARE(View()->SortAscending(), before);
    }

    void csvExport_data()
    {
        QTest::addColumn<bool>("selectedOnly");
        QTest::newRow("all") << false;
        QTest::newRow("second and third") << true;
    }

    void csvExport()
    {
        QFETCH(bool, selectedOnly);
        Table()->horizontalHeader()->sectionClicked(1);  // a known order to export in
        View()->ClearSelection();
        std::vector<int> rows;
        if (selectedOnly) {
            rows = {1, 2};
            for (const int row : rows)
                Table()->selectionModel()->select(Table()->model()->index(row, 0),
                                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
        } else {
            rows = View()->AllRows();
        }
        QTemporaryDir out;
        View()->SetFileChooser([&] { return out.filePath(QStringLiteral("report.txt")); });
        Frame().Execute(selectedOnly ? CommandId::ExportSelected : CommandId::ExportAll);
        QFile file(out.filePath(QStringLiteral("report.CSV")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString separator = QString::fromStdWString(MetadataTable::LocaleListSeparator());
        const auto quoted = [&](QString cell) {
            if (!cell.contains(separator) && !cell.contains('"') && !cell.contains('\n') && !cell.contains('\r'))
                return cell;
            return '"' + cell.replace(QLatin1String("\""), QLatin1String("\"\"")) + '"';
        };
        QString expected = QChar(0xFEFF) + QStringLiteral("#");
        for (int column = 1; column < 15; ++column) expected += separator + Table()->model()->headerData(column, Qt::Horizontal).toString();
        expected += QStringLiteral("\r\n");
        for (size_t i = 0; i < rows.size(); ++i) {
            expected += QString::number(i);
            for (int column = 1; column < 15; ++column) expected += separator + quoted(Cell(rows[i], column));
            expected += QStringLiteral("\r\n");
        }
        QCOMPARE(file.readAll(), expected.toUtf8());
    }
};

QTEST_MAIN(MetadataViewTest)
#include "MetadataViewTest.moc"
