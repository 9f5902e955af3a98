// The window keeps answering while it works: a 10 ms timer must keep ticking
// (no gap over 100 ms between two ticks) while the program reverse geocodes
// against a slow server, saves every picture and loads a large folder, and
// Cancel ends an address run within a second. The gaps are measured only
// while the test waits for the work, never while it sets things up.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProgressDialog>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QStatusBar>
#include <atomic>
#include <cmath>

#include "CommandTable.h"
#include "ExplorerBrowserView.h"
#include "GPSMetadataListView.h"
#include "GeoTagFile.h"
#include "GuiTestSupport.h"
#include "ImageMetadataManipulationOperation.h"
#include "MainFrame.h"
#include "MetadataTableView.h"
#include "QtSettingsStore.h"
#include "SettingsStore.h"

namespace {

// Ticks every 10 ms and keeps the longest gap between two ticks seen while measuring.
class CGapMeter {
public:
    CGapMeter()
    {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (measuring_ && clock_.isValid()) longest_ = std::max(longest_, clock_.elapsed());
            clock_.start();
        });
        timer_.start();
    }
    void Start()
    {
        clock_.start();
        longest_ = 0;
        measuring_ = true;
    }
    qint64 Stop()
    {
        measuring_ = false;
        return longest_;
    }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 longest_ = 0;
    bool measuring_ = false;
};

// An address service on its own thread that answers each request after 3 s
// with one place named after the request's number.
class CSlowServer : public QThread {
public:
    ~CSlowServer() override
    {
        quit();
        wait();
    }
    int Requests() const { return requests_; }
    quint16 Port()
    {
        while (port_ == 0) QThread::yieldCurrentThread();
        return port_;
    }

protected:
    void run() override
    {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [&] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    if (!socket->readAll().contains("GET /findNearby")) return;
                    const int n = ++requests_;
                    QTimer::singleShot(3000, socket, [socket, n] {
                        const QByteArray body = "<geonames><geoname><toponymName>Place " + QByteArray::number(n) +
                                                "</toponymName><name>Place " + QByteArray::number(n) +
                                                "</name><fcl>P</fcl><fcode>PPL</fcode><countryCode>NZ</countryCode>"
                                                "<countryName>New Zealand</countryName></geoname></geonames>";
                        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\n"
                                      "Content-Length: " +
                                      QByteArray::number(body.size()) + "\r\n\r\n" + body);
                        socket->disconnectFromHost();
                    });
                });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        port_ = server.serverPort();
        exec();
    }

private:
    std::atomic<int> requests_{0};
    std::atomic<quint16> port_{0};
};

QProgressDialog* ShownProgress(QWidget* owner)
{
    for (auto* dialog : owner->findChildren<QProgressDialog*>())
        if (dialog->isVisible()) return dialog;
    return nullptr;
}

// Every picture a latitude of its own, so that no answer comes from the address cache.
void SpreadLatitudes(CCorvaneDoc& doc)
{
    std::vector<int> indices;
    std::vector<MetadataChange> changes;
    for (int i = 0; i < doc.Count(); ++i) {
        MetadataChange c;
        c.Operation = std::make_unique<CImageMetadataManipulationOperation>();
        c.Updates.push_back(std::make_unique<UpdateEntry>());
        c.Updates.back()->Field = LatitudeField;
        c.Updates.back()->Number = -41.0 - 0.05 * i;
        changes.push_back(std::move(c));
        indices.push_back(i);
    }
    doc.ApplyMetadataChange(indices, std::move(changes));
}

// Shows the window and lets it paint once and take in what the folder view
// reports about the copied pictures: that is setting up, not what is measured.
bool ShowSettled(QWidget& frame)
{
    frame.show();
    if (!QTest::qWaitForWindowExposed(&frame)) return false;
    QCoreApplication::processEvents();
    return true;
}

// Copies one picture `count` times into `folder`.
bool CopyPicture(const QString& source, const QString& folder, int count)
{
    for (int i = 0; i < count; ++i)
        if (!QFile::copy(source, QDir(folder).filePath(QStringLiteral("copy%1.jpg").arg(i, 4, 10, QLatin1Char('0')))))
            return false;
    return true;
}

}  // namespace

