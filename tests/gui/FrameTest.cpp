// The main window: which commands are enabled and checked in which state,
// the context tab following the metadata view, the looks, the strip's
// texts and key tips, and the exit question.
#include <QAction>
#include <QFileSystemModel>
#include <QItemSelectionModel>
#include <QTest>
#include <QTreeView>

#include "CommandStrip.h"
#include "CommandTable.h"
#include "ExplorerBrowserView.h"
#include "GPSMetadataListView.h"
#include "GuiTestSupport.h"
#include "MainFrame.h"
#include "MetadataTableModel.h"
#include "MetadataTableView.h"

class FrameTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir config_;
    QTemporaryDir pictures_;
    std::unique_ptr<GuiTest::RunningProgram> program_;

    CMainFrame& Frame() { return program_->App->Frame(); }
    CCorvaneDoc& Doc() { return program_->App->Document(); }
    bool Enabled(int id) { return Frame().Action(id)->isEnabled(); }
    bool Checked(int id) { return Frame().Action(id)->isChecked(); }

    void SelectRows(std::initializer_list<int> rows)
    {
        CMetadataTableView* table = Frame().ListView()->Table();
        table->selectionModel()->clearSelection();
        for (const int row : rows)
            table->selectionModel()->select(table->model()->index(row, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    void EditLatitude(int row, double value)
    {
        std::vector<std::unique_ptr<UpdateEntry>> entries;
        entries.push_back(std::make_unique<UpdateEntry>());
        entries.back()->Field = LatitudeField;
        entries.back()->Number = value;
        Frame().ListView()->Model()->ApplyToRow(row, std::move(entries));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(GuiTest::HaveSamples(), "the test pictures are missing");
        GuiTest::UseSettingsIn(config_.path());
        QVERIFY(QDir(pictures_.path()).mkdir(QStringLiteral("a")));
        QVERIFY(GuiTest::CopySamples(QStringLiteral("gps"), pictures_.filePath(QStringLiteral("a")), 3) == 3);
        program_ = std::make_unique<GuiTest::RunningProgram>();
        QVERIFY(program_->Start(pictures_.filePath(QStringLiteral("a"))));
    }

    void startState_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("Back: only one folder in the history") << int(CommandId::Back) << false;
        QTest::newRow("Forward") << int(CommandId::Forward) << false;
        QTest::newRow("Up") << int(CommandId::Up) << true;
        QTest::newRow("Undo") << int(CommandId::Undo) << false;
        QTest::newRow("Redo") << int(CommandId::Redo) << false;
        QTest::newRow("Save") << int(CommandId::Save) << false;
        QTest::newRow("Save As") << int(CommandId::SaveAs) << false;
        QTest::newRow("Save All") << int(CommandId::SaveAll) << false;
        QTest::newRow("Filter") << int(CommandId::Filter) << true;
        QTest::newRow("Select All") << int(CommandId::SelectAll) << true;
        QTest::newRow("Options") << int(CommandId::Options) << true;
    }

    void startState()
    {
        QFETCH(int, id);
        QFETCH(bool, enabled);
        QCOMPARE(Enabled(id), enabled);
    }

    void filterEntriesFollowTheSetting()
    {
        QVERIFY(Checked(CommandId::ShowJpegAndTiff));  // the first run stores 3
        Frame().Execute(CommandId::ShowJpeg);
        QVERIFY(Checked(CommandId::ShowJpeg) && !Checked(CommandId::ShowJpegAndTiff) && !Checked(CommandId::ShowTiff) && !Checked(CommandId::ShowAll));
        QCOMPARE(Frame().Browser()->FilterMode(), 1);
        Frame().Execute(CommandId::ShowAll);
        QCOMPARE(Frame().Browser()->FilterMode(), 0);
        QVERIFY(Checked(CommandId::ShowAll));
        Frame().Execute(CommandId::ShowJpegAndTiff);
    }

    void contextTabFollowsTheView()
    {
        QVERIFY(!Frame().ContextTabShown());
        QVERIFY(Checked(CommandId::ExplorerView) && !Checked(CommandId::MetadataView));
        Frame().Browser()->SelectAll();
        Frame().Execute(CommandId::MetadataView);
        QVERIFY(Frame().ContextTabShown());
        QVERIFY(Checked(CommandId::MetadataView) && Checked(CommandId::StatusMetadataView) && !Checked(CommandId::ExplorerView));
        QCOMPARE(Frame().Browser()->Selection()->selectedIndexes().size(), 0);  // switching cleared it
        SelectRows({0});
        Frame().Execute(CommandId::StatusExplorerView);
        QVERIFY(!Frame().ContextTabShown());
        QVERIFY(Frame().ListView()->SelectedRows().empty());
        Frame().Execute(CommandId::MetadataView);
    }

    void metadataCommands()
    {
        SelectRows({});
        Frame().UpdateCommandUI();
        for (const int id : {CommandId::ClearSelectedRecords, CommandId::ClearField, CommandId::ClearDateTaken, CommandId::ClearCountry, CommandId::ExportSelected, CommandId::GeocodeSelected}) QVERIFY2(!Enabled(id), qPrintable(QString::number(id)));
        for (const int id : {CommandId::ClearAllRecords, CommandId::ExportAll, CommandId::GeocodeAll}) QVERIFY2(Enabled(id), qPrintable(QString::number(id)));
        SelectRows({0, 1});
        Frame().UpdateCommandUI();
        for (const int id : {CommandId::ClearSelectedRecords, CommandId::ClearField, CommandId::ClearDateTaken, CommandId::ClearCountry, CommandId::ExportSelected, CommandId::GeocodeSelected}) QVERIFY2(Enabled(id), qPrintable(QString::number(id)));
        Frame().Execute(CommandId::ClearAltitude);  // Clear Field > Altitude on both
        QCOMPARE(Doc().UndoList().size(), size_t{1});
        QCOMPARE(Doc().UndoList().back().Indices.size(), size_t{2});
        Frame().Execute(CommandId::Undo);
    }

    void fileSystemPane()
    {
        CGPSMetadataListView* view = Frame().ListView();
        Frame().show();
        QVERIFY(Checked(CommandId::FileSystemPane));
        QCOMPARE(view->Tree()->geometry().width(), CGPSMetadataListView::TreeWidth);
        QCOMPARE(view->Table()->geometry().left(), CGPSMetadataListView::TableLeft);
        Frame().Execute(CommandId::FileSystemPane);
        QVERIFY(!Checked(CommandId::FileSystemPane));
        QVERIFY(view->Tree()->isHidden());
        QCOMPARE(view->Table()->geometry(), view->rect());
        QSettings stored(QSettings::IniFormat, QSettings::UserScope, "Halvorn", "Corvane");
        QCOMPARE(stored.value("Settings/FSysGPSMLV").toInt(), 0);
        Frame().Execute(CommandId::FileSystemPane);
        QVERIFY(!view->Tree()->isHidden());
        Frame().hide();
    }

    void saveCommandsFollowTheSelection()
    {
        SelectRows({0});
        Frame().UpdateCommandUI();
        QVERIFY(!Enabled(CommandId::Save));
        EditLatitude(0, 1.5);
        Frame().UpdateCommandUI();
        QVERIFY(Enabled(CommandId::Save) && Enabled(CommandId::SaveAs) && Enabled(CommandId::SaveAll) && Enabled(CommandId::Undo) && !Enabled(CommandId::Redo));
        SelectRows({0, 1});
        Frame().UpdateCommandUI();
        QVERIFY(!Enabled(CommandId::Save) && !Enabled(CommandId::SaveAs) && Enabled(CommandId::SaveAll));
        Frame().Execute(CommandId::Undo);
        QVERIFY(Enabled(CommandId::Redo) && !Enabled(CommandId::Undo) && !Enabled(CommandId::SaveAll));
        Frame().Execute(CommandId::Redo);
        QVERIFY(Enabled(CommandId::Undo) && !Enabled(CommandId::Redo));
        Frame().Execute(CommandId::Undo);
    }

    void stampWithoutSelection()
    {
        SelectRows({});
        std::wstring caption, text;
        program_->App->UserInterface().SetMessageSink([&](const std::wstring& t, const std::wstring& c) {
            text = t;
            caption = c;
        });
        Frame().Execute(CommandId::StampGps);
        QCOMPARE(QString::fromStdWString(text), QStringLiteral("Please select some items and then try again."));
        QCOMPARE(QString::fromStdWString(caption), QStringLiteral("Operation Failed"));
        program_->App->UserInterface().SetMessageSink(nullptr);
    }

    void emptyTitleQueuesNothing()
    {
        SelectRows({0, 1});
        Frame().SetTitleChooser([](QString& title, bool&) { title.clear(); return true; });
        Frame().Execute(CommandId::StampTitle);
        QVERIFY(!Doc().CanUndo());
        Frame().SetTitleChooser([](QString& title, bool& rtl) { title = QStringLiteral("Trip"); rtl = true; return true; });
        Frame().Execute(CommandId::StampTitle);
        QCOMPARE(Doc().Item(Doc().RowOrder()[0]).PendingOperations.size(), size_t{1});
        QCOMPARE(*Doc().Item(Doc().RowOrder()[0]).PendingOperations.back().Text, std::wstring(L"Trip"));
        Frame().Execute(CommandId::Undo);
    }

    void navigationHistory()
    {
        QVERIFY(Frame().Browser()->NavigateTo(pictures_.path()));
        QSignalSpy loaded(&program_->App->UserInterface(), &CQtDocumentUserInterface::CommandHandled);
        QVERIFY(loaded.wait(5000));
        QVERIFY(Enabled(CommandId::Back) && !Enabled(CommandId::Forward));
        Frame().Execute(CommandId::Back);
        QCOMPARE(Frame().Browser()->CurrentFolder(), pictures_.filePath(QStringLiteral("a")));
        QVERIFY(loaded.wait(5000));
        QVERIFY(Enabled(CommandId::Forward));
        QCOMPARE(Doc().Count(), 3);
    }

    void archivesAndMissingFoldersAreNotEntered()
    {
        const QString before = Frame().Browser()->CurrentFolder();
        QFile zip(pictures_.filePath(QStringLiteral("holiday.zip")));
        QVERIFY(zip.open(QIODevice::WriteOnly));
        zip.write(QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0'));  // an empty archive
        zip.close();
        std::wstring caption;
        program_->App->UserInterface().SetMessageSink([&](const std::wstring&, const std::wstring& c) { caption = c; });
        QVERIFY(!Frame().Browser()->NavigateTo(zip.fileName()));
        QCOMPARE(QString::fromStdWString(caption), QStringLiteral("Navigation not Allowd"));
        QVERIFY(!Frame().Browser()->NavigateTo(pictures_.filePath(QStringLiteral("no such folder"))));
        QCOMPARE(Frame().Browser()->CurrentFolder(), before);
        QCOMPARE(QString::fromStdString(Doc().CurrentFolder()), before);
        QVERIFY(Doc().IsWatching());
        program_->App->UserInterface().SetMessageSink(nullptr);
    }

    void looks_data()
    {
        QTest::addColumn<int>("look");
        for (int look = CommandId::LookBlue; look <= CommandId::LookWindows7; ++look) QTest::newRow(qPrintable(QString::number(look))) << look;
    }

    void looks()
    {
        QFETCH(int, look);
        Frame().Execute(look);
        QCOMPARE(Frame().Look(), look);
        for (int other = CommandId::LookBlue; other <= CommandId::LookWindows7; ++other) QCOMPARE(Checked(other), other == look);
        QSettings stored(QSettings::IniFormat, QSettings::UserScope, "Halvorn", "Corvane");
        QCOMPARE(stored.value("ApplicationLook").toInt(), look);
    }

    void stripTextsAndKeyTips()
    {
        CCommandStrip* strip = Frame().Strip();
        QVERIFY(strip->TabIndexOf("HOME") >= 0 && strip->TabIndexOf("VIEW") >= 0);
        QVERIFY(strip->TabIndexOf("METADATA VIEW") >= 0);
        QCOMPARE(Frame().Action(CommandId::AllGeotagged)->statusTip(),
                 QStringLiteral("Selects all the pictures which have GPS coordinates (Latitude and Longitude)."));
        QCOMPARE(Frame().Action(CommandId::SelectAll)->shortcuts().value(0), QKeySequence(QStringLiteral("Alt+H, A")));
        QCOMPARE(Frame().Action(CommandId::FileSystemPane)->shortcuts().value(0), QKeySequence(QStringLiteral("Alt+W, P")));
        QCOMPARE(Frame().Action(CommandId::Undo)->shortcuts().value(1), QKeySequence(QKeySequence::Undo));
        // Every shortcut is unique, so none is ambiguous.
        QSet<QString> seen;
        std::size_t count = 0;
        const CommandInfo* table = CommandTable(count);
        for (std::size_t i = 0; i < count; ++i)
            for (const QKeySequence& keys : Frame().Action(table[i].Id)->shortcuts()) {
                QVERIFY2(!seen.contains(keys.toString()), qPrintable(keys.toString()));
                seen.insert(keys.toString());
            }
        Frame().Execute(CommandId::ShowTabsOnly);
        QVERIFY(Checked(CommandId::ShowTabsOnly) && !Checked(CommandId::ShowTabsAndCommands));
        Frame().Execute(CommandId::ShowTabsAndCommands);
        QVERIFY(Checked(CommandId::ShowTabsAndCommands));
    }

    void exitQuestion()
    {
        EditLatitude(0, 2.5);
        int asked = 0;
        program_->App->UserInterface().SetQuestionAnswerer([&](const std::wstring& text) {
            ++asked;
            return text == L"Some of the applied changes are not saved.\nExit application anyway?" ? kAnswerNo
                                                                                                : kAnswerYes;
        });
        Frame().show();
        QVERIFY(!Frame().close());
        QCOMPARE(asked, 1);
        QVERIFY(Frame().isVisible());
        QVERIFY(Doc().HasUnsavedChanges());
        Frame().Execute(CommandId::Undo);
        QVERIFY(Frame().close());
        QCOMPARE(asked, 1);  // nothing unsaved: no question
    }
};

QTEST_MAIN(FrameTest)
#include "FrameTest.moc"
