// The window as a photographer works in it: command state after every kind
// of change, only the current tab's page shown, selection commands on the
// visible view, a refused navigation leaving every view on one folder,
// columns that fit and keep their widths, dialogs opening in the folder
// shown, and pictures with unsaved changes marked.
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPainter>
#include <QLineEdit>
#include <QListView>
#include <QStatusBar>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "CommandStrip.h"
#include "CommandTable.h"
#include "ExplorerBrowserView.h"
#include "FolderFilterModel.h"
#include "GPSMetadataListView.h"
#include "GuiTestSupport.h"
#include "MainFrame.h"
#include "MetadataTable.h"
#include "MetadataTableModel.h"
#include "MetadataTableView.h"
#include "ThumbnailDelegate.h"

namespace C = CommandId;

namespace {

// The navigation tree of a view: the tree over a file-system model of folders.
QTreeView* FolderTree(QWidget* view)
{
    for (QTreeView* tree : view->findChildren<QTreeView*>())
        if (qobject_cast<QFileSystemModel*>(tree->model())) return tree;
    return nullptr;
}

// Runs `run`, which opens a modal file dialog; returns the folder it opened in and closes it.
QString FolderOfDialogOpenedBy(const std::function<void()>& run)
{
    QString folder;
    QTimer::singleShot(0, [&folder] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            folder = dialog->directory().absolutePath();
            dialog->reject();
        }
    });
    run();
    return folder;
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir config_;
    QTemporaryDir pictures_;
    std::unique_ptr<GuiTest::RunningProgram> program_;

    CMainFrame& Frame() { return program_->App->Frame(); }
    CCorvaneDoc& Doc() { return program_->App->Document(); }
    CGPSMetadataListView* List() { return Frame().ListView(); }
    bool Enabled(int id) { return Frame().Action(id)->isEnabled(); }
    QString Folder(const char* name) { return QFileInfo(pictures_.filePath(QLatin1String(name))).absoluteFilePath(); }

    void SelectRows(std::initializer_list<int> rows)
    {
        QItemSelectionModel* selection = List()->Table()->selectionModel();
        selection->clearSelection();
        for (const int row : rows)
            selection->select(List()->Model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    // A latitude typed into the table, as the cell editor hands it over.
    void EditLatitude(int row, double value)
    {
        std::vector<std::unique_ptr<UpdateEntry>> entries;
        entries.push_back(std::make_unique<UpdateEntry>());
        entries.back()->Field = LatitudeField;
        entries.back()->Number = value;
        List()->Model()->ApplyToRow(row, std::move(entries));
    }

    void UndoEverything()
    {
        while (Doc().CanUndo()) Doc().Undo();
        List()->RefreshAll();
        Frame().UpdateCommandUI();
    }

    std::vector<int> GeotaggedRows()
    {
        std::vector<int> rows;
        for (int row = 0; row < List()->RowCount(); ++row) {
            const CGPSMetadataInfo* record = Doc().Item(List()->Model()->ItemAt(row)).Current();
            if (record && record->Latitude && record->Longitude) rows.push_back(row);
        }
        return rows;
    }

    QString ChangedPicturesText() { return StatusLabel("changed") ? StatusLabel("changed")->text() : QString(); }

    QLabel* StatusLabel(const char* saying)
    {
        for (QLabel* label : Frame().statusBar()->findChildren<QLabel*>())
            if (label->text().contains(QLatin1String(saying)) && !label->isHidden()) return label;
        return nullptr;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(GuiTest::HaveSamples(), "the test pictures are missing");
        GuiTest::UseSettingsIn(config_.path());
        QVERIFY(QDir(pictures_.path()).mkdir(QStringLiteral("a")));
        QVERIFY(QDir(pictures_.path()).mkdir(QStringLiteral("b")));
        QCOMPARE(GuiTest::CopySamples(QStringLiteral("gps"), Folder("a"), 3), 3);
        QVERIFY(QFile::copy(GuiTest::Samples(QStringLiteral("cameras/Canon_40D.jpg")),
                            QDir(Folder("a")).filePath(QStringLiteral("Canon_40D.jpg"))));  // without a geotag
        QCOMPARE(GuiTest::CopySamples(QStringLiteral("gps"), Folder("b"), 1), 1);
        program_ = std::make_unique<GuiTest::RunningProgram>();
        QVERIFY(program_->Start(Folder("a")));
        Frame().show();
    }

    void init() { UndoEverything(); }

    void commandStateFollowsEditsInTheTable_data()
    {
        QTest::addColumn<int>("edit");
        QTest::newRow("latitude typed and Enter") << 0;
        QTest::newRow("Clear Record from the menu") << 1;
        QTest::newRow("Clear Field from the menu") << 2;
    }

    // The table hands its changes straight to the document; no command runs
    // that would refresh the state afterwards.
    void commandStateFollowsEditsInTheTable()
    {
        QFETCH(int, edit);
        Frame().Execute(C::MetadataView);
        SelectRows({0});
        QVERIFY(!Enabled(C::Undo) && !Enabled(C::Save) && !Enabled(C::SaveAll));
        if (edit == 0) EditLatitude(0, 12.5);
        if (edit == 1) List()->ClearRecords({0});
        if (edit == 2) List()->ClearField({0}, LatitudeField);
        QVERIFY(Doc().CanUndo());
        QVERIFY(Enabled(C::Undo));
        QVERIFY(Enabled(C::Save));
        QVERIFY(Enabled(C::SaveAs));
        QVERIFY(Enabled(C::SaveAll));
        QVERIFY(!Enabled(C::Redo));
    }

    void ctrlZUndoesAnEditAtOnce()
    {
        Frame().Execute(C::MetadataView);
        SelectRows({1});
        Frame().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&Frame()));
        EditLatitude(1, -33.25);
        QTest::keyClick(List()->Table(), Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(!Doc().CanUndo());
        QVERIFY(Enabled(C::Redo) && !Enabled(C::Undo) && !Enabled(C::SaveAll));
    }

    void onlyTheCurrentTabsPageIsShown_data()
    {
        QTest::addColumn<bool>("byTabClick");
        QTest::newRow("Show Tabs Only, then Show Tabs and Commands") << false;
        QTest::newRow("a tab clicked while collapsed") << true;
    }

    void onlyTheCurrentTabsPageIsShown()
    {
        QFETCH(bool, byTabClick);
        Frame().Execute(C::MetadataView);  // the context tab exists and holds a page
        CCommandStrip* strip = Frame().Strip();
        strip->setCurrentIndex(strip->TabIndexOf(QStringLiteral("HOME")));
        Frame().Execute(C::ShowTabsOnly);
        const int view = strip->TabIndexOf(QStringLiteral("VIEW"));
        if (byTabClick) {
            QTest::mouseClick(strip->tabBar(), Qt::LeftButton, {}, strip->tabBar()->tabRect(view).center());
            QCOMPARE(strip->currentIndex(), view);
        } else {
            Frame().Execute(C::ShowTabsAndCommands);
        }
        QVERIFY(!strip->Collapsed());
        for (int i = 0; i < strip->count(); ++i)
            QVERIFY2(strip->widget(i)->isVisible() == (i == strip->currentIndex()), qPrintable(strip->tabText(i)));
        Frame().Execute(C::ShowTabsAndCommands);
        Frame().Execute(C::ExplorerView);
    }

    void selectionCommandsActOnTheVisibleView_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QList<int>>("before");
        QTest::addColumn<QString>("expected");  // "all", "none", "geotagged", "others" or rows
        QTest::newRow("Select All") << int(C::SelectAll) << QList<int>{} << "all";
        QTest::newRow("De-Select All") << int(C::DeselectAll) << QList<int>{0, 2} << "none";
        QTest::newRow("Invert Selection") << int(C::InvertSelection) << QList<int>{0, 2} << "1,3";
        QTest::newRow("All Geotagged") << int(C::AllGeotagged) << QList<int>{} << "geotagged";
        QTest::newRow("All Non-Geotagged") << int(C::AllNonGeotagged) << QList<int>{0} << "others";
        QTest::newRow("All Pictures") << int(C::AllPictures) << QList<int>{} << "all";
    }

    void selectionCommandsActOnTheVisibleView()
    {
        QFETCH(int, command);
        QFETCH(QList<int>, before);
        QFETCH(QString, expected);
        Frame().Execute(C::MetadataView);
        QCOMPARE(List()->RowCount(), 4);
        SelectRows({});
        for (const int row : before)
            List()->Table()->selectionModel()->select(List()->Model()->index(row, 0),
                                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        Frame().Execute(command);
        std::vector<int> want;
        const std::vector<int> geotagged = GeotaggedRows();
        QCOMPARE(geotagged.size(), size_t{3});
        for (int row = 0; row < 4; ++row) {
            const bool tagged = std::find(geotagged.begin(), geotagged.end(), row) != geotagged.end();
            if (expected == "all" || (expected == "geotagged" && tagged) || (expected == "others" && !tagged) ||
                expected.split(',').contains(QString::number(row)))
                want.push_back(row);
        }
        QCOMPARE(List()->SelectedRows(), want);
        QVERIFY(Frame().Browser()->SelectedItems().empty());  // the hidden folder view is left alone
    }

    void allGeotaggedThenStampGpsQueuesTheStamps()
    {
        Frame().Execute(C::MetadataView);
        std::wstring message;
        program_->App->UserInterface().SetMessageSink([&](const std::wstring& text, const std::wstring&) { message = text; });
        Frame().Execute(C::AllGeotagged);
        Frame().Execute(C::StampGps);
        program_->App->UserInterface().SetMessageSink(nullptr);
        QCOMPARE(QString::fromStdWString(message), QString());
        for (const int row : GeotaggedRows())
            QCOMPARE(Doc().Item(List()->Model()->ItemAt(row)).PendingOperations.size(), size_t{1});
    }

    void aRefusedNavigationLeavesEveryViewOnOneFolder_data()
    {
        QTest::addColumn<int>("from");  // 0 the folder view's tree, 1 the metadata view's tree, 2 the address bar
        QTest::newRow("folder view's tree") << 0;
        QTest::newRow("metadata view's tree") << 1;
        QTest::newRow("address bar") << 2;
    }

    void aRefusedNavigationLeavesEveryViewOnOneFolder()
    {
        QFETCH(int, from);
        Frame().Execute(from == 1 ? C::MetadataView : C::ExplorerView);
        EditLatitude(0, 5);
        int asked = 0;
        program_->App->UserInterface().SetQuestionAnswerer([&](const std::wstring&) {
            ++asked;
            return kAnswerNo;
        });
        CExplorerBrowserView* browser = Frame().Browser();
        if (from == 2) {
            auto* address = browser->findChild<QLineEdit*>();
            address->setText(Folder("b"));
            QTest::keyClick(address, Qt::Key_Return);
        } else {
            QTreeView* tree = FolderTree(from == 0 ? static_cast<QWidget*>(browser) : List());
            const QModelIndex target = static_cast<QFileSystemModel*>(tree->model())->index(Folder("b"));
            QVERIFY(target.isValid());
            tree->setCurrentIndex(target);  // what a click does before it is reported
            emit tree->clicked(target);
        }
        program_->App->UserInterface().SetQuestionAnswerer(nullptr);
        QCOMPARE(asked, 1);
        QCOMPARE(browser->CurrentFolder(), Folder("a"));
        QCOMPARE(QString::fromStdString(Doc().CurrentFolder()), Folder("a"));
        for (QWidget* view : {static_cast<QWidget*>(browser), static_cast<QWidget*>(List())}) {
            QTreeView* tree = FolderTree(view);
            QCOMPARE(static_cast<QFileSystemModel*>(tree->model())->filePath(tree->currentIndex()), Folder("a"));
        }
        QCOMPARE(QDir::fromNativeSeparators(browser->findChild<QLineEdit*>()->text()), Folder("a"));
    }

    void columnsFitTheirTitleAndContents()
    {
        Frame().Execute(C::MetadataView);
        QHeaderView* header = List()->Table()->horizontalHeader();
        for (int column = 0; column < MetadataTable::ColumnCount; ++column) {
            const QString title = List()->Model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
            QVERIFY2(header->sectionSize(column) >= static_cast<QAbstractItemView*>(List()->Table())->sizeHintForColumn(column), qPrintable(title));
            QVERIFY2(header->sectionSize(column) >= header->sectionSizeHint(column), qPrintable(title));
            QCOMPARE(header->sectionResizeMode(column), QHeaderView::Interactive);
        }
    }

    void dialogsOpenInTheFolderShown()
    {
        Frame().Execute(C::MetadataView);
        List()->SetFileChooser(nullptr);
        QCOMPARE(FolderOfDialogOpenedBy([this] { List()->ExportToCsv(false); }), Folder("a"));
        Frame().SetSaveAsChooser(nullptr);
        QCOMPARE(FolderOfDialogOpenedBy([this] { Frame().SaveAs(List()->Model()->ItemAt(0), true); }), Folder("a"));
    }

    void picturesWithUnsavedChangesAreMarked()
    {
        Frame().Execute(C::MetadataView);
        CMetadataTableModel* model = List()->Model();
        const auto marked = [model](int row) {
            const QModelIndex name = model->index(row, PictureName);
            return name.data(Qt::FontRole).value<QFont>().bold() && !name.data(Qt::DecorationRole).isNull();
        };
        for (int row = 0; row < 4; ++row) QVERIFY(!marked(row));
        QCOMPARE(ChangedPicturesText(), QString());
        EditLatitude(0, 7.5);
        QVERIFY(marked(0) && !marked(1));
        QCOMPARE(ChangedPicturesText(), QStringLiteral("1 picture changed"));
        SelectRows({1, 2});
        Frame().Execute(C::StampGps);  // a queued stamp is an unsaved change too
        QVERIFY(marked(1) && marked(2) && !marked(3));
        QCOMPARE(ChangedPicturesText(), QStringLiteral("3 pictures changed"));
        QVERIFY(model->index(0, DateTakenField).data(Qt::FontRole).isNull());  // only the name is marked
        QCOMPARE(model->index(0, PictureName).data().toString(),
                 QString::fromStdWString(Doc().Item(model->ItemAt(0)).Name));  // copies and exports keep the name
        Frame().Execute(C::Undo);
        Frame().Execute(C::Undo);
        QVERIFY(!marked(0) && !marked(1));
        QCOMPARE(ChangedPicturesText(), QString());
    }

    void iconCellsHoldTheThumbnailAndTheName()
    {
        Frame().Execute(C::ExplorerView);
        auto* icons = Frame().Browser()->findChild<QListView*>();
        QVERIFY(icons && icons->viewMode() == QListView::IconMode);
        const QModelIndex root = icons->rootIndex();
        QCOMPARE(icons->model()->rowCount(root), 4);
        const int lines = 2 * icons->fontMetrics().lineSpacing();
        QRect first;
        for (int row = 0; row < 4; ++row) {
            const QRect cell = icons->visualRect(icons->model()->index(row, 0, root));
            QVERIFY2(cell.height() >= icons->iconSize().height() + lines, qPrintable(QString::number(cell.height())));
            QVERIFY(cell.width() >= icons->iconSize().width());
            if (row == 0) first = cell;
            QCOMPARE(cell.size(), first.size());  // a grid of equal cells, thumbnail or not
        }
    }

    void namesUnderIconsKeepTheirStartAndEnd_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("lines");
        QTest::newRow("a camera's name fits on one line") << "DSCN0010.jpg" << 1;
        QTest::newRow("a long name takes two") << "2019-07-14 Lake Constance panorama stitched final version.jpg" << 2;
        QTest::newRow("without spaces") << "IMG_20190714_183512_HDR_PANORAMA_STITCHED.jpeg" << 2;
    }

    void namesUnderIconsKeepTheirStartAndEnd()
    {
        QFETCH(QString, name);
        QFETCH(int, lines);
        const QFontMetrics font(QApplication::font());
        const int width = CThumbnailDelegate::CellSize(96, font).width() - 12;
        const QStringList shown = CThumbnailDelegate::NameLines(name, font, width);
        QCOMPARE(shown.size(), lines);
        QVERIFY(name.startsWith(shown.first()));
        QVERIFY2(shown.last().endsWith(name.right(4)), qPrintable(shown.last()));  // the extension stays
        for (const QString& line : shown) QVERIFY(font.horizontalAdvance(line) <= width);
        if (lines == 1) QCOMPARE(shown.first(), name);
    }

    void changedPicturesCarryABadgeOnTheirThumbnail()
    {
        Frame().Execute(C::ExplorerView);
        auto* icons = Frame().Browser()->findChild<QListView*>();
        const QModelIndex root = icons->rootIndex();
        // Wait until every thumbnail is made, so both drawings show the picture.
        for (int row = 0; row < 4; ++row)
            QTRY_VERIFY(icons->model()->index(row, 0, root).data(CFolderFilterModel::ThumbnailRole).isValid());
        const auto drawing = [icons, root](int row) {
            QStyleOptionViewItem option;
            option.initFrom(icons);
            option.rect = QRect(QPoint(0, 0), icons->gridSize());
            option.state &= ~QStyle::State_MouseOver;
            QImage image(option.rect.size(), QImage::Format_ARGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            icons->itemDelegate()->paint(&painter, option, icons->model()->index(row, 0, root));
            return image;
        };
        // The folder view's own order need not be the table's: find the picture by name.
        const QString name = QString::fromStdWString(Doc().Item(List()->Model()->ItemAt(1)).Name);
        int row = 0;
        while (icons->model()->index(row, 0, root).data().toString() != name) QVERIFY(++row < 4);
        const int other = (row + 1) % 4;
        const QImage before = drawing(row);
        const QImage otherBefore = drawing(other);
        EditLatitude(1, 3.25);
        QVERIFY(drawing(row) != before);
        QVERIFY(drawing(other) == otherBefore);
        Frame().Execute(C::Undo);
        QVERIFY(drawing(row) == before);
    }

    // Last: closes the window and starts the program again.
    void columnWidthsOutliveTheRun()
    {
        Frame().Execute(C::MetadataView);
        List()->Table()->horizontalHeader()->resizeSection(CityField, 311);
        QVERIFY(Frame().close());
        program_.reset();
        program_ = std::make_unique<GuiTest::RunningProgram>();
        QVERIFY(program_->Start(Folder("a")));
        QCOMPARE(List()->Table()->horizontalHeader()->sectionSize(CityField), 311);
    }

    // Runs last: it leaves the window on another folder.
    void unreadablePicturesSayWhy()
    {
        QVERIFY(QDir(pictures_.path()).mkdir(QStringLiteral("c")));
        QCOMPARE(GuiTest::CopySamples(QStringLiteral("gps"), Folder("c"), 1), 1);
        const QString broken = QDir(Folder("c")).filePath(QStringLiteral("broken.jpg"));
        {
            QFile file(broken);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("\xFF\xD8\xFF\xE1 no picture follows");
        }
        Frame().Execute(C::MetadataView);
        auto* address = Frame().Browser()->findChild<QLineEdit*>();
        address->setText(Folder("c"));
        QTest::keyClick(address, Qt::Key_Return);
        QTRY_COMPARE(List()->RowCount(), 2);
        CMetadataTableModel* model = List()->Model();
        // The row showing broken.jpg, or -1.
        const auto rowOf = [&]() {
            for (int r = 0; r < model->rowCount(); ++r) {
                const int item = model->ItemAt(r);
                if (item >= 0 && item < Doc().Count() && Doc().Item(item).Name == L"broken.jpg") return r;
            }
            return -1;
        };
        const int row = rowOf();
        QVERIFY(row >= 0);
        const QModelIndex name = model->index(row, PictureName);
        QVERIFY2(name.data(Qt::ToolTipRole).toString().startsWith(QLatin1String("broken.jpg: its metadata could not be read (unreadable")),
                 qPrintable(name.data(Qt::ToolTipRole).toString()));
        QVERIFY(!name.data(Qt::DecorationRole).isNull());
        QVERIFY(model->index(1 - row, PictureName).data(Qt::DecorationRole).isNull());
        QTRY_VERIFY(StatusLabel("could not be read"));
        QLabel* label = StatusLabel("could not be read");
        QCOMPARE(label->text(), QStringLiteral("1 picture could not be read"));
        QVERIFY2(label->toolTip().startsWith(QLatin1String("broken.jpg: unreadable")), qPrintable(label->toolTip()));

        // Made whole by another program, it is read again and the marks go.
        // Between the removal and the copy the watcher may drop the row and
        // add it again elsewhere: it is looked up afresh each time.
        QVERIFY(QFile::remove(broken));
        QVERIFY(QFile::copy(GuiTest::Samples(QStringLiteral("cameras/Canon_40D.jpg")), broken));
        QTRY_VERIFY(rowOf() >= 0 && Doc().Item(model->ItemAt(rowOf())).Current() != nullptr);
        QTRY_VERIFY(!StatusLabel("could not be read"));
        QVERIFY(model->index(rowOf(), PictureName).data(Qt::DecorationRole).isNull());
    }
};

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
