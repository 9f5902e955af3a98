// Loads one folder into the document as the desktop program does (records
// and thumbnails) and prints the seconds it took.
#include <chrono>
#include <cstdio>
#include <memory>

#include "CorvaneDoc.h"
#include "TaskIteration.h"

namespace {

class QuietUserInterface : public IDocumentUserInterface {
public:
    int AskYesNo(const std::wstring&, const std::wstring&, const std::wstring&, MessageIcon) override
    {
        return kAnswerYes;
    }
    void ShowMessage(const std::wstring&, const std::wstring&, MessageIcon) override {}
    void PostCommand(int) override {}
    void UpdateAllViews(const CMetadataManipulationUpdatePack&) override {}
    IStepRunner& Runner() override { return runner_; }

private:
    CSynchronousStepRunner runner_;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench-load-folder FOLDER\n");
        return 2;
    }
    QuietUserInterface ui;
    CMemorySettingsStore settings;
    CCorvaneDoc doc(ui, settings);
    const auto start = std::chrono::steady_clock::now();
    doc.OnNavigationComplete(argv[1]);
    doc.LoadFolder();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    int records = 0;
    for (int i = 0; i < doc.Count(); ++i)
        records += doc.Item(i).Current() != nullptr;
    std::printf("%.3f %d %d\n", seconds, doc.Count(), records);
    return 0;
}
