#include "CorvaneApp.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

#include "CommandIcons.h"
#include "CorvaneDoc.h"
#include "MainFrame.h"
#include "ExplorerBrowserView.h"
#include "QtDocumentUserInterface.h"
#include "QtSettingsStore.h"
#include "StampedSave.h"

CCorvaneApp::CCorvaneApp() = default;

CCorvaneApp::~CCorvaneApp()
{
    frame_.reset();  // the views hold the document
    doc_.reset();
}

QString CCorvaneApp::PicturesFolder()
{
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return !pictures.isEmpty() && QDir(pictures).exists() ? pictures : QDir::homePath();
}

bool CCorvaneApp::InitInstance(const QString& startFolder)
{
    settings_ = std::make_unique<CQtSettingsStore>();
    // The settings exist before any view reads them (the filter mode, the tree pane).
    wroteDefaults_ = EnsureDefaultSettings(*settings_);
    profile_ = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Halvorn"),
                                           QStringLiteral("Corvane"));
    ui_ = std::make_unique<CQtDocumentUserInterface>();
    doc_ = std::make_unique<CCorvaneDoc>(*ui_, *settings_);
    // Thumbnails are made by the folder view on worker threads, so loading a
    // folder only reads the geotags.
    doc_->SetStampedSaver([](const std::string& source, const std::string& target, const CGPSMetadataInfo& record,
                             const std::vector<PendingOperation*>& stamps, std::string* error,
                             const StampedSaveOptions& options, std::vector<std::string>* warnings) {
        return SaveStampedPicture(source, target, record, stamps, error, nullptr, options, warnings);
    });
    frame_ = std::make_unique<CMainFrame>(*doc_, *ui_, *settings_, *profile_);
    frame_->setWindowIcon(CommandIcons::Program());
    frame_->Browser()->NavigateTo(startFolder.isEmpty() ? PicturesFolder() : startFolder);
    return true;
}
