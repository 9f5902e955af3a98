// The folder browser: which items each filter mode shows, the Save As
// extension swap, and the selection commands on a real folder.
#include <QFileSystemModel>
#include <QItemSelectionModel>
#include <QTest>

#include "ExplorerBrowserView.h"
#include "FolderFilterModel.h"
#include "GuiTestSupport.h"
#include "MainFrame.h"
#include "SaveAsDialog.h"

class FolderBrowserTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir folder_;

    void Touch(const QString& name)
    {
        QFile file(folder_.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

private slots:
    void initTestCase()
    {
        Touch(QStringLiteral("upper.JPG"));
        Touch(QStringLiteral("scan.tif"));
        Touch(QStringLiteral("drawing.png"));
        Touch(QStringLiteral(".hidden.jpg"));
        Touch(QStringLiteral("archive.zip"));
        QVERIFY(QDir(folder_.path()).mkdir(QStringLiteral("sub")));
        QVERIFY(QDir(folder_.path()).mkdir(QStringLiteral("packed.zip")));
        QVERIFY(QFile::link(folder_.filePath(QStringLiteral("upper.JPG")), folder_.filePath(QStringLiteral("link.jpg"))));
    }

    void includeTest_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shownInModes");  // the modes 0 to 3 that show it
        QTest::newRow("upper-case .JPG") << "upper.JPG" << "013";
        QTest::newRow(".tif") << "scan.tif" << "023";
        QTest::newRow(".png") << "drawing.png" << "0";
        QTest::newRow("hidden picture") << ".hidden.jpg" << "0";
        QTest::newRow("symbolic link to a picture") << "link.jpg" << "0";
        QTest::newRow("zip file") << "archive.zip" << "0";
        QTest::newRow("sub-folder") << "sub" << "0123";
        QTest::newRow("folder named like an archive") << "packed.zip" << "0123";
    }

    void includeTest()
    {
        QFETCH(QString, name);
        QFETCH(QString, shownInModes);
        const QFileInfo item(folder_.filePath(name));
        QVERIFY(item.exists() || item.isSymLink());
        for (int mode = 0; mode <= 3; ++mode)
            QVERIFY2(CFolderFilterModel::IncludeObject(item, mode) == shownInModes.contains(QString::number(mode)),
                     qPrintable(QStringLiteral("%1 in mode %2").arg(name).arg(mode)));
    }

    void saveAsExtension_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("expected");
        QTest::newRow("JPEG to TIFF") << "/p/holiday.jpg" << 2 << "/p/holiday.TIF";
        QTest::newRow("TIFF to JPEG") << "scan.tiff" << 1 << "scan.JPG";
        QTest::newRow("no extension") << "picture" << 2 << "picture.TIF";
        QTest::newRow("dot in a folder only") << "/a.jpg/picture" << 1 << "/a.jpg/picture.JPG";
        QTest::newRow("unknown type leaves it") << "x.jpg" << 3 << "x.jpg";
    }

    void saveAsExtension()
    {
        QFETCH(QString, name);
        QFETCH(int, type);
        QFETCH(QString, expected);
        QCOMPARE(SaveAsDialog::SwapExtension(name, type), expected);
    }

    void selectionCommands()
    {
        QVERIFY2(GuiTest::HaveSamples(), "the test pictures are missing");
        QTemporaryDir config;
        GuiTest::UseSettingsIn(config.path());
        QTemporaryDir pictures;
        QVERIFY(GuiTest::CopySamples(QStringLiteral("gps"), pictures.path(), 2) == 2);
        QVERIFY(GuiTest::CopySamples(QStringLiteral("cameras"), pictures.path(), 1) == 1);  // carries no GPS
        QVERIFY(QDir(pictures.path()).mkdir(QStringLiteral("sub")));
        GuiTest::RunningProgram program;
        QVERIFY(program.Start(pictures.path()));
        CExplorerBrowserView* browser = program.App->Frame().Browser();
        const QModelIndex root = browser->Files()->index(pictures.path());
        if (browser->Files()->rowCount(root) < 4) {
            QSignalSpy loaded(browser->Files(), &QFileSystemModel::directoryLoaded);
            QVERIFY(loaded.wait(10000));
        }
        browser->SelectGeotagged(true);
        QCOMPARE(browser->SelectedPictureCount(), 2);
        browser->SelectGeotagged(false);
        QCOMPARE(browser->SelectedPictureCount(), 1);
        browser->DeselectAll();
        browser->InvertSelection();  // everything, the folder too
        QCOMPARE(browser->SelectedPictureCount(), 3);
        QCOMPARE(browser->Selection()->selectedRows().size(), 4);
        browser->SelectAllPictures();
        QCOMPARE(browser->Selection()->selectedRows().size(), 3);
        QCOMPARE(program.App->Frame().ActiveSelection().size(), size_t{3});
    }
};

QTEST_MAIN(FolderBrowserTest)
#include "FolderBrowserTest.moc"
