#include "OstrelErrors.h"

#include <string>

namespace {

struct ErrorText {
    OstrelErrc Code;
    const char* Message;
    std::errc Condition;
};

// One table for the messages and the portable conditions they stand for.
const ErrorText kErrors[] = {
    {OstrelErrc::NoAccount, "no GeoNames account is set", std::errc::operation_not_permitted},
    {OstrelErrc::BadAddress, "the service address is not a valid http address", std::errc::invalid_argument},
    {OstrelErrc::HostNotFound, "host not found", std::errc::host_unreachable},
    {OstrelErrc::ConnectionRefused, "connection refused", std::errc::connection_refused},
    {OstrelErrc::NetworkUnreachable, "network unreachable", std::errc::network_unreachable},
    {OstrelErrc::TimedOut, "no complete answer in time", std::errc::timed_out},
    {OstrelErrc::CutOff, "the answer was cut off", std::errc::connection_aborted},
    {OstrelErrc::ConnectionReset, "the connection was reset", std::errc::connection_reset},
    {OstrelErrc::AnswerTooLong, "the answer is too long", std::errc::message_size},
    {OstrelErrc::RedirectedElsewhere, "the service redirected the request to another host",
     std::errc::permission_denied},
    {OstrelErrc::TooManyRedirects, "the service redirected the request too often", std::errc::too_many_links},
    {OstrelErrc::Failed, "the request could not be made", std::errc::io_error},
    {OstrelErrc::IndexMissing, "the offline places index is missing", std::errc::no_such_file_or_directory},
    {OstrelErrc::IndexDamaged, "the offline places index is damaged", std::errc::illegal_byte_sequence},
    {OstrelErrc::Cancelled, "the request was cancelled", std::errc::operation_canceled},
};

const ErrorText* Find(int value)
{
    for (const ErrorText& e : kErrors)
        if (static_cast<int>(e.Code) == value) return &e;
    return nullptr;
}

class OstrelErrorCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "ostrel"; }
    std::string message(int value) const override
    {
        const ErrorText* e = Find(value);
        return e ? e->Message : "unknown failure " + std::to_string(value);
    }
    std::error_condition default_error_condition(int value) const noexcept override
    {
        const ErrorText* e = Find(value);
        return e ? std::make_error_condition(e->Condition) : std::error_condition(value, *this);
    }
};

}  // namespace

const std::error_category& COstrelErrors::Category()
{
    static const OstrelErrorCategory category;
    return category;
}
