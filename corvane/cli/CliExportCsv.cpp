// export-csv: the metadata table of the named pictures, written as a CSV file.
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "AtomicFileWriter.h"
#include "CliCommands.h"
#include "CliInputs.h"
#include "Interruption.h"
#include "MetadataTable.h"
#include "PictureFormat.h"
#include "StringUtil.h"

namespace fs = std::filesystem;

namespace {

std::string ReadHead(const std::string& path, size_t size)
{
    std::ifstream in(path, std::ios::binary);
    std::string head(size, '\0');
    in.read(&head[0], static_cast<std::streamsize>(size));
    head.resize(static_cast<size_t>(in.gcount()));
    return head;
}

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

// A JPEG (start of image and a marker) or a TIFF (either byte order).
bool IsPictureContent(const std::string& head)
{
    return StartsWith(head, "\xFF\xD8\xFF") || StartsWith(head, std::string("II*\0", 4)) ||
           StartsWith(head, std::string("MM\0*", 4));
}

// A table this program wrote (byte-order mark, then "#"), or a file named
// .csv whose start is text.
bool IsCsvContent(const std::string& name, const std::string& head)
{
    if (head.empty() || StartsWith(head, "\xEF\xBB\xBF#")) return true;
    const std::string extension = fs::path(name).extension().string();
    return EqualsNoCase(Utf8OrLatin1ToWide(extension), L".csv") && head.find('\0') == std::string::npos;
}

struct Refusal {
    std::string Reason;  // empty when the table may be written
    bool Forceable = true;
};

// Why the table may not be written to `path`. The CSV file is named last, so
// a forgotten CSV name makes the last picture the target: a picture (by name
// or by content), a folder, a special file or an existing file that is not
// CSV is refused; --force replaces any regular file.
Refusal CsvTargetRefusal(const std::string& path, bool force)
{
    const std::string name = fs::path(path).filename().string();
    const bool pictureName = PictureKindFromName(name) != PictureFormatOther;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT && pictureName && !force) return {"is named as a picture"};
        return {};  // a new file; anything else is the write's to report
    }
    if (S_ISDIR(st.st_mode)) return {"is a folder", false};
    if (!S_ISREG(st.st_mode)) return {"is not a regular file", false};
    if (force) return {};
    const std::string head = ReadHead(path, 4096);
    if (pictureName || IsPictureContent(head)) return {"is a picture"};
    if (!IsCsvContent(name, head)) return {"exists and is not a CSV file"};
    return {};
}

}  // namespace

int RunExportCsv(const CliOptions& o)
{
    if (o.Inputs.size() < 2) {
        std::cerr << "corvane-cli: export-csv needs pictures or folders and then the CSV file\n" << CliUsage();
        return 2;
    }
    const std::string csvPath = o.Inputs.back();
    const Refusal refusal = CsvTargetRefusal(csvPath, o.Force);
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
