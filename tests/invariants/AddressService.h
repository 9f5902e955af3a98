// A local GeoNames service on 127.0.0.1 that answers every nearby-place
// request with the address of Edits.h.
#pragma once

#include <memory>
#include <string>

namespace invariants {

class AddressService {
public:
    AddressService();
    ~AddressService();
    AddressService(const AddressService&) = delete;
    AddressService& operator=(const AddressService&) = delete;
    std::string Url() const;

private:
    struct Listener;
    int port_;
    std::unique_ptr<Listener> listener_;
};

}  // namespace invariants
