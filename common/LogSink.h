// Warnings of code that knows nothing of Qt (metadata reading, saving) and of
// the libraries under it leave through here. The program installs a sink that
// hands them to its logging categories (corvane.metadata, corvane.save), which
// are silent unless QT_LOGGING_RULES turns them on; without a sink nothing is
// printed. Safe to call from any thread.
#pragma once

#include <string>

enum class LogArea { Metadata, Save };

using LogSinkFunction = void (*)(LogArea area, const std::string& text);

void SetLogSink(LogSinkFunction sink);
void LogWarning(LogArea area, const std::string& text);
