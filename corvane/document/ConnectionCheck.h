// Whether a web service can be reached: a TCP connection to the host and
// port of its address, with a short time-out. Nothing is sent.
#pragma once

#include <string>

// "http://host[:port]/path" or "https://..."; false for an address that does not parse.
bool CanConnectTo(const std::string& address, int timeoutMilliseconds = 3000);
