// A hostile answer of the GeoNames service, as the client hands it to the parser.
#include <cstring>
#include <memory>

#include "FuzzEntries.h"
#include "GeoNamesXmlParser.h"

int FuzzGeoNames(const std::uint8_t* data, std::size_t size)
{
    if (size > UINT32_MAX) return 0;
    char* bytes = new char[size ? size : 1];
    if (size) std::memcpy(bytes, data, size);
    CGeoNamesXmlParser parser(bytes, static_cast<std::uint32_t>(size));
    if (parser.Initialize() < 0) return 0;
    CGeoNames* names = nullptr;
    parser.ReadGeoNames(&names);
    std::unique_ptr<CGeoNames> owned(names);
    parser.Finalize();
    return 0;
}
