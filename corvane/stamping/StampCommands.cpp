#include "StampCommands.h"

#include "StampingOperations.h"

namespace {

const wchar_t* const kNothingSelected = L"Please select some items and then try again.";
const wchar_t* const kOperationFailed = L"Operation Failed";

bool CheckSelection(const StampCommandContext& c, const std::vector<int>& selected)
{
    if (!selected.empty()) return true;
    c.Ui.ShowMessage(kNothingSelected, kOperationFailed, MessageIcon::Error);
    return false;
}

// Builds one operation per picture with `make`; false (and the font message) when none can be built.
template <typename Make>
bool Queue(const StampCommandContext& c, const std::vector<int>& selected, const std::wstring& text, Make make)
{
    std::vector<PictureOperation> operations;
    for (size_t i = 0; i < selected.size(); ++i) {
        std::wstring error;
        auto op = make(&error);
        if (!op) {
            c.Ui.ShowMessage(error, kOperationFailed, MessageIcon::Error);
            return false;
        }
        operations.push_back({std::move(op), text});
    }
    c.Doc.ApplyPictureOperation(selected, std::move(operations));
    return true;
}

}  // namespace

bool StampGPS(const StampCommandContext& c, const std::vector<int>& selected)
{
    if (!CheckSelection(c, selected)) return false;
    return Queue(c, selected, L"", [&](std::wstring* error) {
        return std::unique_ptr<CImageOperation>(CImageGPSStampingOperation::Create(c.Settings, error));
    });
}

bool StampTitle(const StampCommandContext& c, const std::vector<int>& selected, const TitleQuestion& askTitle)
{
    if (!CheckSelection(c, selected)) return false;
    std::wstring title;
    bool rightToLeft = false;
    if (!askTitle || !askTitle(title, rightToLeft) || title.empty()) return false;  // silently
    return Queue(c, selected, title, [&](std::wstring* error) {
        return std::unique_ptr<CImageOperation>(CImageTitleStampingOperation::Create(c.Settings, rightToLeft, error));
    });
}

bool StampAddress(const StampCommandContext& c, const std::vector<int>& selected)
{
    if (!CheckSelection(c, selected)) return false;
    if (!c.Doc.EnsureAddresses(selected)) return false;
    return Queue(c, selected, L"", [&](std::wstring* error) {
        return std::unique_ptr<CImageOperation>(CImageAddressStampingOperation::Create(c.Settings, error));
    });
}
