#include "GeotagTrackDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>

#include "CorvaneDoc.h"
#include "GeotagPreviewModel.h"
#include "ImageMetadataManipulationOperation.h"
#include "TrackLog.h"
#include "TrackMatcher.h"

namespace {

constexpr double kLongestLimit = 7 * 86400.0;  // a week: longer limits place nothing sensibly

QDoubleSpinBox* SecondsBox(double value, QWidget* parent)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(0, kLongestLimit);
    box->setDecimals(0);
    box->setSuffix(QObject::tr(" s"));
    box->setValue(value);
    // Full stop as decimal point and no grouping, whatever the locale.
    box->setLocale(QLocale::c());
    return box;
}

}  // namespace

CGeotagTrackDialog::CGeotagTrackDialog(CCorvaneDoc& doc, std::vector<int> items, QWidget* parent)
    : QDialog(parent), doc_(doc), model_(new CGeotagPreviewModel(this))
{
    setWindowTitle(tr("Geotag from Track"));
    // The capture stamps are read once: sub-seconds and offsets are not in
    // the record, and reading them again at every change would be slow.
    for (int item : items)
        if (item >= 0 && item < doc_.Count()) pictures_.push_back({item, ReadCaptureStampOfFile(doc_.Item(item).Path)});

    preview_ = new QTableView(this);
    preview_->setModel(model_);
    preview_->setSelectionBehavior(QAbstractItemView::SelectRows);
    preview_->setSelectionMode(QAbstractItemView::SingleSelection);
    preview_->verticalHeader()->hide();
    preview_->horizontalHeader()->setStretchLastSection(true);
    preview_->setWordWrap(false);
    summary_ = new QLabel(this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* settings = new QHBoxLayout;
    settings->addWidget(BuildTrackGroup(), 3);
    settings->addWidget(BuildClockGroup(), 3);
    settings->addWidget(BuildLimitsGroup(), 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(settings);
    layout->addWidget(preview_, 1);
    layout->addWidget(summary_);
    layout->addWidget(buttons);
    resize(1180, 720);
    Recompute();
    preview_->setColumnWidth(CGeotagPreviewModel::PictureColumn, 150);
    preview_->setColumnWidth(CGeotagPreviewModel::CaptureColumn, 260);
    preview_->setColumnWidth(CGeotagPreviewModel::UtcColumn, 180);
    preview_->setColumnWidth(CGeotagPreviewModel::PositionColumn, 260);
    preview_->setColumnWidth(CGeotagPreviewModel::NearestFixColumn, 100);
}

CGeotagTrackDialog::~CGeotagTrackDialog()
{
    // A reader still at work holds nothing of ours but its result; it is
    // waited for so that no thread outlives the dialog.
    for (QThread* reader : readers_) reader->wait();
}

QWidget* CGeotagTrackDialog::BuildTrackGroup()
{
    auto* group = new QGroupBox(tr("GPS tracks (GPX files)"), this);
    trackList_ = new QListWidget(group);
    trackStatus_ = new QLabel(group);
    trackStatus_->setWordWrap(true);
    auto* add = new QPushButton(tr("Add..."), group);
    auto* remove = new QPushButton(tr("Remove"), group);
    // Loggers' files are usually copied beside the pictures.
    connect(add, &QPushButton::clicked, this, [this] {
        const QString folder = QString::fromStdString(doc_.CurrentFolder());
        AddTrackFiles(QFileDialog::getOpenFileNames(this, tr("GPS Tracks"), folder,
                                                    tr("GPX files (*.gpx *.GPX);;All files (*)")));
    });
    connect(remove, &QPushButton::clicked, this, [this] { RemoveTrack(trackList_->currentRow()); });
    auto* row = new QHBoxLayout;
    row->addWidget(add);
    row->addWidget(remove);
    row->addStretch();
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(trackList_);
    layout->addLayout(row);
    layout->addWidget(trackStatus_);
    return group;
}

QWidget* CGeotagTrackDialog::BuildClockGroup()
{
    auto* group = new QGroupBox(tr("Time of the pictures"), this);
    zone_ = new QComboBox(group);
    for (const QByteArray& id : QTimeZone::availableTimeZoneIds()) zone_->addItem(QString::fromUtf8(id));
    zone_->setCurrentText(QString::fromUtf8(QTimeZone::systemTimeZoneId()));
    pictureOffset_ = new QCheckBox(tr("From the picture where it records its offset"), group);
    pictureOffset_->setChecked(true);
    correction_ = new QLineEdit(QStringLiteral("+00:00:00"), group);
    correction_->setToolTip(tr("Added to the camera's time: +HH:MM:SS when the camera was slow, -HH:MM:SS when it was fast."));
    auto* sync = new QPushButton(tr("Synchronise with the selected picture..."), group);
    connect(sync, &QPushButton::clicked, this, [this] { SynchroniseWith(preview_->currentIndex().row()); });
    auto* layout = new QFormLayout(group);
    layout->addRow(tr("Time zone:"), zone_);
    layout->addRow(QString(), pictureOffset_);
    layout->addRow(tr("Camera clock correction:"), correction_);
    layout->addRow(QString(), sync);
    connect(zone_, &QComboBox::currentTextChanged, this, &CGeotagTrackDialog::Recompute);
    connect(pictureOffset_, &QCheckBox::toggled, this, &CGeotagTrackDialog::Recompute);
    connect(correction_, &QLineEdit::textChanged, this, &CGeotagTrackDialog::Recompute);
    return group;
}

QWidget* CGeotagTrackDialog::BuildLimitsGroup()
{
    auto* group = new QGroupBox(tr("Limits"), this);
    maxGap_ = SecondsBox(1800, group);
    maxOutside_ = SecondsBox(0, group);
    replace_ = new QCheckBox(tr("Replace existing coordinates"), group);
    auto* layout = new QFormLayout(group);
    layout->addRow(tr("Interpolate across gaps of up to:"), maxGap_);
    layout->addRow(tr("Place before or after the track by up to:"), maxOutside_);
    layout->addRow(QString(), replace_);
    connect(maxGap_, &QDoubleSpinBox::valueChanged, this, &CGeotagTrackDialog::Recompute);
    connect(maxOutside_, &QDoubleSpinBox::valueChanged, this, &CGeotagTrackDialog::Recompute);
    connect(replace_, &QCheckBox::toggled, this, &CGeotagTrackDialog::Recompute);
    return group;
}

void CGeotagTrackDialog::AddTrackFiles(const QStringList& paths)
{
    for (const QString& path : paths) {
        auto result = std::make_shared<std::pair<std::shared_ptr<CTrackLog>, std::string>>();
        QThread* reader = QThread::create([path, result] {
            try {
                auto log = std::make_shared<CTrackLog>();
                if (log->AddFile(path.toStdString(), result->second)) result->first = std::move(log);
            } catch (const std::exception& e) {
                result->second = std::string("it cannot be read (") + e.what() + ")";
            }
        });
        reader->setParent(this);  // freed with the dialog if it closes while reading
        readers_.push_back(reader);
        connect(reader, &QThread::finished, this, [this, reader, path, result] {
            readers_.erase(std::remove(readers_.begin(), readers_.end(), reader), readers_.end());
            reader->deleteLater();
            OnTrackRead(path, result->first, QString::fromStdString(result->second));
        });
        reader->start();
    }
    ShowTrackStatus();
}

void CGeotagTrackDialog::OnTrackRead(const QString& path, std::shared_ptr<const CTrackLog> log, const QString& error)
{
    if (log) {
        tracks_.push_back({path, std::move(log)});
        trackList_->addItem(QFileInfo(path).fileName());
        trackList_->item(trackList_->count() - 1)->setToolTip(path);
        trackError_.clear();
        RebuildMatcher();
    } else {
        trackError_ = tr("%1 cannot be used as a track: %2").arg(QFileInfo(path).fileName(), error);
    }
    ShowTrackStatus();
    Recompute();
    emit TracksChanged();
}

void CGeotagTrackDialog::RemoveTrack(int row)
{
    if (row < 0 || row >= static_cast<int>(tracks_.size())) return;
    tracks_.erase(tracks_.begin() + row);
    delete trackList_->takeItem(row);
    RebuildMatcher();
    Recompute();
}

// The tracks of every file as one log: segments of all files together.
void CGeotagTrackDialog::RebuildMatcher()
{
    matcher_.reset();
    combined_ = std::make_unique<CTrackLog>();
    for (const Track& track : tracks_)
        for (const auto& segment : track.Log->Segments()) combined_->AddSegment(segment);
    if (!combined_->Empty()) matcher_ = std::make_unique<CTrackMatcher>(*combined_);
    ShowTrackStatus();
}

void CGeotagTrackDialog::ShowTrackStatus()
{
    QString text = tr("Add the GPX files of the trip.");
    if (!readers_.empty()) {
        text = tr("Reading %n file(s)...", nullptr, static_cast<int>(readers_.size()));
    } else if (combined_ && !combined_->Empty()) {
        const auto segments = static_cast<qulonglong>(combined_->Segments().size());
        text = tr("%1 fixes in %2")
                   .arg(combined_->Totals().Points)
                   .arg(segments == 1 ? tr("one segment.") : tr("%1 segments.").arg(segments));
        qulonglong left = 0;
        for (const Track& track : tracks_)
            left += track.Log->Totals().Untimed + track.Log->Totals().Invalid + track.Log->Totals().OutOfRange;
        if (left > 0)
            text += tr(" %1 points without a time or with values out of range were left out.").arg(left);
    }
    if (!trackError_.isEmpty())
        text = QStringLiteral("<span style='color:#a03020'>%1</span><br>%2").arg(trackError_.toHtmlEscaped(), text);
    trackStatus_->setText(text);
}

bool CGeotagTrackDialog::ReadSettings(GeotagSettings& settings) const
{
    settings.Clock.Zone = QTimeZone(zone_->currentText().toUtf8());
    if (!settings.Clock.Zone.isValid()) settings.Clock.Zone = QTimeZone::systemTimeZone();
    settings.Clock.UsePictureOffset = pictureOffset_->isChecked();
    settings.Limits.MaxGap = maxGap_->value();
    settings.Limits.MaxOutside = maxOutside_->value();
    settings.ReplaceCoordinates = replace_->isChecked();
    return ParseCorrection(correction_->text().trimmed().toStdString(), settings.Clock.Correction);
}

void CGeotagTrackDialog::Recompute()
{
    GeotagSettings settings;
    const bool valid = ReadSettings(settings);
    correction_->setStyleSheet(valid ? QString() : QStringLiteral("color: #c00000"));
    const CTrackLog empty;
    const CTrackMatcher none(empty);
    const CTrackMatcher& matcher = matcher_ ? *matcher_ : none;
    std::vector<CGeotagPreviewModel::Row> rows;
    rows.reserve(pictures_.size());
    PlacementSummary summary;
    for (const Picture& p : pictures_) {
        const PictureItem& item = doc_.Item(p.Item);
        const CGPSMetadataInfo* record = item.Current();
        CGeotagPreviewModel::Row row;
        row.Picture = QString::fromStdWString(item.Name);
        row.Stamp = StampForRecord(p.FromFile, record ? record->DateTaken : nullptr);
        row.Placement = PlacePicture(row.Stamp, record && record->Latitude && record->Longitude, matcher, settings);
        if (!valid && row.Placement.Result == PlacementResult::Placed) row.Placement.Result = PlacementResult::NoTrack;
        summary.Add(row.Placement);
        rows.push_back(std::move(row));
    }
    model_->SetRows(std::move(rows));
    summary_->setText(valid ? QString::fromStdString(summary.Text())
                            : tr("The camera clock correction is not a time such as +00:01:30 or -01:00:00."));
    ok_->setEnabled(valid && summary.Placed > 0);
}

void CGeotagTrackDialog::SynchroniseWith(int row)
{
    if (row < 0 || row >= static_cast<int>(model_->Rows().size())) return;
    const CGeotagPreviewModel::Row& shown = model_->Rows()[static_cast<size_t>(row)];
    if (!shown.Stamp.HasDate) return;
    const QString cameraTime = QString::fromStdString(FormatCameraTime(shown.Stamp));
    const QString answer =
        timeAsker_ ? timeAsker_(shown.Picture, cameraTime)
                   : QInputDialog::getText(this, tr("Synchronise the Camera Clock"),
                                           tr("The true time the picture %1 shows (a clock, the screen of the GPS), "
                                              "in its time zone or with Z or an offset:")
                                               .arg(shown.Picture),
                                           QLineEdit::Normal, cameraTime);
    GeotagSettings settings;
    ReadSettings(settings);
    double trueUtc = 0;
    if (answer.isEmpty() || !ParseInstant(answer.trimmed().toStdString(), settings.Clock.Zone, trueUtc)) return;
    if (const auto correction = ClockCorrectionFor(shown.Stamp, settings.Clock, trueUtc))
        correction_->setText(QString::fromStdString(FormatCorrection(*correction)));
}

int CGeotagTrackDialog::Apply()
{
    std::vector<int> items;
    std::vector<MetadataChange> changes;
    const auto& rows = model_->Rows();
    for (size_t i = 0; i < rows.size() && i < pictures_.size(); ++i) {
        auto entries = PlacementEntries(rows[i].Placement);
        if (entries.empty()) continue;
        items.push_back(pictures_[i].Item);
        changes.push_back({std::make_unique<CImageMetadataManipulationOperation>(), std::move(entries)});
    }
    const int count = static_cast<int>(items.size());
    if (count > 0) doc_.ApplyMetadataChange(items, std::move(changes));
    return count;
}

void CGeotagTrackDialog::accept()
{
    Recompute();  // the settings as shown, whatever was typed last
    if (!ok_->isEnabled()) return;
    Apply();
    QDialog::accept();
}
