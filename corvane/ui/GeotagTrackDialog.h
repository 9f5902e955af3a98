// HOME > Geotag from Track...: the GPX files of a trip (several), the zone
// of the pictures' clock (every IANA zone, the system's first chosen; the
// offset a picture records wins where it has one), the camera clock's error
// (typed, or taken from the true time a selected picture shows), the gap and
// outside limits and whether to replace coordinates. A preview table is
// recomputed at every change; OK applies the placed pictures as one pending,
// undoable change of the document.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <vector>

#include "CaptureTime.h"
#include "TrackGeotagging.h"

class CCorvaneDoc;
class CGeotagPreviewModel;
class CTrackLog;
class CTrackMatcher;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableView;
class QThread;

class CGeotagTrackDialog : public QDialog {
    Q_OBJECT
public:
    // `items`: the document's pictures to place.
    CGeotagTrackDialog(CCorvaneDoc& doc, std::vector<int> items, QWidget* parent = nullptr);
    ~CGeotagTrackDialog() override;

    // Reads GPX files in the background; TracksChanged follows each one.
    void AddTrackFiles(const QStringList& paths);
    void RemoveTrack(int row);
    // Places every picture again with the settings shown.
    void Recompute();
    // The settings the widgets hold; false while the clock correction does
    // not parse.
    bool ReadSettings(GeotagSettings& settings) const;
    // Takes the camera clock's error from the true time the picture of
    // preview row `row` shows, asked from the user.
    void SynchroniseWith(int row);
    // Where the true time is asked; the tests answer without a dialog. An
    // empty answer cancels.
    void SetTimeAsker(std::function<QString(const QString& picture, const QString& cameraTime)> asker)
    {
        timeAsker_ = std::move(asker);
    }
    // Applies the placed pictures to the document as one change; how many.
    int Apply();

    QListWidget* TrackList() const { return trackList_; }
    QLabel* TrackStatus() const { return trackStatus_; }
    QComboBox* ZoneBox() const { return zone_; }
    QCheckBox* PictureOffsetBox() const { return pictureOffset_; }
    QLineEdit* CorrectionEdit() const { return correction_; }
    QDoubleSpinBox* MaxGapBox() const { return maxGap_; }
    QDoubleSpinBox* MaxOutsideBox() const { return maxOutside_; }
    QCheckBox* ReplaceBox() const { return replace_; }
    QTableView* Preview() const { return preview_; }
    CGeotagPreviewModel* Model() const { return model_; }
    QLabel* Summary() const { return summary_; }
    QPushButton* OkButton() const { return ok_; }

signals:
    // A track file was read (or refused) and the preview recomputed.
    void TracksChanged();

protected:
    void accept() override;

private:
    struct Picture {
        int Item;
        CaptureStamp FromFile;
    };
    struct Track {
        QString Path;
        std::shared_ptr<const CTrackLog> Log;
    };
    QWidget* BuildTrackGroup();
    QWidget* BuildClockGroup();
    QWidget* BuildLimitsGroup();
    void OnTrackRead(const QString& path, std::shared_ptr<const CTrackLog> log, const QString& error);
    void RebuildMatcher();
    void ShowTrackStatus();

    CCorvaneDoc& doc_;
    std::vector<Picture> pictures_;
    std::vector<Track> tracks_;
    std::unique_ptr<CTrackLog> combined_;
    std::unique_ptr<CTrackMatcher> matcher_;
    std::vector<QThread*> readers_;
    QString trackError_;
    std::function<QString(const QString&, const QString&)> timeAsker_;

    QListWidget* trackList_;
    QLabel* trackStatus_;
    QComboBox* zone_;
    QCheckBox* pictureOffset_;
    QLineEdit* correction_;
    QDoubleSpinBox* maxGap_;
    QDoubleSpinBox* maxOutside_;
    QCheckBox* replace_;
    QTableView* preview_;
    CGeotagPreviewModel* model_;
    QLabel* summary_;
    QPushButton* ok_;
};
