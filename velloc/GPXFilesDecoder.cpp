#include "GPXFilesDecoder.h"

#include "ElementReader.h"
#include "GPXDecoderTables.h"
#include "GPXNamespaces.h"
#include "StringUtil.h"
#include "XmlPullReader.h"

struct CGPXFilesDecoder::Impl {
    CXmlPullReader reader;
    std::wstring errorText;
    std::size_t invalidPoints = 0;
    std::size_t skippedTimes = 0;
};

CGPXFilesDecoder::CGPXFilesDecoder(const std::wstring& path_) : path(path_) {}

CGPXFilesDecoder::~CGPXFilesDecoder() = default;

long CGPXFilesDecoder::Initialize()
{
    auto opened = std::make_unique<Impl>();
    const HRESULT hr = opened->reader.OpenFile(WideToUtf8(path));
    if (FAILED(hr))
        return hr;
    impl = std::move(opened);
    initialized = true;
    return hr;
}

bool CGPXFilesDecoder::HasGarminExtensions()
{
    return garminExtensions;
}

std::size_t CGPXFilesDecoder::GetInvalidPointCount() const
{
    return impl ? impl->invalidPoints : 0;
}

std::size_t CGPXFilesDecoder::GetSkippedTimeCount() const
{
    return impl ? impl->skippedTimes : 0;
}

std::wstring CGPXFilesDecoder::GetErrorText() const
{
    return impl ? impl->errorText : std::wstring();
}

void CGPXFilesDecoder::Finalize()
{
    impl.reset();
}

long CGPXFilesDecoder::ReadGPXRoot(GPXRoot** root)
{
    if (!initialized)
        throw CUnInitializedException(L"The decoder is not initialized");
    *root = nullptr;
    if (!impl)
        return XML_E_NOINPUT;  // finalised
    CXmlPullReader& reader = impl->reader;
    auto tree = std::make_unique<GPXRoot>();

    HRESULT hr;
    while ((hr = reader.Read()) == S_OK && reader.NodeType() != XmlNodeType::Element) {
    }
    // A well-formed document with another root is not a GPX file; reading it
    // as an empty one would report success for the wrong input.
    if (hr == S_OK && reader.LocalName() != L"gpx") {
        impl->errorText = L"not a GPX file (the root element is <" + reader.LocalName() + L">)";
        return VELLOC_E_NOTGPX;
    }
    if (hr == S_OK) {
        CXAttributeList attributes;
        ReadAttributes(reader, &attributes);
        for (const auto& attribute : attributes) {
            if (attribute->localName == L"version")
                tree->version = attribute->value;
            else if (attribute->localName == L"creator")
                tree->creator = attribute->value;
            else if (attribute->prefix == L"xmlns" && attribute->value == kGarminNamespace)
                garminExtensions = true;
        }
        const std::wstring rootNamespace = reader.NamespaceUri();
        CGPXDecoderTables tables(reader);
        hr = tables.ReadRoot(*tree, rootNamespace);
        garminExtensions = garminExtensions || tables.ReadGarminRecords();
        tree->hasGarminExtensions = garminExtensions ? 1 : 0;
        impl->invalidPoints = tables.InvalidPoints();
        impl->skippedTimes = tables.SkippedTimes();
    }
    if (hr != S_OK) {
        if (hr == S_FALSE)
            impl->errorText = L"the file ends before the GPX document is closed";
        else
            impl->errorText = Utf8ToWide(reader.ErrorText().empty() ? "malformed XML" : reader.ErrorText());
        return hr;
    }
    impl->errorText.clear();
    *root = tree.release();
    return S_OK;
}
