// What surrounds the views: the program's own command icons, legible in
// every look; the places above a folder tree that starts at the place of
// the current folder; key tips shown while Alt is held; and the About box.
#include <QAction>
#include <QApplication>
#include <QFileSystemModel>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QTabBar>
#include <QTest>
#include <QTreeView>

#include "AboutBox.h"
#include "ApplicationLook.h"
#include "CommandIcons.h"
#include "CommandStrip.h"
#include "CommandTable.h"
#include "ExplorerBrowserView.h"
#include "FolderPlaces.h"
#include "GuiTestSupport.h"
#include "MainFrame.h"
#include "SupportPage.h"

namespace C = CommandId;

namespace {

// The share of an icon's pixels that stand out from `background` (a luminance step of at least 80 of 255).
double LegibleShare(const QIcon& icon, const QColor& background)
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(background);
    QPainter painter(&image);
    icon.paint(&painter, image.rect());
    painter.end();
    int standing = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (std::abs(qGray(image.pixel(x, y)) - qGray(background.rgb())) >= 80) ++standing;
    return double(standing) / (image.width() * image.height());
}

QStringList ShownKeyTips(QWidget* strip)
{
    QStringList letters;
    for (QLabel* tip : strip->findChildren<QLabel*>(QStringLiteral("KeyTip")))
        if (tip->isVisible()) letters << tip->text();
    letters.sort();
    return letters;
}

}  // namespace

class WindowChromeTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir config_;
    QTemporaryDir pictures_;
    std::unique_ptr<GuiTest::RunningProgram> program_;

    CMainFrame& Frame() { return program_->App->Frame(); }

