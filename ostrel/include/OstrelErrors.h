// The failures of a GeoNames request that are not the service's own answer,
// with messages that say what happened in the user's terms. They compare
// equal to the matching std::errc conditions (timed_out, connection_refused,
// message_size, ...), so callers may test either way.
#pragma once

#include <system_error>

#include "OstrelExport.h"

enum class OstrelErrc {
    NoAccount = 1,        // no account name: nothing was sent
    BadAddress,           // the service address is not an http(s) address
    HostNotFound,         // the name of the service's host does not resolve
    ConnectionRefused,    // nobody listens at the service's address
    NetworkUnreachable,   // no route to the service (no network)
    TimedOut,             // no complete answer before the deadline
    CutOff,               // the connection ended before the whole answer came
    ConnectionReset,      // the service dropped the connection
    AnswerTooLong,        // the answer does not fit the receive buffer
    RedirectedElsewhere,  // the service sent the request to another host
    TooManyRedirects,     // redirected round and round
    Failed,               // any other failure of the exchange
    IndexMissing,         // the offline places index cannot be read
    IndexDamaged,         // the offline places index fails its checks
    Cancelled,            // the caller gave the request up before it ended
};

// The one category of those codes, shared by the library and its users.
struct OSTREL_API COstrelErrors {
    static const std::error_category& Category();
};

inline std::error_code make_error_code(OstrelErrc code)
{
    return {static_cast<int>(code), COstrelErrors::Category()};
}

namespace std {
template <>
struct is_error_code_enum<OstrelErrc> : true_type {};
}  // namespace std
