// The address options (source, account and its Test, service, time
// allowed), the first-use account question and the run's status message.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>

#include "AddressOptionsBox.h"
#include "GeoNamesAccountDialog.h"
#include "LoopbackServer.h"
#include "QtDocumentUserInterface.h"
#include "SettingsStore.h"

class AddressOptionsTest : public QObject {
    Q_OBJECT

private slots:
    void showsAndStoresTheSettings()
    {
        CMemorySettingsStore settings;
        WriteDefaultSettings(settings);
        settings.SetString("GeoNamesUser", L"tqvk517");  // the placeholder of older settings: no account
        CAddressOptionsBox box(settings);
        QCOMPARE(box.userName->text(), QString());
        QCOMPARE(box.source->currentIndex(), 0);
        QCOMPARE(box.timeout->value(), 10);
        box.userName->setText(QStringLiteral(" photographer "));
        box.source->setCurrentIndex(1);
        box.timeout->setValue(25);
        box.WriteSettings(settings);
        QCOMPARE(settings.GetString("GeoNamesUser", L""), std::wstring(L"photographer"));
        QCOMPARE(settings.GetString("AddressSource", L""), std::wstring(L"Offline"));
        QCOMPARE(settings.GetInt("GeoNamesTimeout", 0), 25);
        CAddressOptionsBox again(settings);
        QCOMPARE(again.source->currentIndex(), 1);
        QCOMPARE(again.userName->text(), QStringLiteral("photographer"));
    }

    void testSaysWhatTheServiceSaid_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("said");
        QTest::newRow("works") << "<geonames><geoname><name>Zurich</name></geoname></geonames>" << "works";
        QTest::newRow("unknown") << "<geonames><status message=\"user does not exist.\" value=\"10\"/></geonames>"
                                 << "unknown account";
        QTest::newRow("not enabled")
            << "<geonames><status message=\"user account not enabled to use the free webservice.\" value=\"10\"/>"
               "</geonames>"
            << "web services not enabled for this account";
    }
    void testSaysWhatTheServiceSaid()
    {
        QFETCH(QString, answer);
        QFETCH(QString, said);
        const std::string body = answer.toStdString();
        CLoopbackServer server([&](CLoopbackServer::Connection& c) {
            c.Send("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\nContent-Length: " +
                   std::to_string(body.size()) + "\r\n\r\n" + body);
        });
        CMemorySettingsStore settings;
        CAddressOptionsBox box(settings);
        box.serverAddress->setText(QString::fromStdWString(server.Address()));
        box.userName->setText(QStringLiteral("someone"));
        QSignalSpy finished(&box, &CAddressOptionsBox::TestFinished);
        QTest::mouseClick(box.testButton, Qt::LeftButton);
        QVERIFY(!box.testButton->isEnabled());  // one test at a time
        QVERIFY(finished.wait(15000));
        QCOMPARE(box.testResult->text(), said);
        QVERIFY(box.testButton->isEnabled());
        QVERIFY(QString::fromStdString(server.LastRequest()).contains(QStringLiteral("&username=someone ")));
    }

    void testWithNobodyListening()
    {
        CMemorySettingsStore settings;
        CAddressOptionsBox box(settings);
        {
            CLoopbackServer gone([](CLoopbackServer::Connection&) {});
            box.serverAddress->setText(QString::fromStdWString(gone.Address()));
        }
        box.userName->setText(QStringLiteral("someone"));
        QSignalSpy finished(&box, &CAddressOptionsBox::TestFinished);
        box.StartTest();
        QVERIFY(finished.wait(15000));
        QCOMPARE(box.testResult->text(), QStringLiteral("connection refused"));
    }

    void accountQuestionSaysWhereAnAccountIsMade()
    {
        CGeoNamesAccountDialog dialog;
        const QList<QLabel*> labels = dialog.findChildren<QLabel*>();
        QString text;
        for (const QLabel* label : labels) text += label->text();
        QVERIFY(text.contains(QStringLiteral("free account on the GeoNames web site")));
        QVERIFY(text.contains(QStringLiteral("enable its free web services")));
        dialog.userName->setText(QStringLiteral("  someone "));
        QCOMPARE(dialog.UserName(), QStringLiteral("someone"));
    }

    void runStatusGoesToTheStatusBar()
    {
        QMainWindow window;
        CQtDocumentUserInterface ui;
        ui.SetOwner(&window);
        QSignalSpy shown(&ui, &CQtDocumentUserInterface::StatusShown);
        ui.ShowStatus(L"Addresses of 2 picture(s): 2 from the offline places");
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Addresses of 2 picture(s): 2 from the offline places"));
        QCOMPARE(shown.count(), 1);
    }

    void aboutCreditsGeoNames()
    {
        QVERIFY(GeoNamesCredit().contains(QStringLiteral("GeoNames")));
        QVERIFY(GeoNamesCredit().contains(QStringLiteral("CC BY 4.0")));
    }
};

QTEST_MAIN(AddressOptionsTest)
#include "AddressOptionsTest.moc"