class ResponsivenessTest : public QObject {
    Q_OBJECT

private:
    // Opens the folder of `count` pictures, stamps a title on all of them
    // and runs `save` while a 10 ms timer ticks: no gap over 100 ms, no
    // message, every picture saved and readable.
    void StampTitlesAndSave(int count, int save)
    {
        GuiTest::RunningProgram program;
        QVERIFY(program.Start(pictures_->path()));
        CMainFrame& frame = program.App->Frame();
        CCorvaneDoc& doc = program.App->Document();
        QCOMPARE(doc.Count(), count);
        QStringList messages;
        program.App->UserInterface().SetMessageSink([&](const std::wstring& text, const std::wstring&) {
            messages << QString::fromStdWString(text);
        });
        QVERIFY(ShowSettled(frame));
        frame.SetTitleChooser([](QString& title, bool& rightToLeft) {
            title = QStringLiteral("Harbour at dawn");
            rightToLeft = false;
            return true;
        });
        frame.Execute(CommandId::MetadataView);
        frame.ListView()->Table()->selectAll();
        frame.Execute(CommandId::StampTitle);
        QVERIFY(doc.HasUnsavedChanges());

        CGapMeter meter;
        bool finished = false;
        QTimer::singleShot(0, &frame, [&] {
            frame.Execute(save);
            finished = true;
        });
        meter.Start();
        QVERIFY(QTest::qWaitFor([&] { return finished; }, 60000));
        const qint64 gap = meter.Stop();
        QVERIFY2(gap < 100, qPrintable(QStringLiteral("the window stood still %1 ms").arg(gap)));
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(QLatin1Char('\n'))));
        QVERIFY(!doc.HasUnsavedChanges());
        for (int i = 0; i < doc.Count(); ++i) {
            std::string error;
            QVERIFY2(ReadGeoTag(doc.DestinationOf(i), nullptr, &error), error.c_str());
        }
    }

