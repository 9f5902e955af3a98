// Start-up of the desktop program. The frame, views and dialogs come with
// the user-interface work; until then the window says what the program is.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Halvorn");
    QApplication::setApplicationName("Corvane");
    QMainWindow frame;
    frame.setWindowTitle("Corvane");
    auto* label = new QLabel(QObject::tr("Corvane: use corvane-cli to view and edit geotags."), &frame);
    label->setAlignment(Qt::AlignCenter);
    frame.setCentralWidget(label);
    frame.showMaximized();
    return app.exec();
}
