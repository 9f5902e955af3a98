// The program's logging categories, silent by default: turn them on with
// QT_LOGGING_RULES, for example "corvane.*.warning=true". The warnings that
// non-Qt code and exiv2 pass to LogWarning arrive here once
// InstallLogCategories has run (the document does so when it is made).
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcMetadata)  // corvane.metadata: reading pictures, exiv2's own warnings
Q_DECLARE_LOGGING_CATEGORY(lcSave)      // corvane.save: saves that fail or warn

void InstallLogCategories();
