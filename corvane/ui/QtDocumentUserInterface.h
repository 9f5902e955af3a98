// The document's way to the windows: questions and messages as message
// boxes over the main window, posted commands queued to the user-interface
// thread, view updates as a signal, and the progress dialog.
#pragma once

#include <QObject>
#include <functional>
#include <optional>

#include "DocumentInterfaces.h"
#include "ProgressRunner.h"

class QWidget;

class CQtDocumentUserInterface : public QObject, public IDocumentUserInterface {
    Q_OBJECT
public:
    explicit CQtDocumentUserInterface(QObject* parent = nullptr);

    void SetOwner(QWidget* owner);
    // Receives posted commands on the user-interface thread.
    void SetCommandHandler(std::function<void(int)> handler) { handler_ = std::move(handler); }
    // Tests answer questions and take messages without a window.
    void SetQuestionAnswerer(std::function<int(const std::wstring&)> answerer) { answerer_ = std::move(answerer); }
    void SetMessageSink(std::function<void(const std::wstring&, const std::wstring&)> sink) { sink_ = std::move(sink); }
    void SetAccountAnswerer(std::function<std::optional<std::wstring>()> answerer) { accountAnswerer_ = std::move(answerer); }

    int AskYesNo(const std::wstring& title, const std::wstring& instruction, const std::wstring& content,
                 MessageIcon icon) override;
    // A plain Yes/No question with the question icon (the exit confirmation).
    int AskQuestion(const QString& caption, const QString& text);
    void ShowMessage(const std::wstring& text, const std::wstring& caption, MessageIcon icon) override;
    void PostCommand(int command) override;
    void UpdateAllViews(const CMetadataManipulationUpdatePack& pack) override;
    IStepRunner& Runner() override { return runner_; }
    // The account question of the first address run (CGeoNamesAccountDialog).
    std::optional<std::wstring> AskGeoNamesAccount() override;
    // On the owner's status bar when it is a main window.
    void ShowStatus(const std::wstring& text) override;

signals:
    void MetadataChanged(QList<int> indices);
    void StatusShown(const QString& text);
    void CommandHandled(int command);

private:
    QWidget* owner_ = nullptr;
    CProgressRunner runner_;
    std::function<void(int)> handler_;
    std::function<int(const std::wstring&)> answerer_;
    std::function<void(const std::wstring&, const std::wstring&)> sink_;
    std::function<std::optional<std::wstring>()> accountAnswerer_;
};
