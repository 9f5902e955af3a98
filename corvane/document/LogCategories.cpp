#include "LogCategories.h"

#include <QString>

#include "LogSink.h"

Q_LOGGING_CATEGORY(lcMetadata, "corvane.metadata", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcSave, "corvane.save", QtCriticalMsg)

namespace {

void ToCategory(LogArea area, const std::string& text)
{
    const QLoggingCategory& category = area == LogArea::Save ? lcSave() : lcMetadata();
    qCWarning(category).noquote() << QString::fromStdString(text);
}

}  // namespace

void InstallLogCategories()
{
    SetLogSink(&ToCategory);
}
