// The three stamping commands: the selected pictures each get one stamping
// operation, handed to the document as a pending change. Nothing is drawn
// until the pictures are saved.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "CorvaneDoc.h"

struct StampCommandContext {
    CCorvaneDoc& Doc;
    IDocumentUserInterface& Ui;
    const ISettingsStore& Settings;  // must outlive the queued stamps
};

// Asks for the title and its reading order; false when cancelled.
using TitleQuestion = std::function<bool(std::wstring& title, bool& rightToLeft)>;

// Each returns true when stamps were queued.
bool StampGPS(const StampCommandContext& context, const std::vector<int>& selected);
bool StampTitle(const StampCommandContext& context, const std::vector<int>& selected, const TitleQuestion& askTitle);
// Retrieves missing addresses first (or asks whether to go on without them).
bool StampAddress(const StampCommandContext& context, const std::vector<int>& selected);
