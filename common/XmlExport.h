// Visibility of the XML handler-table classes. They are compiled into both
// shared libraries (which are built with hidden visibility), and each library
// exports them, so the attribute is unconditional.
#pragma once

#define CORVANE_XML_API __attribute__((visibility("default")))
