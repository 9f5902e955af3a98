#include "LogSink.h"

#include <atomic>

namespace {

std::atomic<LogSinkFunction> installedSink{nullptr};

}  // namespace

void SetLogSink(LogSinkFunction sink)
{
    installedSink.store(sink, std::memory_order_release);
}

void LogWarning(LogArea area, const std::string& text)
{
    if (LogSinkFunction sink = installedSink.load(std::memory_order_acquire))
        sink(area, text);
}
