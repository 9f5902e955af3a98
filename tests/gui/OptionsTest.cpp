// The options dialog: each control shows the stored value and OK stores the
// control's value; Cancel and unopened pages store nothing; the headers.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTest>
#include <QUrl>

#include "CommandTable.h"
#include "GeneralPage.h"
#include "OptionsDialog.h"
#include "SettingsStore.h"
#include "StampingPage.h"
#include "SupportPage.h"

class OptionsTest : public QObject {
    Q_OBJECT

private:
    static std::wstring W(const char* text) { return QString::fromUtf8(text).toStdWString(); }

private slots:
    void generalCombos_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("combo");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("stored");
        QTest::newRow("Foot (ft)") << "AltUnit" << "altitudeUnit" << 0 << "FT";
        QTest::newRow("Meter (m)") << "AltUnit" << "altitudeUnit" << 1 << "M";
        QTest::newRow("Kilometer (km)") << "AltUnit" << "altitudeUnit" << 2 << "KM";
        QTest::newRow("DD") << "GPSFormat" << "format" << 0 << "DD";
        QTest::newRow("DDM") << "GPSFormat" << "format" << 1 << "DDM";
        QTest::newRow("DMS") << "GPSFormat" << "format" << 2 << "DMS";
        QTest::newRow("light background") << "StampColors" << "colors" << 0 << "LB-DT";
        QTest::newRow("dark background") << "StampColors" << "colors" << 1 << "DB-LT";
        QTest::newRow("Official Use") << "UseOfStamping" << "use" << 0 << "OU";
        QTest::newRow("Personal Use") << "UseOfStamping" << "use" << 1 << "PU";
        QTest::newRow("0.000") << "GPSDecimalPlaces" << "decimals" << 3 << "3";
        QTest::newRow("No Decimal") << "GPSDecimalPlaces" << "decimals" << 0 << "0";
        QTest::newRow("0.00000000") << "GPSDecimalPlaces" << "decimals" << 8 << "8";
    }

    void generalCombos()
    {
        QFETCH(QString, key);
        QFETCH(QString, combo);
        QFETCH(int, index);
        QFETCH(QString, stored);
        const bool integer = key == QLatin1String("GPSDecimalPlaces");
        const auto comboOf = [&](CGeneralPage* page) {
            QComboBox* all[] = {page->format, page->decimals, page->colors, page->altitudeUnit, page->use};
            const char* names[] = {"format", "decimals", "colors", "altitudeUnit", "use"};
            for (int i = 0; i < 5; ++i)
                if (combo == QLatin1String(names[i])) return all[i];
            return static_cast<QComboBox*>(nullptr);
        };
        // Settings to control.
        CMemorySettingsStore settings;
        WriteDefaultSettings(settings);
        if (integer)
            settings.SetInt(key.toStdString(), stored.toInt());
        else
            settings.SetString(key.toStdString(), stored.toStdWString());
        {
            COptionsDialog dialog(settings, CommandId::LookBlue, 0);
            QCOMPARE(comboOf(dialog.General())->currentIndex(), index);
        }
        // Control to settings.
        CMemorySettingsStore written;
        WriteDefaultSettings(written);
        written.SetString(key.toStdString(), L"none of them");
        COptionsDialog dialog(written, CommandId::LookBlue, 0);
        comboOf(dialog.General())->setCurrentIndex(index);
        dialog.accept();
        const QString actual = integer ? QString::number(written.GetInt(key.toStdString(), -1))
                                       : QString::fromStdWString(written.GetString(key.toStdString(), L""));
        QCOMPARE(actual, stored);
    }

    void savingChoiceAndSubFolder_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("overwrite");
        QTest::addColumn<QString>("stored");
        QTest::newRow("name kept") << "Geotagged" << false << "Geotagged";
        QTest::newRow("blank becomes Stamped") << "  \t" << true << "Stamped";
        QTest::newRow("empty becomes Stamped") << "" << false << "Stamped";
        QTest::newRow("trimmed") << "\r\n Out \t" << true << "Out";
    }

    void savingChoiceAndSubFolder()
    {
        QFETCH(QString, typed);
        QFETCH(bool, overwrite);
        QFETCH(QString, stored);
        CMemorySettingsStore settings;
        WriteDefaultSettings(settings);
        COptionsDialog dialog(settings, CommandId::LookBlue, 0);
        QVERIFY(dialog.General()->subFolder->isChecked());  // the default, 1
        (overwrite ? dialog.General()->overwrite : dialog.General()->subFolder)->setChecked(true);
        dialog.General()->subFolderName->setText(typed);
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(QString::fromStdWString(settings.GetString("ModifiedPicsLocation", L"")), stored);
        QCOMPARE(settings.GetInt("OverwriteOriginalPics", -1), overwrite ? 0 : 1);
    }

    void subFolderThatLeavesTheFolderIsRefused_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("slash") << "a/b";
        QTest::newRow("backslash") << "a\\b";
        QTest::newRow("dot") << ".";
        QTest::newRow("dot dot") << " .. ";
        QTest::newRow("absolute") << "/tmp";
    }

    void subFolderThatLeavesTheFolderIsRefused()
    {
        QFETCH(QString, typed);
        CMemorySettingsStore settings;
        WriteDefaultSettings(settings);
        COptionsDialog dialog(settings, CommandId::LookBlue, 0);
        QString message;
        dialog.SetMessageSink([&](const QString& text) { message = text; });
        dialog.General()->subFolderName->setText(typed);
        dialog.General()->use->setCurrentIndex(1);
        dialog.accept();
        QVERIFY(!message.isEmpty());
        QVERIFY(dialog.result() != QDialog::Accepted);
        // Nothing is written while a value is refused.
        QCOMPARE(settings.GetString("ModifiedPicsLocation", L""), std::wstring(L"Modified"));
        QCOMPARE(settings.GetString("UseOfStamping", L""), std::wstring(L"OU"));
    }

    void stampingPageBothWays_data()
    {
        QTest::addColumn<bool>("flip");
        QTest::newRow("as the defaults") << false;
        QTest::newRow("every control changed") << true;
    }

    void stampingPageBothWays()
    {
        QFETCH(bool, flip);
        CMemorySettingsStore settings;
        WriteDefaultSettings(settings);
        COptionsDialog dialog(settings, CommandId::LookBlue, 0);
        dialog.ShowPage(1);
        CStampingPage* page = dialog.Stamping();
        const char* gps[] = {"GPSStampngIncGPSCoord", "GPSStampngIncAlt", "GPSStampngIncDateTaken",
                             "GPSStampngIncImgDirc", "GPSStampngIncMeasPrec"};
        const char* address[] = {"AddrStampngIncGPSCoord", "AddrStampngIncAlt", "AddrStampngIncDateTaken",
                                 "AddrStampngIncImgDirc", "AddrStampngIncMeasPrec"};
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(page->gpsIncludes[i]->isChecked(), DefaultInt(gps[i]) == 1);
            QCOMPARE(page->addressIncludes[i]->isChecked(), DefaultInt(address[i]) == 1);
            if (flip) {
                page->gpsIncludes[i]->toggle();
                page->addressIncludes[i]->toggle();
            }
        }
        QVERIFY(page->bottom[0]->isChecked() && page->bottom[1]->isChecked() && page->top[2]->isChecked());
        QCOMPARE(page->dateTime->currentIndex(), 1);
        if (flip) {
            page->top[0]->setChecked(true);
            page->top[1]->setChecked(true);
            page->bottom[2]->setChecked(true);
            page->dateTime->setCurrentIndex(0);
        }
        dialog.accept();
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(settings.GetInt(gps[i], -1), flip ? 1 - DefaultInt(gps[i]) : DefaultInt(gps[i]));
            QCOMPARE(settings.GetInt(address[i], -1), flip ? 1 - DefaultInt(address[i]) : DefaultInt(address[i]));
        }
        QCOMPARE(settings.GetString("GPSStampngLocation", L""), std::wstring(flip ? L"top" : L"bot"));
        QCOMPARE(settings.GetString("AddrStampngLocation", L""), std::wstring(flip ? L"top" : L"bot"));
        QCOMPARE(settings.GetString("TitleStampngLocation", L""), std::wstring(flip ? L"bot" : L"top"));
        QCOMPARE(settings.GetString("DateTime", L""), std::wstring(flip ? L"Date" : L"DateTime"));
    }

    void cancelWritesNothing()
    {
        CMemorySettingsStore settings;
        COptionsDialog dialog(settings, CommandId::LookBlue, 0);
        dialog.ShowPage(1);
        dialog.General()->altitudeUnit->setCurrentIndex(0);
        dialog.General()->subFolderName->setText(QStringLiteral("x"));
        dialog.Stamping()->gpsIncludes[0]->toggle();
        dialog.Stamping()->bottom[2]->setChecked(true);
        dialog.reject();
        QCOMPARE(settings.Size(), size_t{0});
    }

    void unopenedPageWritesNothing()
    {
        CMemorySettingsStore settings;
        COptionsDialog dialog(settings, CommandId::LookBlue, 0);
        dialog.accept();  // only the General page was shown
        QVERIFY(settings.Has("AltUnit"));
        QVERIFY(!settings.Has("GPSStampngIncGPSCoord"));
        QVERIFY(!settings.Has("TitleStampngLocation"));
    }

    void lookAndScreentips()
    {
        CMemorySettingsStore settings;
        COptionsDialog dialog(settings, CommandId::LookSilver, 2);
        QCOMPARE(dialog.General()->scheme->currentIndex(), 2);
        QCOMPARE(dialog.General()->screentip->currentIndex(), 2);
        dialog.General()->scheme->setCurrentIndex(4);
        dialog.General()->screentip->setCurrentIndex(1);
        QCOMPARE(dialog.Look(), CommandId::LookWindows7);
        QCOMPARE(dialog.Screentips(), 1);
    }

    void geocodingService()
    {
        CMemorySettingsStore settings;
        WriteDefaultSettings(settings);
        COptionsDialog dialog(settings, CommandId::LookBlue, 0);
        QCOMPARE(dialog.General()->geoNamesServer->text(), QStringLiteral("http://api.geonames.org/"));
        dialog.General()->geoNamesUser->setText(QStringLiteral(" someone "));
        dialog.General()->geoNamesServer->setText(QStringLiteral("http://127.0.0.1:8080/"));
        dialog.accept();
        QCOMPARE(settings.GetString("GeoNamesUser", L""), std::wstring(L"someone"));
        QCOMPARE(settings.GetString("GeoNamesServer", L""), std::wstring(L"http://127.0.0.1:8080/"));
    }

    void headers_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("header");
        QTest::newRow("General") << 0 << "General Options";
        QTest::newRow("Stamping")
            << 1 << "For deferent types of stamping, include more information and specify the location of stamping";
        QTest::newRow("Support") << 2 << "Contact us for help and support";
    }

    void headers()
    {
        QFETCH(int, page);
        QFETCH(QString, header);
        CMemorySettingsStore settings;
        COptionsDialog dialog(settings, CommandId::LookBlue, 0);
        QCOMPARE(dialog.Navigation()->width(), 124);
        QCOMPARE(dialog.Navigation()->count(), 3);
        dialog.Navigation()->setCurrentRow(page);
        QCOMPARE(dialog.CurrentPage(), page);
        QCOMPARE(dialog.HeaderText(), header);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Options"));
    }

    // At its opening size every page fits the dialog's width: nothing is cut
    // at the right edge and no page needs a horizontal scroll bar.
    void pagesFitTheDialogsWidth()
    {
        CMemorySettingsStore settings;
        COptionsDialog dialog(settings, CommandId::LookBlue, 0);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        for (int page = 0; page < 3; ++page) {
            dialog.ShowPage(page);
            auto* scroll = qobject_cast<QScrollArea*>(dialog.Pages()->currentWidget());
            QVERIFY(scroll);
            QCoreApplication::processEvents();
            QVERIFY2(scroll->widget()->minimumSizeHint().width() <= scroll->viewport()->width(),
                     qPrintable(QStringLiteral("page %1 needs %2 px, has %3").arg(page)
                                    .arg(scroll->widget()->minimumSizeHint().width())
                                    .arg(scroll->viewport()->width())));
            QVERIFY(!scroll->horizontalScrollBar()->isVisible());
        }
    }

    void supportPageOffersOnlyTheProjectAddresses()
    {
        CMemorySettingsStore settings;
        COptionsDialog dialog(settings, CommandId::LookBlue, 0);
        QCOMPARE(dialog.Support()->reportProblem->toolTip(), CSupportPage::IssuesUrl());
        QCOMPARE(dialog.Support()->visitHome->toolTip(), CSupportPage::HomeUrl());
        // Real pages, set once: no placeholder host, and the issue page lies under the home page.
        for (const QString& url : {CSupportPage::HomeUrl(), CSupportPage::IssuesUrl()}) {
            QVERIFY2(QUrl(url).isValid() && QUrl(url).scheme() == QLatin1String("https"), qPrintable(url));
            QVERIFY2(!QUrl(url).host().endsWith(QLatin1String("example.org")), qPrintable(url));
        }
        QVERIFY(CSupportPage::IssuesUrl().startsWith(CSupportPage::HomeUrl() + QLatin1Char('/')));
        // No two buttons that look alike and do the same.
        QSet<QString> labels;
        for (QPushButton* button : dialog.Support()->findChildren<QPushButton*>()) {
            QVERIFY2(!labels.contains(button->text()), qPrintable(button->text()));
            labels.insert(button->text());
        }
        for (QLabel* label : dialog.Support()->findChildren<QLabel*>()) {
            QVERIFY2(!label->text().contains(QLatin1String("mailto:")), qPrintable(label->text()));
            QVERIFY2(!label->text().contains(QLatin1Char('@')), qPrintable(label->text()));
        }
    }
};

QTEST_MAIN(OptionsTest)
#include "OptionsTest.moc"
