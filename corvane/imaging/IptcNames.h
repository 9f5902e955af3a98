// Item names of IPTC datasets in a block: "/{str=City}" and the like for the
// datasets the geotag uses (IPTC IIM record 2), "/{str=Record.Name}" for others.
#pragma once

#include <cstdint>
#include <string>

struct IptcDataset {
    std::uint16_t Record;
    std::uint16_t Number;
};

constexpr IptcDataset kIptcCharacterSet{1, 90};  // ESC % G says UTF-8
extern const char* const kIptcCharacterSetName;  // "/{str=CodedCharacterSet}"
extern const char* const kIptcUtf8Marker;        // "\x1B%G"

// The item name for a dataset; `fallbackName` is the dataset's own name.
std::string IptcItemName(IptcDataset dataset, const std::string& recordName, const std::string& fallbackName);
// The dataset of a name made by IptcItemName for the named datasets; false for others.
bool IptcDatasetOfName(const std::string& name, IptcDataset& dataset);
