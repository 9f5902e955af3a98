// The document's way to the windows: questions and messages as message
// boxes over the main window, posted commands queued to the user-interface
// thread, view updates as a signal, and the progress dialog.
#pragma once

#include <QObject>
#include <functional>

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

    int AskYesNo(const std::wstring& title, const std::wstring& instruction, const std::wstring& content,
                 MessageIcon icon) override;
    // A plain Yes/No question with the question icon (the exit confirmation).
    int AskQuestion(const QString& caption, const QString& text);
    void ShowMessage(const std::wstring& text, const std::wstring& caption, MessageIcon icon) override;
    void PostCommand(int command) override;
    void UpdateAllViews(const CMetadataManipulationUpdatePack& pack) override;
    IStepRunner& Runner() override { return runner_; }

signals:
    void MetadataChanged(QList<int> indices);
    void CommandHandled(int command);

private:
    QWidget* owner_ = nullptr;
    CProgressRunner runner_;
    std::function<void(int)> handler_;
    std::function<int(const std::wstring&)> answerer_;
    std::function<void(const std::wstring&, const std::wstring&)> sink_;
};
