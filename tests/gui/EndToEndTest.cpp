// From the window to the file: open a folder, type a latitude into the
// table, stamp GPS, Save All, and read the saved picture back.
#include <QApplication>
#include <QTest>
#include <cmath>

#include "CommandTable.h"
#include "GPSMetadataListView.h"
#include "GeoTagFile.h"
#include "GuiTestSupport.h"
#include "MainFrame.h"
#include "MetadataTableView.h"
#include "NumericEdit.h"
#include "SettingsStore.h"

class EndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void editStampSaveAll()
    {
        QVERIFY2(GuiTest::HaveSamples(), "the test pictures are missing");
        QTemporaryDir config;
        QTemporaryDir pictures;
        GuiTest::UseSettingsIn(config.path());
        QCOMPARE(GuiTest::CopySamples(QStringLiteral("gps"), pictures.path(), 2), 2);
        GuiTest::RunningProgram program;
        QVERIFY(program.Start(pictures.path()));
        CMainFrame& frame = program.App->Frame();
        CCorvaneDoc& doc = program.App->Document();
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        frame.Execute(CommandId::MetadataView);

        CMetadataTableView* table = frame.ListView()->Table();
        const QModelIndex latitude = table->model()->index(0, 3);
        table->setCurrentIndex(latitude);
        table->edit(latitude);
        auto* editor = table->viewport()->findChild<CNumericEdit*>();
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("-41.2865"));
        QVERIFY(GuiTest::EndEdit(table, editor, Qt::Key_Return));
        QCOMPARE(table->model()->index(0, 3).data().toString(), QStringLiteral("41.2865 S"));

        table->selectRow(0);
        frame.Execute(CommandId::StampGps);
        const int item = doc.RowOrder()[0];
        QCOMPARE(doc.Item(item).PendingOperations.size(), size_t{2});
        const std::string source = doc.Item(item).Path;
        const std::string destination = doc.DestinationOf(item);
        QVERIFY(destination != source);  // the first run saves into the "Modified" sub-folder

        frame.Execute(CommandId::SaveAll);
        QVERIFY(!doc.HasUnsavedChanges());
        std::string error;
        const auto saved = ReadGeoTag(destination, nullptr, &error);
        QVERIFY2(saved && saved->Latitude, error.c_str());
        QVERIFY(std::fabs(CGPSMetadataInfo::CoordinateToDecimal(*saved->Latitude) + 41.2865) < 1e-6);
        const auto original = ReadGeoTag(source, nullptr, &error);
        QVERIFY(original && original->Latitude);
        QVERIFY(CGPSMetadataInfo::CoordinateToDecimal(*original->Latitude) > 0);  // the original is untouched
        QVERIFY(!frame.Action(CommandId::SaveAll)->isEnabled());
    }
};

QTEST_MAIN(EndToEndTest)
#include "EndToEndTest.moc"
