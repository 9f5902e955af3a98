#include "AddressService.h"

// gtest before cpprest: cpprest defines a macro U that gtest uses as a name.
#include "TestSupport.h"

#include <cpprest/http_listener.h>

#include "Edits.h"

namespace invariants {

using namespace web::http;

struct AddressService::Listener {
    explicit Listener(const std::string& url) : Http(url) {}
    experimental::listener::http_listener Http;
};

namespace {

std::string Place(const std::string& name, const char* kind)
{
    const GeocodedAddress a;
    return "<geoname><toponymName>" + name + "</toponymName><name>" + name +
           "</name><lat>43.46</lat><lng>11.88</lng><countryCode>" + a.CountryCode + "</countryCode><countryName>" +
           a.Country + "</countryName><fcl>" + kind + "</fcl><adminName1>" + a.State + "</adminName1></geoname>";
}

}  // namespace

AddressService::AddressService()
    : port_(testsupport::FreeLoopbackPort()), listener_(new Listener("http://127.0.0.1:" + std::to_string(port_) + "/"))
{
    const GeocodedAddress a;
    const std::string answer = "<geonames>" + Place(a.City, "P") + Place(a.SubLocation, "S") + "</geonames>";
    listener_->Http.support([answer](http_request request) { request.reply(status_codes::OK, answer, "text/xml;charset=UTF-8"); });
    listener_->Http.open().wait();
}

AddressService::~AddressService()
{
    listener_->Http.close().wait();
}

std::string AddressService::Url() const
{
    return "http://127.0.0.1:" + std::to_string(port_) + "/";
}

}  // namespace invariants
