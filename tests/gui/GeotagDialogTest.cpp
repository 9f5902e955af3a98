// The Geotag from Track dialog on a folder of pictures taken on a night
// walk: the preview follows every setting, a file that is no track is
// refused with its name, the clock is synchronised from a picture, and OK
// applies one pending change that Undo takes back. Export GPX writes the
// geotagged pictures.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "CommandTable.h"
#include "GPSMetadataListView.h"
#include "GeoTagFile.h"
#include "GeotagPreviewModel.h"
#include "GeotagTrackDialog.h"
#include "GuiTestSupport.h"
#include "MainFrame.h"

namespace {

const QString kTrack = QStringLiteral(CORVANE_SAMPLES "/gpx/made/oracle-track.gpx");

// Copies a sample and sets its date taken (camera time) through our writer.
bool Prepare(const QString& sample, const QString& target, int hour, int minute, int second)
{
    if (!QFile::copy(GuiTest::Samples(sample), target)) return false;
    if (hour < 0) return true;
    auto record = ReadGeoTag(target.toStdString(), nullptr, nullptr);
    if (!record) return false;
    SetField(record->DateTaken, AutomationDate::FromParts(2013, 3, 31, hour, minute, second));
    return SUCCEEDED(SaveGeoTag(target.toStdString(), target.toStdString(), *record, nullptr));
}

}  // namespace

class GeotagDialogTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir config_;
    QTemporaryDir pictures_;
    std::unique_ptr<GuiTest::RunningProgram> program_;

    CMainFrame& Frame() { return program_->App->Frame(); }
    CCorvaneDoc& Doc() { return program_->App->Document(); }

    std::vector<int> AllItems()
    {
        std::vector<int> items;
        for (int i = 0; i < Doc().Count(); ++i) items.push_back(i);
        return items;
    }

    // The preview row of a picture.
    static int RowOf(const CGeotagTrackDialog& dialog, const QString& name)
    {
        const auto& rows = dialog.Model()->Rows();
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i].Picture == name) return static_cast<int>(i);
        return -1;
    }
    static QString Cell(const CGeotagTrackDialog& dialog, const QString& name, int column)
    {
        return dialog.Model()->index(RowOf(dialog, name), column).data().toString();
    }

    // A dialog on every picture, in Paris, with the walk's track read.
    static bool LoadTrack(CGeotagTrackDialog& dialog)
    {
        dialog.ZoneBox()->setCurrentText(QStringLiteral("Europe/Paris"));
        QSignalSpy read(&dialog, &CGeotagTrackDialog::TracksChanged);
        dialog.AddTrackFiles({kTrack});
        return read.wait(10000) && dialog.TrackList()->count() == 1;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(GuiTest::HaveSamples(), "the test pictures are missing");
        GuiTest::UseSettingsIn(config_.path());
        const QString cam = QStringLiteral("cameras/Nikon_D70.jpg");
        QVERIFY(Prepare(cam, pictures_.filePath(QStringLiteral("walk.jpg")), 1, 7, 30));
        QVERIFY(Prepare(cam, pictures_.filePath(QStringLiteral("later.jpg")), 3, 3, 0));
        QVERIFY(Prepare(cam, pictures_.filePath(QStringLiteral("night.jpg")), 5, 0, 0));
        QVERIFY(Prepare(QStringLiteral("cameras/no_exif.jpg"), pictures_.filePath(QStringLiteral("dateless.jpg")), -1,
                        0, 0));
        QVERIFY(Prepare(QStringLiteral("gps/DSCN0010.jpg"), pictures_.filePath(QStringLiteral("tagged.jpg")), 1, 7, 30));
        program_ = std::make_unique<GuiTest::RunningProgram>();
        QVERIFY(program_->Start(pictures_.path()));
        QCOMPARE(Doc().Count(), 5);
    }

    void theCommandIsOnTheHomeTab()
    {
        const CommandInfo* info = FindCommand(CommandId::GeotagFromTrack);
        QVERIFY(info);
        QCOMPARE(info->Place, CommandPlace::Home);
        QCOMPARE(Frame().Action(CommandId::GeotagFromTrack)->text(), QStringLiteral("Geotag from Track..."));
        Frame().UpdateCommandUI();
        QVERIFY(Frame().Action(CommandId::GeotagFromTrack)->isEnabled());
    }

    void previewFollowsTheSettings()
    {
        CGeotagTrackDialog dialog(Doc(), AllItems(), &Frame());
        QVERIFY2(!dialog.OkButton()->isEnabled(), "nothing to apply without a track");
        QVERIFY(LoadTrack(dialog));
        QCOMPARE(dialog.Summary()->text(),
                 QStringLiteral("2 placed, 3 not placed (1 no date taken, 1 outside the track, 1 already geotagged)"));
        QCOMPARE(Cell(dialog, QStringLiteral("walk.jpg"), CGeotagPreviewModel::PositionColumn),
                 QStringLiteral("48.82, 2.295, 39 m"));
        QCOMPARE(Cell(dialog, QStringLiteral("walk.jpg"), CGeotagPreviewModel::UtcColumn),
                 QStringLiteral("2013-03-31T00:07:30Z"));
        QCOMPARE(Cell(dialog, QStringLiteral("dateless.jpg"), CGeotagPreviewModel::ResultColumn),
                 QStringLiteral("not placed: no date taken"));
        // After the change to summer time: +02:00, and placed on the second part of the walk.
        QCOMPARE(Cell(dialog, QStringLiteral("later.jpg"), CGeotagPreviewModel::UtcColumn),
                 QStringLiteral("2013-03-31T01:03:00Z"));

        dialog.MaxOutsideBox()->setValue(5400);
        QCOMPARE(Cell(dialog, QStringLiteral("night.jpg"), CGeotagPreviewModel::ResultColumn),
                 QStringLiteral("placed, on the nearest fix"));
        dialog.ReplaceBox()->setChecked(true);
        QCOMPARE(dialog.Summary()->text(), QStringLiteral("4 placed, 1 not placed (1 no date taken)"));

        dialog.CorrectionEdit()->setText(QStringLiteral("+00:02:30"));
        QCOMPARE(Cell(dialog, QStringLiteral("walk.jpg"), CGeotagPreviewModel::ResultColumn),
                 QStringLiteral("placed, on a fix"));
        dialog.CorrectionEdit()->setText(QStringLiteral("two minutes"));
        QVERIFY(!dialog.OkButton()->isEnabled());
        QVERIFY(dialog.Summary()->text().contains(QStringLiteral("not a time")));

        dialog.ZoneBox()->setCurrentText(QStringLiteral("UTC"));
        dialog.CorrectionEdit()->setText(QStringLiteral("+00:00:00"));
        QCOMPARE(Cell(dialog, QStringLiteral("walk.jpg"), CGeotagPreviewModel::UtcColumn),
                 QStringLiteral("2013-03-31T01:07:30Z"));
    }

    void aFileThatIsNoTrackIsNamed()
    {
        CGeotagTrackDialog dialog(Doc(), AllItems(), &Frame());
        const QString bad = pictures_.filePath(QStringLiteral("notes.gpx"));
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<kml/>");
        file.close();
        QSignalSpy read(&dialog, &CGeotagTrackDialog::TracksChanged);
        dialog.AddTrackFiles({bad});
        QVERIFY(read.wait(10000));
        QCOMPARE(dialog.TrackList()->count(), 0);
        QVERIFY2(dialog.TrackStatus()->text().contains(QStringLiteral("notes.gpx cannot be used as a track: not a GPX file")),
                 qPrintable(dialog.TrackStatus()->text()));
        QFile::remove(bad);
    }

    void theClockIsSynchronisedWithAPicture()
    {
        CGeotagTrackDialog dialog(Doc(), AllItems(), &Frame());
        QVERIFY(LoadTrack(dialog));
        QString asked;
        dialog.SetTimeAsker([&](const QString& picture, const QString& cameraTime) {
            asked = picture + QStringLiteral(" ") + cameraTime;
            return QStringLiteral("2013-03-31 01:10:00");  // the clock in the picture
        });
        dialog.SynchroniseWith(RowOf(dialog, QStringLiteral("walk.jpg")));
        QCOMPARE(asked, QStringLiteral("walk.jpg 2013-03-31 01:07:30"));
        QCOMPARE(dialog.CorrectionEdit()->text(), QStringLiteral("+00:02:30"));
    }

    void okAppliesOneChangeThatUndoTakesBack()
    {
        const int walk = Doc().FindItemByName(L"walk.jpg");
        const int tagged = Doc().FindItemByName(L"tagged.jpg");
        const double taggedLatitude = CGPSMetadataInfo::CoordinateToDecimal(*Doc().Item(tagged).Current()->Latitude);
        const size_t undoBefore = Doc().UndoList().size();
        {
            CGeotagTrackDialog dialog(Doc(), AllItems(), &Frame());
            QVERIFY(LoadTrack(dialog));
            QVERIFY(dialog.OkButton()->isEnabled());
            dialog.OkButton()->click();
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        }
        QCOMPARE(Doc().UndoList().size(), undoBefore + 1);
        const CGPSMetadataInfo* placed = Doc().Item(walk).Current();
        QVERIFY(placed->Latitude && placed->Longitude && placed->Altitude && placed->MapDatum);
        QVERIFY(std::fabs(CGPSMetadataInfo::CoordinateToDecimal(*placed->Latitude) - 48.82) < 1e-9);
        QCOMPARE(*placed->MapDatum, std::wstring(L"WGS-84"));
        QCOMPARE(CGPSMetadataInfo::CoordinateToDecimal(*Doc().Item(tagged).Current()->Latitude), taggedLatitude);
        QVERIFY(Doc().HasUnsavedChangesAt(walk));
        Doc().Undo();
        QVERIFY(!Doc().Item(walk).Current()->Latitude);
        QCOMPARE(Doc().UndoList().size(), undoBefore);
    }

    void exportGpxWritesTheGeotaggedPictures()
    {
        const QString out = pictures_.filePath(QStringLiteral("export/walk.gpx"));
        QVERIFY(QDir(pictures_.path()).mkdir(QStringLiteral("export")));
        Frame().ShowMetadataView();
        Frame().SetGpxFileChooser([&] { return out; });
        Frame().UpdateCommandUI();
        QVERIFY(Frame().Action(CommandId::ExportGpx)->isEnabled());
        Frame().Execute(CommandId::ExportGpx);
        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray gpx = file.readAll();
        QCOMPARE(gpx.count("<wpt "), 1);  // tagged.jpg: the only picture with coordinates
        QVERIFY(gpx.contains("<name>tagged.jpg</name>"));
        // The window reads camera times in the system's zone.
        const QDateTime utc = QDateTime(QDate(2013, 3, 31), QTime(1, 7, 30), Qt::LocalTime).toUTC();
        QVERIFY(gpx.contains("<time>" + utc.toString(Qt::ISODate).toLatin1() + "</time>"));
    }
};

QTEST_MAIN(GeotagDialogTest)
#include "GeotagDialogTest.moc"
