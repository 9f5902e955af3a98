// The program's warnings reach its logging categories, which say nothing
// until a rule turns them on.
#include <gtest/gtest.h>

#include <QLoggingCategory>
#include <QString>
#include <QStringList>

#include "LogCategories.h"
#include "LogSink.h"

namespace {

QStringList captured;

void Capture(QtMsgType, const QMessageLogContext& context, const QString& text)
{
    captured << QString::fromLatin1(context.category) + QStringLiteral(": ") + text;
}

class LogCategoriesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        captured.clear();
        previous_ = qInstallMessageHandler(Capture);
        InstallLogCategories();
    }
    void TearDown() override
    {
        QLoggingCategory::setFilterRules(QString());
        qInstallMessageHandler(previous_);
        SetLogSink(nullptr);
    }

private:
    QtMessageHandler previous_ = nullptr;
};

TEST_F(LogCategoriesTest, SilentByDefault)
{
    LogWarning(LogArea::Metadata, "metadata left unread: bad IFD");
    LogWarning(LogArea::Save, "P1.jpg: not written: disk full");
    EXPECT_TRUE(captured.isEmpty()) << captured.join('\n').toStdString();
}

TEST_F(LogCategoriesTest, ARuleTurnsOnOneArea)
{
    QLoggingCategory::setFilterRules(QStringLiteral("corvane.save.warning=true"));
    LogWarning(LogArea::Metadata, "metadata left unread: bad IFD");
    LogWarning(LogArea::Save, "P1.jpg: not written: disk full");
    EXPECT_EQ(QStringList{QStringLiteral("corvane.save: P1.jpg: not written: disk full")}, captured)
        << captured.join('\n').toStdString();
}

TEST_F(LogCategoriesTest, EachAreaHasItsCategory)
{
    QLoggingCategory::setFilterRules(QStringLiteral("corvane.*.warning=true"));
    LogWarning(LogArea::Metadata, "exiv2: entry out of bounds");
    LogWarning(LogArea::Save, "P1.jpg: not written: disk full");
    EXPECT_EQ((QStringList{QStringLiteral("corvane.metadata: exiv2: entry out of bounds"),
                           QStringLiteral("corvane.save: P1.jpg: not written: disk full")}),
              captured)
        << captured.join('\n').toStdString();
}

}  // namespace
