// Corvane: view, edit and wipe the geotag of JPEG and TIFF pictures.
#include <QApplication>
#include <QCommandLineParser>

#include "CommandIcons.h"
#include "CorvaneApp.h"
#include "MainFrame.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Halvorn"));
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("corvane"));
    QApplication::setWindowIcon(CommandIcons::Program());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("View, edit and wipe the geotag of JPEG and TIFF pictures."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("The folder to open (default: Pictures)."));
    parser.process(app);

    CCorvaneApp corvane;
    if (!corvane.InitInstance(parser.positionalArguments().value(0))) return 1;
    corvane.Frame().showMaximized();
    return app.exec();
}
