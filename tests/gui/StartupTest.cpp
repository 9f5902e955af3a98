// Start-up: the first run writes every setting with its default, a profile
// that already has one is left alone, and the window starts on the folder
// browser with the metadata view hidden.
#include <QTest>

#include "ExplorerBrowserView.h"
#include "GuiTestSupport.h"
#include "MainFrame.h"
#include "SettingsStore.h"

class StartupTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir config_;
    QTemporaryDir folder_;

    QMap<QString, QString> firstRun_;  // section "Settings" as the first run left it
    bool firstRunWroteDefaults_ = false;

    QString IniPath() const { return config_.filePath(QStringLiteral("Halvorn/Corvane.ini")); }

private slots:
    void initTestCase()
    {
        GuiTest::UseSettingsIn(config_.path());
        GuiTest::RunningProgram program;
        QVERIFY(program.Start(folder_.path()));
        firstRunWroteDefaults_ = program.App->WroteDefaults();
        QSettings ini(IniPath(), QSettings::IniFormat);
        ini.beginGroup(QStringLiteral("Settings"));
        for (const QString& key : ini.childKeys()) firstRun_[key] = ini.value(key).toString();
    }

    void init() { QFile::remove(IniPath()); }

    void firstRunWritesEveryKey_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("expected");
        const QVariantList defaults{"M", 6, "DD", "DB-LT", "OU", 1, "Modified", 1, 1, 1, 0, 1, "bot", "DateTime",
                                    1, 1, 1, 0, 0, "bot", "top", 1, 3};
        const char* const keys[] = {"AltUnit", "GPSDecimalPlaces", "GPSFormat", "StampColors", "UseOfStamping",
                                    "OverwriteOriginalPics", "ModifiedPicsLocation", "GPSStampngIncGPSCoord",
                                    "GPSStampngIncAlt", "GPSStampngIncDateTaken", "GPSStampngIncImgDirc",
                                    "GPSStampngIncMeasPrec", "GPSStampngLocation", "DateTime",
                                    "AddrStampngIncGPSCoord", "AddrStampngIncAlt", "AddrStampngIncDateTaken",
                                    "AddrStampngIncImgDirc", "AddrStampngIncMeasPrec", "AddrStampngLocation",
                                    "TitleStampngLocation", "FSysGPSMLV", "Filtering"};
        for (int i = 0; i < defaults.size(); ++i) QTest::newRow(keys[i]) << keys[i] << defaults[i];
    }

    void firstRunWritesEveryKey()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, expected);
        QVERIFY(firstRunWroteDefaults_);
        QVERIFY2(firstRun_.contains(key), qPrintable(key));
        QCOMPARE(firstRun_.value(key), expected.toString());
    }

    void profileWithTheMarkerKeyIsLeftAlone()
    {
        {
            QSettings ini(IniPath(), QSettings::IniFormat);
            ini.setValue(QStringLiteral("Settings/GPSStampngIncGPSCoord"), 0);
        }
        GuiTest::RunningProgram program;
        QVERIFY(program.Start(folder_.path()));
        QVERIFY(!program.App->WroteDefaults());
        QSettings ini(IniPath(), QSettings::IniFormat);
        QCOMPARE(ini.value(QStringLiteral("Settings/GPSStampngIncGPSCoord")).toInt(), 0);
        QVERIFY(!ini.contains(QStringLiteral("Settings/AltUnit")));
    }

    void startsOnTheFolderBrowser()
    {
        GuiTest::RunningProgram program;
        QVERIFY(program.Start(folder_.path()));
        CMainFrame& frame = program.App->Frame();
        QCOMPARE(frame.Active(), CMainFrame::FolderBrowser);
        QVERIFY(!frame.ContextTabShown());
        QCOMPARE(frame.Browser()->CurrentFolder(), QFileInfo(folder_.path()).absoluteFilePath());
        QCOMPARE(program.App->Document().CurrentFolder(), QFileInfo(folder_.path()).absoluteFilePath().toStdString());
    }
};

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
