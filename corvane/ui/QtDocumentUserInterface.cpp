#include "QtDocumentUserInterface.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QMetaObject>
#include <QStatusBar>
#include <QWidget>

#include "GeoNamesAccountDialog.h"

namespace {

QMessageBox::Icon ToIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Error: return QMessageBox::Critical;
    default: return QMessageBox::Information;
    }
}

}  // namespace

CQtDocumentUserInterface::CQtDocumentUserInterface(QObject* parent) : QObject(parent) {}

void CQtDocumentUserInterface::SetOwner(QWidget* owner)
{
    owner_ = owner;
    runner_.SetOwner(owner);
}

int CQtDocumentUserInterface::AskYesNo(const std::wstring& title, const std::wstring& instruction,
                                       const std::wstring& content, MessageIcon icon)
{
    if (answerer_) return answerer_(instruction);
    QMessageBox box(ToIcon(icon), QString::fromStdWString(title), QString::fromStdWString(instruction),
                    QMessageBox::Yes | QMessageBox::No, owner_);
    box.setInformativeText(QString::fromStdWString(content));
    return box.exec() == QMessageBox::Yes ? kAnswerYes : kAnswerNo;
}

void CQtDocumentUserInterface::ShowMessage(const std::wstring& text, const std::wstring& caption, MessageIcon icon)
{
    if (sink_) {
        sink_(text, caption);
        return;
    }
    QMessageBox box(ToIcon(icon), QString::fromStdWString(caption), QString::fromStdWString(text), QMessageBox::Ok,
                    owner_);
    box.exec();
}

void CQtDocumentUserInterface::PostCommand(int command)
{
    // The folder watcher posts from its own thread; the handler runs on ours.
    QMetaObject::invokeMethod(
        this,
        [this, command] {
            if (handler_) handler_(command);
            emit CommandHandled(command);
        },
        Qt::QueuedConnection);
}

void CQtDocumentUserInterface::UpdateAllViews(const CMetadataManipulationUpdatePack& pack)
{
    emit MetadataChanged(QList<int>(pack.Indices.begin(), pack.Indices.end()));
}

int CQtDocumentUserInterface::AskQuestion(const QString& caption, const QString& text)
{
    if (answerer_) return answerer_(text.toStdWString());
    return QMessageBox::question(owner_, caption, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes
               ? kAnswerYes
               : kAnswerNo;
}

std::optional<std::wstring> CQtDocumentUserInterface::AskGeoNamesAccount()
{
    if (accountAnswerer_) return accountAnswerer_();
    CGeoNamesAccountDialog dialog(owner_);
    if (dialog.exec() != QDialog::Accepted || dialog.UserName().isEmpty()) return std::nullopt;
    return dialog.UserName().toStdWString();
}

void CQtDocumentUserInterface::ShowStatus(const std::wstring& text)
{
    const QString message = QString::fromStdWString(text);
    if (auto* window = qobject_cast<QMainWindow*>(owner_)) window->statusBar()->showMessage(message);
    emit StatusShown(message);
}