private slots:
    void initTestCase()
    {
        QVERIFY2(GuiTest::HaveSamples(), "the test pictures are missing");
        GuiTest::UseSettingsIn(config_.path());
        QCOMPARE(GuiTest::CopySamples(QStringLiteral("gps"), pictures_.path(), 2), 2);
        program_ = std::make_unique<GuiTest::RunningProgram>();
        QVERIFY(program_->Start(pictures_.path()));
        Frame().show();
        QVERIFY(QTest::qWaitForWindowExposed(&Frame()));
    }

    void commandsShowTheProgramsOwnIcons()
    {
        std::size_t count = 0;
        const CommandInfo* table = CommandTable(count);
        for (std::size_t i = 0; i < count; ++i) {
            const CommandInfo& c = table[i];
            // Every button of the strip: the commands of the three tabs.
            if (c.Place != CommandPlace::Home && c.Place != CommandPlace::View && c.Place != CommandPlace::MetadataView)
                continue;
            QVERIFY2(!CommandIcons::DrawingOf(c.Id).isEmpty(), c.Label);
            QVERIFY2(!Frame().Action(c.Id)->icon().isNull(), c.Label);
        }
        QVERIFY(!CommandIcons::Program().isNull());
        QVERIFY(!Frame().windowIcon().pixmap(64, 64).isNull());
        QVERIFY(!CommandIcons::Named(QStringLiteral("changed")).isNull());
    }

    void iconsAreLegibleInEveryLook_data()
    {
        QTest::addColumn<int>("look");
        for (int look = C::LookBlue; look <= C::LookWindows7; ++look)
            QTest::newRow(qPrintable(QString::number(look))) << look;
    }

    // A faint outline that looks disabled would leave too few pixels standing out.
    void iconsAreLegibleInEveryLook()
    {
        QFETCH(int, look);
        const QPalette palette = ApplicationLook::PaletteOf(look);
        std::size_t count = 0;
        const CommandInfo* table = CommandTable(count);
        QStringList faint;
        for (std::size_t i = 0; i < count; ++i) {
            const QIcon icon = CommandIcons::ForCommand(table[i].Id);
            if (icon.isNull()) continue;
            for (const QColor& background : {palette.color(QPalette::Button), palette.color(QPalette::Window)}) {
                const double share = LegibleShare(icon, background);
                if (share < 0.15) faint << QStringLiteral("%1 (%2)").arg(QLatin1String(table[i].Label)).arg(share, 0, 'f', 2);
            }
        }
        QVERIFY2(faint.isEmpty(), qPrintable(faint.join(QStringLiteral(", "))));
    }

    void theFolderOfAPictureBelongsToItsClosestPlace_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("place");
        QTest::newRow("under Pictures") << "/home/ana/Pictures/2019/Lake" << "/home/ana/Pictures";
        QTest::newRow("the place itself") << "/home/ana/Pictures" << "/home/ana/Pictures";
        QTest::newRow("elsewhere at home") << "/home/ana/Work" << "/home/ana";
        QTest::newRow("a look-alike name is not inside") << "/home/ana/Pictures2" << "/home/ana";
        QTest::newRow("a drive") << "/media/ana/CARD/DCIM/100NIKON" << "/media/ana/CARD";
        QTest::newRow("outside every place") << "/srv/photos" << "/";
        QTest::newRow("a trailing slash") << "/home/ana/Pictures/" << "/home/ana/Pictures";
    }

    void theFolderOfAPictureBelongsToItsClosestPlace()
    {
        QFETCH(QString, folder);
        QFETCH(QString, place);
        const std::vector<FolderPlace> places = {{"Home", "/home/ana"},
                                                 {"Pictures", "/home/ana/Pictures"},
                                                 {"CARD", "/media/ana/CARD"},
                                                 {"Computer", "/"}};
        QCOMPARE(CFolderPlaces::PlaceOf(folder, places), place);
    }

    void onlyVolumesOfTheUserArePlaces_data()
    {
        QTest::addColumn<QString>("mountPoint");
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<bool>("shown");
        QTest::newRow("a memory card") << "/media/ana/CARD" << QByteArray("vfat") << true;
        QTest::newRow("a drive under /run/media") << "/run/media/ana/Backup" << QByteArray("ext4") << true;
        QTest::newRow("mounted by hand") << "/mnt/nas" << QByteArray("nfs4") << true;
        QTest::newRow("the system's root") << "/" << QByteArray("ext4") << false;
        QTest::newRow("proc") << "/proc" << QByteArray("proc") << false;
        QTest::newRow("a tmpfs under /mnt") << "/mnt/ram" << QByteArray("tmpfs") << false;
        QTest::newRow("boot") << "/boot" << QByteArray("ext4") << false;
    }

    void onlyVolumesOfTheUserArePlaces()
    {
        QFETCH(QString, mountPoint);
        QFETCH(QByteArray, type);
        QFETCH(bool, shown);
        QCOMPARE(CFolderPlaces::IsUserVolume(mountPoint, type), shown);
    }

    void theTreeStartsAtThePlaceOfTheFolder()
    {
        auto* places = Frame().Browser()->findChild<CFolderPlaces*>();
        QVERIFY(places);
        QVERIFY(places->count() >= 2);
        QCOMPARE(places->item(0)->data(Qt::UserRole).toString(), QDir::homePath());
        for (int row = 0; row < places->count(); ++row) {
            const QString path = places->item(row)->data(Qt::UserRole).toString();
            QVERIFY2(!path.startsWith(QLatin1String("/proc")) && !path.startsWith(QLatin1String("/sys")), qPrintable(path));
        }
        QTemporaryDir atHome(QDir::homePath() + QStringLiteral("/corvane-places-XXXXXX"));
        QVERIFY(atHome.isValid());
        QVERIFY(QDir(atHome.path()).mkpath(QStringLiteral("Trip/Day 1")));
        const QString folder = QDir(atHome.path()).filePath(QStringLiteral("Trip/Day 1"));
        QVERIFY(Frame().Browser()->NavigateTo(folder));
        QTreeView* tree = nullptr;
        for (QTreeView* candidate : Frame().Browser()->findChildren<QTreeView*>())
            if (qobject_cast<QFileSystemModel*>(candidate->model())) tree = candidate;
        QVERIFY(tree);
        auto* model = static_cast<QFileSystemModel*>(tree->model());
        QCOMPARE(model->filePath(tree->rootIndex()), CFolderPlaces::PlaceOf(folder, places->Places()));
        QVERIFY(model->filePath(tree->rootIndex()) != QLatin1String("/"));
        QCOMPARE(model->filePath(tree->currentIndex()), folder);
        QVERIFY(tree->isExpanded(model->index(QDir(atHome.path()).filePath(QStringLiteral("Trip")))));
        QVERIFY(Frame().Browser()->NavigateTo(pictures_.path()));
    }

    void holdingAltShowsTheKeyTips()
    {
        CCommandStrip* strip = Frame().Strip();
        strip->setCurrentIndex(strip->TabIndexOf(QStringLiteral("HOME")));
        Frame().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&Frame()));
        QVERIFY(ShownKeyTips(strip).isEmpty());
        QTest::keyPress(&Frame(), Qt::Key_Alt, Qt::AltModifier);
        const QStringList shown = ShownKeyTips(strip);
        for (const char* letter : {"H", "W", "F", "R", "U", "B", "Z", "S", "A", "1", "2", "3"})
            QVERIFY2(shown.contains(QLatin1String(letter)), letter);
        QVERIFY2(!shown.contains(QLatin1String("M")), "the metadata tab is not shown");
        QTest::keyRelease(&Frame(), Qt::Key_Alt, Qt::NoModifier);
        QVERIFY(ShownKeyTips(strip).isEmpty());
    }

    void aboutBoxShowsIconVersionAndLicences()
    {
        std::unique_ptr<QMessageBox> box(AboutBox::Create(&Frame()));
        QCOMPARE(box->windowTitle(), QStringLiteral("About Corvane"));
        QVERIFY(!box->iconPixmap().isNull());
        QVERIFY(box->text().contains(QStringLiteral("Version " CORVANE_VERSION)));
        const QString details = box->informativeText();
        for (const char* credit : {"GeoNames", "CC BY 4.0", "Natural Earth", "OpenStreetMap", "ODbL", "Qt 6", "Exiv2",
                                   "libjpeg-turbo", "LibTIFF", "libxml2"})
            QVERIFY2(details.contains(QLatin1String(credit)), credit);
        QVERIFY(details.contains(CSupportPage::IssuesUrl()));
    }
};

QTEST_MAIN(WindowChromeTest)
#include "WindowChromeTest.moc"
