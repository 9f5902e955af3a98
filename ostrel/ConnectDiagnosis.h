// Why a connection to the service failed. The HTTP client reports every
// failed connect as "no route to host"; a plain connect of our own tells a
// refused connection from an unreachable network or a silent host.
// Internal to the library.
#pragma once

#include <chrono>
#include <string>
#include <system_error>

// Connects to host:port once, within `limit`, and closes again; the
// OstrelErrc failure it met, or no error when the connection was made.
std::error_code DiagnoseConnect(const std::string& host, int port, std::chrono::milliseconds limit);
