// export-csv: the metadata table of the named pictures, written as a CSV file.
#include <filesystem>
#include <iostream>

#include "AtomicFileWriter.h"
#include "CliCommands.h"
#include "CliInputs.h"
#include "Interruption.h"
#include "CliTargetFile.h"
#include "MetadataTable.h"
#include "StringUtil.h"

namespace fs = std::filesystem;

namespace {

// A table this program wrote (byte-order mark, then "#"), or a file named
// .csv whose start is text.
bool IsCsvContent(const std::string& name, const std::string& head)
{
    if (head.empty() || head.compare(0, 4, "\xEF\xBB\xBF#") == 0) return true;
    return HasExtension(name, L".csv") && head.find('\0') == std::string::npos;
}

}  // namespace

int RunExportCsv(const CliOptions& o)
{
    if (o.Inputs.size() < 2) {
        std::cerr << "corvane-cli: export-csv needs pictures or folders and then the CSV file\n" << CliUsage();
        return 2;
    }
    const std::string csvPath = o.Inputs.back();
    const TargetRefusal refusal = ExportTargetRefusal(csvPath, o.Force, IsCsvContent, "CSV");
    if (!refusal.Reason.empty()) {
        std::cerr << "corvane-cli: export-csv writes the table to the file named last, and " << csvPath << " "
                  << refusal.Reason << " (name the CSV file last"
                  << (refusal.Forceable ? ", or give --force to replace it" : "") << ")\n"
                  << CliUsage();
        return 2;
    }
    std::vector<LoadedPicture> pictures;
    const bool ok = LoadPictures({o.Inputs.begin(), o.Inputs.end() - 1}, pictures);
    // A table of nothing but failures would only replace a good file.
    if (pictures.empty() && !ok) return 1;
    if (InterruptSignal()) return 1;  // no partial table over the file
    std::vector<MetadataTable::Row> rows;
    for (const auto& p : pictures)
        rows.push_back({Utf8OrLatin1ToWide(fs::path(p.Path).filename().string()), p.Record.get()});
    if (o.DryRun) {
        std::cout << csvPath << ": would write the table of " << rows.size() << " pictures\n";
        return ok ? 0 : 1;
    }
    const std::wstring separator = o.Separator ? *o.Separator : MetadataTable::LocaleListSeparator();
    std::string error;
    if (FAILED(WriteFileAtomically(csvPath, MetadataTable::ToCsv(rows, separator), &error))) {
        std::cerr << csvPath << ": " << error << "\n";
        return 1;
    }
    return ok ? 0 : 1;
}
