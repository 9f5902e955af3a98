// The commands that work on the selected pictures: Save, Save As and the
// three stamps.
#include <QFileInfo>
#include <QMessageBox>

#include "CorvaneDoc.h"
#include "MainFrame.h"
#include "PictureTitleInputDialog.h"
#include "QtDocumentUserInterface.h"
#include "SaveAsDialog.h"
#include "StampingOperations.h"

namespace {

const wchar_t* const kUnableToSaveAs =
    L"Unable to save the item with specified name. Please make sure you have selected correct file name.";
const wchar_t* const kUnableToSaveAsCaption = L"Unable to Save As";
const wchar_t* const kStoredOtherwiseCaption = L"Saved With Changes";

}  // namespace

void CMainFrame::ShowSaveWarnings()
{
    const auto warnings = doc_.TakeSaveWarnings();
    if (warnings.empty()) return;
    std::wstring text = L"Some values were stored differently from how they were entered:";
    for (const auto& w : warnings)
        text += L"\n" + QFileInfo(QString::fromStdString(w.Path)).fileName().toStdWString() + L": " + w.Text;
    ui_.ShowMessage(text, kStoredOtherwiseCaption, MessageIcon::Warning);
}

void CMainFrame::SaveSelected()
{
    const std::vector<int> items = ActiveSelection();
    if (items.size() != 1) return;
    doc_.SavePicture(items[0], std::string(), false);  // the document tells what failed or was left out
    ShowSaveWarnings();
    RefreshList();
}

void CMainFrame::SaveAs(int item, bool force)
{
    if (item < 0 || item >= doc_.Count()) return;
    // In the picture's own folder, so the dialog opens where the picture is.
    const QString proposed = QFileInfo(QString::fromStdString(doc_.Item(item).Path)).absoluteFilePath();
    int type = 1;
    const QString chosen = saveAsChooser_ ? saveAsChooser_(proposed, type) : SaveAsDialog::Ask(this, proposed, type);
    if (chosen.isEmpty()) return;  // cancelled
    const std::string target = CCorvaneDoc::SaveAsPath(chosen.toStdString(), type);
    std::string error;
    if (FAILED(doc_.SavePicture(item, target, force, &error)))
        ui_.ShowMessage(kUnableToSaveAs, kUnableToSaveAsCaption, MessageIcon::Error);
    ShowSaveWarnings();
    RefreshList();
}

bool CMainFrame::TakeStampSelection(std::vector<int>& items)
{
    items = ActiveSelection();
    if (!items.empty()) return true;
    ui_.ShowMessage(L"Please select some items and then try again.", L"Operation Failed", MessageIcon::Error);
    return false;
}

void CMainFrame::StampGps()
{
    std::vector<int> items;
    if (!TakeStampSelection(items)) return;
    std::vector<PictureOperation> operations;
    for (size_t i = 0; i < items.size(); ++i) {
        std::wstring error;
        auto operation = CImageGPSStampingOperation::Create(settings_, &error);
        if (!operation) {
            ui_.ShowMessage(error, L"Corvane", MessageIcon::Error);
            return;
        }
        operations.push_back({std::move(operation), std::wstring()});
    }
    doc_.ApplyPictureOperation(items, std::move(operations));
}

void CMainFrame::StampTitle()
{
    std::vector<int> items;
    if (!TakeStampSelection(items)) return;
    QString title;
    bool rightToLeft = false;
    if (titleChooser_) {
        if (!titleChooser_(title, rightToLeft)) return;
    } else {
        CPictureTitleInputDialog dialog(this);
        if (dialog.exec() != QDialog::Accepted) return;
        title = dialog.Title();
        rightToLeft = dialog.Direction() == 1;
    }
    if (title.isEmpty()) return;  // nothing to stamp, silently
    std::vector<PictureOperation> operations;
    for (size_t i = 0; i < items.size(); ++i) {
        std::wstring error;
        auto operation = CImageTitleStampingOperation::Create(settings_, rightToLeft, &error);
        if (!operation) {
            ui_.ShowMessage(error, L"Corvane", MessageIcon::Error);
            return;
        }
        operations.push_back({std::move(operation), title.toStdWString()});
    }
    doc_.ApplyPictureOperation(items, std::move(operations));
}

void CMainFrame::StampAddress()
{
    std::vector<int> items;
    if (!TakeStampSelection(items)) return;
    if (!doc_.EnsureAddresses(items)) return;
    std::vector<PictureOperation> operations;
    for (size_t i = 0; i < items.size(); ++i) {
        std::wstring error;
        auto operation = CImageAddressStampingOperation::Create(settings_, &error);
        if (!operation) {
            ui_.ShowMessage(error, L"Corvane", MessageIcon::Error);
            return;
        }
        operations.push_back({std::move(operation), std::wstring()});
    }
    doc_.ApplyPictureOperation(items, std::move(operations));
    RefreshList();
}
