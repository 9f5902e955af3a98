// corvane-cli: the geotag engine without windows, for batches and scripts.
#include <QGuiApplication>

#include <clocale>
#include <iostream>

#include "CliCommands.h"
#include "CliDocumentVerbs.h"
#include "CliGeotag.h"
#include "CliOptions.h"
#include "ConsoleUserInterface.h"

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
