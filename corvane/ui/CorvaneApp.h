// Start-up of the desktop program: the settings (their defaults written on
// the first run), the document with its services, the main window with both
// views (the folder browser shown first), and the user's Pictures folder.
#pragma once

#include <QString>
#include <memory>

class CCorvaneDoc;
class CMainFrame;
class CQtDocumentUserInterface;
class CQtSettingsStore;
class QSettings;

class CCorvaneApp {
public:
    CCorvaneApp();
    ~CCorvaneApp();

    // Builds everything; `startFolder` empty means the user's Pictures folder.
    bool InitInstance(const QString& startFolder = QString());
    CMainFrame& Frame() const { return *frame_; }
    CCorvaneDoc& Document() const { return *doc_; }
    CQtDocumentUserInterface& UserInterface() const { return *ui_; }
    // Whether start-up wrote the defaults (the first run).
    bool WroteDefaults() const { return wroteDefaults_; }

    // The user's Pictures folder; the home folder when there is none.
    static QString PicturesFolder();

private:
    std::unique_ptr<CQtSettingsStore> settings_;
    std::unique_ptr<QSettings> profile_;
    std::unique_ptr<CQtDocumentUserInterface> ui_;
    std::unique_ptr<CCorvaneDoc> doc_;
    std::unique_ptr<CMainFrame> frame_;
    bool wroteDefaults_ = false;
};
