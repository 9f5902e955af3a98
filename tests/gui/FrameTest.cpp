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
        QTest::newRow("Back: only one folder in the history") << 1054 << false;
        QTest::newRow("Forward") << 1055 << false;
        QTest::newRow("Up") << 1053 << true;
        QTest::newRow("Undo") << 1056 << false;
        QTest::newRow("Redo") << 1057 << false;
        QTest::newRow("Save") << 1060 << false;
        QTest::newRow("Save As") << 1058 << false;
        QTest::newRow("Save All") << 1059 << false;
        QTest::newRow("Filter") << 1068 << true;
        QTest::newRow("Select All") << 1061 << true;
        QTest::newRow("Options") << 220 << true;
    }

    void startState()
    {
        QFETCH(int, id);
        QFETCH(bool, enabled);
        QCOMPARE(Enabled(id), enabled);
    }

    void filterEntriesFollowTheSetting()
    {
        QVERIFY(Checked(1071));  // the first run stores 3
        Frame().Execute(1069);
        QVERIFY(Checked(1069) && !Checked(1071) && !Checked(1070) && !Checked(1072));
        QCOMPARE(Frame().Browser()->FilterMode(), 1);
        Frame().Execute(1072);
        QCOMPARE(Frame().Browser()->FilterMode(), 0);
        QVERIFY(Checked(1072));
        Frame().Execute(1071);
    }

    void contextTabFollowsTheView()
    {
        QVERIFY(!Frame().ContextTabShown());
        QVERIFY(Checked(1076) && !Checked(1109));
        Frame().Browser()->SelectAll();
        Frame().Execute(1109);
        QVERIFY(Frame().ContextTabShown());
        QVERIFY(Checked(1109) && Checked(1115) && !Checked(1076));
        QCOMPARE(Frame().Browser()->Selection()->selectedIndexes().size(), 0);  // switching cleared it
        SelectRows({0});
        Frame().Execute(1113);
        QVERIFY(!Frame().ContextTabShown());
        QVERIFY(Frame().ListView()->SelectedRows().empty());
        Frame().Execute(1109);
    }

    void metadataCommands()
    {
        SelectRows({});
        Frame().UpdateCommandUI();
        for (const int id : {1120, 1106, 1122, 1134, 1108, 1110}) QVERIFY2(!Enabled(id), qPrintable(QString::number(id)));
        for (const int id : {1121, 1107, 1111}) QVERIFY2(Enabled(id), qPrintable(QString::number(id)));
        SelectRows({0, 1});
        Frame().UpdateCommandUI();
        for (const int id : {1120, 1106, 1122, 1134, 1108, 1110}) QVERIFY2(Enabled(id), qPrintable(QString::number(id)));
        Frame().Execute(1125);  // Clear Field > Altitude on both
        QCOMPARE(Doc().UndoList().size(), size_t{1});
        QCOMPARE(Doc().UndoList().back().Indices.size(), size_t{2});
        Frame().Execute(1056);
    }

    void fileSystemPane()
    {
        CGPSMetadataListView* view = Frame().ListView();
        Frame().show();
        QVERIFY(Checked(1082));
        QCOMPARE(view->Tree()->geometry().width(), CGPSMetadataListView::TreeWidth);
        QCOMPARE(view->Table()->geometry().left(), CGPSMetadataListView::TableLeft);
        Frame().Execute(1082);
        QVERIFY(!Checked(1082));
        QVERIFY(view->Tree()->isHidden());
        QCOMPARE(view->Table()->geometry(), view->rect());
        QSettings stored(QSettings::IniFormat, QSettings::UserScope, "Halvorn", "Corvane");
        QCOMPARE(stored.value("Settings/FSysGPSMLV").toInt(), 0);
        Frame().Execute(1082);
        QVERIFY(!view->Tree()->isHidden());
        Frame().hide();
    }

    void saveCommandsFollowTheSelection()
    {
        SelectRows({0});
        Frame().UpdateCommandUI();
        QVERIFY(!Enabled(1060));
        EditLatitude(0, 1.5);
        Frame().UpdateCommandUI();
        QVERIFY(Enabled(1060) && Enabled(1058) && Enabled(1059) && Enabled(1056) && !Enabled(1057));
        SelectRows({0, 1});
        Frame().UpdateCommandUI();
        QVERIFY(!Enabled(1060) && !Enabled(1058) && Enabled(1059));
        Frame().Execute(1056);
        QVERIFY(Enabled(1057) && !Enabled(1056) && !Enabled(1059));
        Frame().Execute(1057);
        QVERIFY(Enabled(1056) && !Enabled(1057));
        Frame().Execute(1056);
    }

    void stampWithoutSelection()
    {
        SelectRows({});
        std::wstring caption, text;
        program_->App->UserInterface().SetMessageSink([&](const std::wstring& t, const std::wstring& c) {
            text = t;
            caption = c;
        });
        Frame().Execute(1137);
        QCOMPARE(QString::fromStdWString(text), QStringLiteral("Please select some items and then try again."));
        QCOMPARE(QString::fromStdWString(caption), QStringLiteral("Operation Failed"));
        program_->App->UserInterface().SetMessageSink(nullptr);
    }

    void emptyTitleQueuesNothing()
    {
        SelectRows({0, 1});
        Frame().SetTitleChooser([](QString& title, bool&) { title.clear(); return true; });
        Frame().Execute(1138);
        QVERIFY(!Doc().CanUndo());
        Frame().SetTitleChooser([](QString& title, bool& rtl) { title = QStringLiteral("Trip"); rtl = true; return true; });
        Frame().Execute(1138);
        QCOMPARE(Doc().Item(Doc().RowOrder()[0]).PendingOperations.size(), size_t{1});
        QCOMPARE(*Doc().Item(Doc().RowOrder()[0]).PendingOperations.back().Text, std::wstring(L"Trip"));
        Frame().Execute(1056);
    }

    void navigationHistory()
    {
        QVERIFY(Frame().Browser()->NavigateTo(pictures_.path()));
        QSignalSpy loaded(&program_->App->UserInterface(), &CQtDocumentUserInterface::CommandHandled);
        QVERIFY(loaded.wait(5000));
        QVERIFY(Enabled(1054) && !Enabled(1055));
        Frame().Execute(1054);
        QCOMPARE(Frame().Browser()->CurrentFolder(), pictures_.filePath(QStringLiteral("a")));
        QVERIFY(loaded.wait(5000));
        QVERIFY(Enabled(1055));
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
        for (int look = 211; look <= 215; ++look) QTest::newRow(qPrintable(QString::number(look))) << look;
    }

    void looks()
    {
        QFETCH(int, look);
        Frame().Execute(look);
        QCOMPARE(Frame().Look(), look);
        for (int other = 211; other <= 215; ++other) QCOMPARE(Checked(other), other == look);
        QSettings stored(QSettings::IniFormat, QSettings::UserScope, "Halvorn", "Corvane");
        QCOMPARE(stored.value("ApplicationLook").toInt(), look);
    }

    void stripTextsAndKeyTips()
    {
        CCommandStrip* strip = Frame().Strip();
        QVERIFY(strip->TabIndexOf("HOME") >= 0 && strip->TabIndexOf("VIEW") >= 0);
        QVERIFY(strip->TabIndexOf("METADATA VIEW") >= 0);
        QCOMPARE(Frame().Action(1064)->statusTip(),
                 QStringLiteral("Selects all the pictures which have GPS coordinates (Latitude and Longitude)."));
        QCOMPARE(Frame().Action(1061)->shortcuts().value(0), QKeySequence(QStringLiteral("Alt+H, A")));
        QCOMPARE(Frame().Action(1082)->shortcuts().value(0), QKeySequence(QStringLiteral("Alt+W, P")));
        QCOMPARE(Frame().Action(1056)->shortcuts().value(1), QKeySequence(QKeySequence::Undo));
        // Every shortcut is unique, so none is ambiguous.
        QSet<QString> seen;
        std::size_t count = 0;
        const CommandInfo* table = CommandTable(count);
        for (std::size_t i = 0; i < count; ++i)
            for (const QKeySequence& keys : Frame().Action(table[i].Id)->shortcuts()) {
                QVERIFY2(!seen.contains(keys.toString()), qPrintable(keys.toString()));
                seen.insert(keys.toString());
            }
        Frame().Execute(1074);
        QVERIFY(Checked(1074) && !Checked(1075));
        Frame().Execute(1075);
        QVERIFY(Checked(1075));
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
        Frame().Execute(1056);
        QVERIFY(Frame().close());
        QCOMPARE(asked, 1);  // nothing unsaved: no question
    }
};

QTEST_MAIN(FrameTest)
#include "FrameTest.moc"