private slots:
    void init()
    {
        config_ = std::make_unique<QTemporaryDir>();
        pictures_ = std::make_unique<QTemporaryDir>();
        cache_ = std::make_unique<QTemporaryDir>();
        QVERIFY(config_->isValid() && pictures_->isValid() && cache_->isValid());
        GuiTest::UseSettingsIn(config_->path());
        qputenv("XDG_CACHE_HOME", cache_->path().toLocal8Bit());  // the address cache, not the user's
    }

    void reverseGeocodingKeepsTheWindowTurningAndCancelsAtOnce()
    {
        CSlowServer server;
        server.start();
        {
            CQtSettingsStore settings;  // the defaults first, or the program would write them over these
            WriteDefaultSettings(settings);
            settings.SetString("GeoNamesServer", QStringLiteral("http://127.0.0.1:%1/").arg(server.Port()).toStdWString());
            settings.SetString("GeoNamesUser", L"tester");
        }
        QVERIFY(CopyPicture(GuiTest::Samples(QStringLiteral("gps/DSCN0010.jpg")), pictures_->path(), 20));
        GuiTest::RunningProgram program;
        QVERIFY(program.Start(pictures_->path()));
        CMainFrame& frame = program.App->Frame();
        CCorvaneDoc& doc = program.App->Document();
        QCOMPARE(doc.Count(), 20);
        QStringList messages;
        program.App->UserInterface().SetMessageSink([&](const std::wstring& text, const std::wstring&) {
            messages << QString::fromStdWString(text);
        });
        SpreadLatitudes(doc);
        QVERIFY(ShowSettled(frame));
        frame.Execute(CommandId::MetadataView);

        // The run turns its own event loop: the test watches it from a timer.
        CGapMeter meter;
        bool finished = false, cancelClicked = false;
        qint64 gapWhileAsking = -1, gapWhileCancelling = -1, cancelTook = -1;
        QElapsedTimer cancelling, patience;
        QTimer watch;
        watch.setInterval(10);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            // Once the first answer is in and the second request is on its way, Cancel.
            const bool secondAsked = server.Requests() >= 2 && ShownProgress(&frame);
            if (cancelClicked || (!secondAsked && patience.elapsed() < 30000)) return;
            gapWhileAsking = meter.Stop();
            cancelClicked = true;
            cancelling.start();
            meter.Start();
            if (QProgressDialog* dialog = ShownProgress(&frame))
                QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
        });
        QTimer::singleShot(0, &frame, [&] {
            frame.Execute(CommandId::GeocodeAll);
            finished = true;
            cancelTook = cancelling.isValid() ? cancelling.elapsed() : -1;
            gapWhileCancelling = meter.Stop();
        });
        patience.start();
        watch.start();
        meter.Start();
        QVERIFY(QTest::qWaitFor([&] { return finished; }, 90000));
        watch.stop();
        QVERIFY(cancelClicked);
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(QLatin1Char('\n')) + program.App->Frame().statusBar()->currentMessage()));

        QVERIFY2(gapWhileAsking < 100, qPrintable(QStringLiteral("the window stood still %1 ms").arg(gapWhileAsking)));
        QVERIFY2(gapWhileCancelling < 100, qPrintable(QString::number(gapWhileCancelling)));
        QVERIFY2(cancelTook < 1000, qPrintable(QStringLiteral("Cancel took %1 ms").arg(cancelTook)));
        // The address found before Cancel is kept as a pending change; no other picture has one.
        int withAddress = 0;
        for (int i = 0; i < doc.Count(); ++i)
            if (doc.Item(i).Current() && doc.Item(i).Current()->CountryName) ++withAddress;
        QCOMPARE(withAddress, 1);
        QVERIFY(doc.HasUnsavedChanges());
        QCOMPARE(server.Requests(), 2);  // nothing asked after Cancel
    }

    void saveAllKeepsTheWindowTurning()
    {
        // Large camera pictures (8 megapixels) with a title stamp each: every save decodes and encodes.
        QVERIFY(CopyPicture(GuiTest::Samples(QStringLiteral("cameras/iphone_hdr_YES.jpg")), pictures_->path(), 3));
        StampTitlesAndSave(3, CommandId::SaveAll);
    }

    void savingOnePictureKeepsTheWindowTurning()
    {
        // A 24-megapixel picture with a title stamp: long enough a write to
        // freeze the window if it ran on the window's thread.
        QImage big(6000, 4000, QImage::Format_RGB32);
        for (int y = 0; y < big.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(big.scanLine(y));
            for (int x = 0; x < big.width(); ++x) line[x] = qRgb(x * 255 / 6000, y * 255 / 4000, (x ^ y) & 255);
        }
        QVERIFY(big.save(QDir(pictures_->path()).filePath(QStringLiteral("big.jpg")), "JPEG", 90));
        StampTitlesAndSave(1, CommandId::Save);
    }

    void loadingALargeFolderKeepsTheWindowTurning()
    {
        QTemporaryDir large;
        QVERIFY(CopyPicture(GuiTest::Samples(QStringLiteral("cameras/Canon_40D.jpg")), large.path(), 600));
        GuiTest::RunningProgram program;
        QVERIFY(program.Start(pictures_->path()));
        CMainFrame& frame = program.App->Frame();
        CCorvaneDoc& doc = program.App->Document();
        QVERIFY(ShowSettled(frame));

        CGapMeter meter;
        QSignalSpy handled(&program.App->UserInterface(), &CQtDocumentUserInterface::CommandHandled);
        frame.Browser()->NavigateTo(large.path());
        meter.Start();
        QVERIFY(QTest::qWaitFor([&] { return doc.Count() == 600 && handled.contains({kCommandLoadFolder}); }, 60000));
        const qint64 gap = meter.Stop();
        QVERIFY2(gap < 100, qPrintable(QStringLiteral("the window stood still %1 ms").arg(gap)));
        for (int i = 0; i < doc.Count(); ++i) QVERIFY(doc.Item(i).Current());
    }

private:
    std::unique_ptr<QTemporaryDir> config_, pictures_, cache_;
};

QTEST_MAIN(ResponsivenessTest)
#include "ResponsivenessTest.moc"
