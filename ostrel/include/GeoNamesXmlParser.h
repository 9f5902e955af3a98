// Reads a GeoNames XML answer from a byte buffer into a CGeoNames list. Every
// element named below is recognised wherever the answer holds it, whatever
// style was asked for; all others are ignored.
//
// Use: construct over bytes allocated with new[] (the parser owns them),
// Initialize, ReadGeoNames once if Initialize did not fail, Finalize.
#pragma once

#include <cstdint>
#include <memory>

#include "GeoNames.h"
#include "HResult.h"
#include "OstrelExport.h"
#include "UnInitializedException.h"

class CXmlPullReader;

class OSTREL_API CGeoNamesXmlParser {
public:
    // Takes ownership of `data` (freed with delete[]); reads `size` bytes.
    CGeoNamesXmlParser(char* data, std::uint32_t size);
    // Frees what Finalize has not freed yet.
    ~CGeoNamesXmlParser();
    CGeoNamesXmlParser(const CGeoNamesXmlParser&) = delete;
    CGeoNamesXmlParser& operator=(const CGeoNamesXmlParser&) = delete;

    // Prepares the reader (DTDs prohibited); the failing step's code.
    long Initialize();

    // S_OK with a new list in *out (empty when the answer names no place).
    // Otherwise *out is null: the reader's failure code (malformed XML, a
    // DOCTYPE) or S_FALSE for an answer that ends before its root element is
    // closed. Before a successful Initialize: CUnInitializedException.
    long ReadGeoNames(CGeoNames** out);

    // Releases the reader and frees the bytes; returns 0.
    long Finalize();

private:
    struct Tables;
    std::unique_ptr<CXmlPullReader> reader;
    char* data;
    std::uint32_t size;
    bool initialized = false;
};
