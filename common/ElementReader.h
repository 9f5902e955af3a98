// The walk that both XML readers use to read one element through a handler
// table, and the attribute collector it calls.
//
// ReadElement is entered with the reader on an element's start tag. It walks
// the element's content until the first end tag carrying the element's own
// name (an empty table stops at the first end tag of any name):
// - a start tag whose name is a complex key calls that handler; other start
//   tags are not skipped, so the children of an unrecognised element are
//   matched as if they were direct children;
// - a text node (also CDATA) under a simple key calls that handler once with
//   the text trimmed of space, tab, CR and LF;
// - handler results are ignored; a reader failure or the end of input ends
//   the walk with the reader's code (negative, or S_FALSE).
#pragma once

#include <memory>
#include <vector>

#include "GPXMap.h"
#include "HResult.h"
#include "XElement.h"

class CXmlPullReader;

using CXAttributeList = std::vector<std::unique_ptr<CXAttribute>>;

HRESULT ReadElement(CXmlPullReader& reader, GPXMap& table, CXAttributeList* attributes);

// Collects the current element's attributes (those not coming from a
// default) into `attributes` and returns to the element. S_FALSE when no list
// was passed or the element has none.
HRESULT ReadAttributes(CXmlPullReader& reader, CXAttributeList* attributes);

// Removes space, tab, CR and LF from both ends.
void TrimXmlSpace(std::wstring& text);
