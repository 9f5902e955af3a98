// Edits the document tests make the way the views do: one change unit.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "CorvaneDoc.h"
#include "ImageMetadataManipulationOperation.h"

// Sets the latitude of the pictures at `indices` in one change.
inline void SetLatitudeOf(CCorvaneDoc& doc, const std::vector<int>& indices, double value)
{
    std::vector<MetadataChange> changes;
    for (size_t i = 0; i < indices.size(); ++i) {
        MetadataChange c;
        c.Operation = std::make_unique<CImageMetadataManipulationOperation>();
        c.Updates.push_back(std::make_unique<UpdateEntry>());
        c.Updates.back()->Field = LatitudeField;
        c.Updates.back()->Number = value;
        changes.push_back(std::move(c));
    }
    doc.ApplyMetadataChange(indices, std::move(changes));
}
