// corvane-cli: the geotag engine without windows, for batches and scripts.
#include <QGuiApplication>

#include <clocale>
#include <iostream>

#include "AtomicFileWriter.h"
#include "CliCommands.h"
#include "CliDocumentVerbs.h"
#include "CliGeotag.h"
#include "CliOptions.h"
#include "ConsoleUserInterface.h"
#include "Interruption.h"

namespace {

// How pictures with other hard links are saved, and what the user is told.
void ChooseHowToReplace(const CliOptions& options)
{
    ReplaceSettings settings;
    settings.KeepHardLinks = options.KeepLinks;
    settings.OnLinksSplit = [](const std::string& target, nlink_t others) {
        std::cout << target << ": hard link split: " << others << (others == 1 ? " other name keeps" : " other names keep")
                  << " the old picture (--keep-links writes through them)\n";
    };
    SetReplaceSettings(std::move(settings));
}

int RunVerb(int argc, char** argv, const CliOptions& options)
{
    if (options.Verb == "show") return RunShow(options);
    if (options.Verb == "set" || options.Verb == "clear") return RunSetOrClear(options);
    if (options.Verb == "geocode") return RunGeocode(options);
    if (options.Verb == "export-csv") return RunExportCsv(options);
    if (options.Verb == "geotag") return RunGeotag(options);
    if (options.Verb == "export-gpx") return RunExportGpx(options);
    if (options.Verb == "stamp") {
        // Stamps are drawn with the toolkit's fonts; no display is needed.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        return RunStamp(options);
    }
    std::cerr << "corvane-cli: unknown verb \"" << options.Verb << "\"\n" << CliUsage();
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    std::setlocale(LC_CTYPE, "");
    QuietToolkitMessages();
    CliOptions options;
    std::string error;
    if (argc >= 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::cout << CliUsage();
        return 0;
    }
    if (!ParseCliOptions(argc, argv, options, error)) {
        std::cerr << "corvane-cli: " << error << "\n" << CliUsage();
        return 2;
    }
    // A stop request ends the run between two pictures: none is left half
    // written, and no temporary file stays behind.
    InstallInterruptHandlers();
    ChooseHowToReplace(options);
    const int status = RunVerb(argc, argv, options);
    if (const int signal = InterruptSignal()) {
        std::cout.flush();
        std::cerr << "corvane-cli: stopped by " << InterruptSignalName(signal)
                  << "; every picture not reported saved above is as it was\n";
        return InterruptExitStatus(signal);
    }
    return status;
}
