#include "IptcNames.h"

namespace {

struct NamedDataset {
    IptcDataset Dataset;
    const char* Name;
};

const NamedDataset kNamed[] = {
    {{2, 92}, "/{str=Sub-location}"},
    {{2, 90}, "/{str=City}"},
    {{2, 95}, "/{str=Province/State}"},
    {{2, 101}, "/{str=Country/Primary Location Name}"},
    {{2, 100}, "/{str=Country/Primary Location Code}"},
    {{1, 90}, "/{str=CodedCharacterSet}"},
};

}  // namespace

const char* const kIptcCharacterSetName = "/{str=CodedCharacterSet}";
const char* const kIptcUtf8Marker = "\x1B%G";

std::string IptcItemName(IptcDataset dataset, const std::string& recordName, const std::string& fallbackName)
{
    for (const auto& n : kNamed)
        if (n.Dataset.Record == dataset.Record && n.Dataset.Number == dataset.Number) return n.Name;
    return "/{str=" + recordName + "." + fallbackName + "}";
}

bool IptcDatasetOfName(const std::string& name, IptcDataset& dataset)
{
    for (const auto& n : kNamed) {
        if (name == n.Name) {
            dataset = n.Dataset;
            return true;
        }
    }
    return false;
}
