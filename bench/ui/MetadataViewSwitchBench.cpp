// How long the switch from the folder view to the metadata view takes on a
// loaded folder of many pictures: the switch, the table's first full paint,
// and a scroll to the last row. Copies of the sample pictures make the
// folder; settings go to a temporary folder.
//
//   bench-metadata-view-switch SAMPLES_DIR [COUNT]
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <cstdio>

#include "CorvaneApp.h"
#include "CorvaneDoc.h"
#include "GPSMetadataListView.h"
#include "MainFrame.h"
#include "MetadataTableView.h"
#include "QtDocumentUserInterface.h"

namespace {

int MakeFolder(const QString& samples, const QString& target, int count)
{
    QStringList sources;
    for (const QString& sub : {QStringLiteral("gps"), QStringLiteral("cameras")}) {
        const QDir dir(samples + QLatin1Char('/') + sub);
        for (const QString& name : dir.entryList({QStringLiteral("*.jpg")}, QDir::Files)) sources << dir.filePath(name);
    }
    if (sources.isEmpty()) return 0;
    for (int i = 0; i < count; ++i)
        QFile::copy(sources[i % sources.size()], QStringLiteral("%1/pic%2.jpg").arg(target).arg(i, 5, 10, QLatin1Char('0')));
    return count;
}

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s SAMPLES_DIR [COUNT]\n", argv[0]);
        return 2;
    }
    const int count = argc > 2 ? std::atoi(argv[2]) : 2000;
    QTemporaryDir config, pictures;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
    if (MakeFolder(QString::fromLocal8Bit(argv[1]) + QStringLiteral("/pictures"), pictures.path(), count) != count) {
        std::fprintf(stderr, "no sample pictures under %s\n", argv[1]);
        return 2;
    }

    CCorvaneApp corvane;
    QElapsedTimer load;
    load.start();
    corvane.InitInstance(pictures.path());
    QSignalSpy loaded(&corvane.UserInterface(), &CQtDocumentUserInterface::CommandHandled);
    if (!loaded.wait(600000)) return 1;
    const qint64 loadMs = load.elapsed();
    CMainFrame& frame = corvane.Frame();
    frame.resize(1600, 1000);
    frame.show();
    QCoreApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    frame.Execute(1109);
    frame.repaint();  // the table painted with every visible cell's text
    const qint64 switchMs = timer.elapsed();
    timer.restart();
    frame.ListView()->Table()->scrollToBottom();
    frame.repaint();
    const qint64 scrollMs = timer.elapsed();
    timer.restart();
    frame.ListView()->OnHeaderClicked(3);  // sort by latitude
    frame.repaint();
    const qint64 sortMs = timer.elapsed();

    std::printf("pictures %d (rows %d)\nload folder %lld ms\nswitch to metadata view %lld ms\n"
                "scroll to last row %lld ms\nsort by latitude %lld ms\n",
                count, frame.ListView()->RowCount(), static_cast<long long>(loadMs),
                static_cast<long long>(switchMs), static_cast<long long>(scrollMs), static_cast<long long>(sortMs));
    return 0;
}
