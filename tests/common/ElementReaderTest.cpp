// The element walk shared by both XML readers: the table, the walk's reading
// rules and the hardening of the pull reader.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ElementReader.h"
#include "GPXMap.h"
#include "XmlPullReader.h"

namespace {

// Opens `xml`, stands on its root element and walks it with a table in
// which every name of `simple` and `complex` records its calls in `calls`.
struct Walk {
    std::string xml;
    std::vector<std::wstring> calls;
    CXmlPullReader reader;
    GPXMap table;

    explicit Walk(std::string text) : xml(std::move(text)) {}

    void Simple(const std::wstring& name)
    {
        table.InsertSimpleHandler(name, [this, name](std::wstring text) {
            calls.push_back(name + L"=" + text);
            return S_OK;
        });
    }
    void Complex(const std::wstring& name)
    {
        table.InsertComplexHandler(name, [this, name](std::wstring text) {
            calls.push_back(name + L"!" + text);
            return S_OK;
        });
    }
    HRESULT Run()
    {
        EXPECT_EQ(S_OK, reader.OpenMemory(xml.data(), xml.size()));
        HRESULT hr;
        while ((hr = reader.Read()) == S_OK && reader.NodeType() != XmlNodeType::Element) {
        }
        return hr == S_OK ? ReadElement(reader, table, nullptr) : hr;
    }
};

struct WalkCase {
    const char* name;
    const char* xml;
    std::vector<std::wstring> simple;
    std::vector<std::wstring> complex;
    HRESULT result;
    std::vector<std::wstring> calls;
};

void PrintTo(const WalkCase& c, std::ostream* out)
{
    *out << c.name;
}

class ReadElementTest : public testing::TestWithParam<WalkCase> {};

TEST_P(ReadElementTest, CallsTheHandlersOfTheRules)
{
    const WalkCase& c = GetParam();
    Walk walk(c.xml);
    for (const auto& name : c.simple)
        walk.Simple(name);
    for (const auto& name : c.complex)
        walk.Complex(name);
    EXPECT_EQ(c.result, walk.Run());
    EXPECT_EQ(c.calls, walk.calls);
}

const WalkCase kWalkCases[] = {
    {"UnrecognisedElementsAreWalkedThrough", "<r><x><a/></x></r>", {}, {L"a"}, S_OK, {L"a!"}},
    {"TextIsTrimmedOnce", "<r>  v  </r>", {L"r"}, {}, S_OK, {L"r=v"}},
    {"TrimsTabsAndLineBreaks", "<r><n>\t\r\n v w\n\t</n></r>", {L"n"}, {}, S_OK, {L"n=v w"}},
    {"OneCallPerTextNode", "<r><n>a<!-- c -->b</n></r>", {L"n"}, {}, S_OK, {L"n=a", L"n=b"}},
    {"CDataIsText", "<r><n><![CDATA[a < b]]></n></r>", {L"n"}, {}, S_OK, {L"n=a < b"}},
    {"EntitiesOfXmlItselfAreText", "<r><n>a &amp; b</n></r>", {L"n"}, {}, S_OK, {L"n=a & b"}},
    {"NamesAreCaseSensitive", "<r><Name>x</Name></r>", {L"name"}, {}, S_OK, {}},
    {"PrefixesAreNotCompared", "<r xmlns:g='urn:g'><g:n>x</g:n></r>", {L"n"}, {}, S_OK, {L"n=x"}},
    {"NestedElementOfTheSameNameEndsTheWalk", "<r><r></r><n>late</n></r>", {L"n"}, {}, S_OK, {}},
    {"EmptyElementReturnsAtOnce", "<r/>", {L"r"}, {}, S_OK, {}},
    {"TextAfterAChildGoesToTheChildsName", "<r><n>a</n>b</r>", {L"n"}, {}, S_OK, {L"n=a", L"n=b"}},
    {"InputEndingInsideTheElement", "<r><n>a</n>", {L"n"}, {}, S_FALSE, {}},
    {"InputEndingInsideATag", "<r><n a='1", {L"n"}, {}, XML_E_MALFORMED, {}},
    {"MalformedInput", "<r><n>a</m></r>", {L"n"}, {}, XML_E_MALFORMED, {}},
    {"UndefinedEntity", "<r><n>&foo;</n></r>", {L"n"}, {}, XML_E_MALFORMED, {}},
};

INSTANTIATE_TEST_SUITE_P(Rules, ReadElementTest, testing::ValuesIn(kWalkCases),
                         [](const testing::TestParamInfo<WalkCase>& info) { return std::string(info.param.name); });

TEST(ReadElement, EmptyTableStopsAtTheFirstEndTag)
{
    Walk walk("<r><x><y>t</y></x><z/></r>");
    EXPECT_EQ(S_OK, walk.Run());
    EXPECT_EQ(XmlNodeType::EndElement, walk.reader.NodeType());
    EXPECT_EQ(L"y", walk.reader.LocalName());
}

TEST(ReadElement, ComplexHandlerReadsItsOwnContent)
{
    Walk walk("<r><p><n>inner</n></p><n>outer</n></r>");
    GPXMap inner;
    inner.InsertSimpleHandler(L"n", [&](std::wstring t) {
        walk.calls.push_back(L"inner:" + t);
        return S_OK;
    });
    walk.table.InsertComplexHandler(L"p", [&](std::wstring) { return ReadElement(walk.reader, inner, nullptr); });
    walk.Simple(L"n");
    EXPECT_EQ(S_OK, walk.Run());
    EXPECT_EQ((std::vector<std::wstring>{L"inner:inner", L"n=outer"}), walk.calls);
}

// Another vocabulary's "n" inside the walked element is skipped with all it
// holds; the text after it still belongs to the element around it.
TEST(ReadElement, ElementsOfOtherNamespacesAreSkippedWhole)
{
    Walk walk("<r xmlns='urn:ours' xmlns:o='urn:other'><n>a</n><o:n>x<n>y</n><o:a/></o:n>b<q><a/></q></r>");
    walk.Simple(L"n");
    walk.Complex(L"a");
    CXmlNamespaceSet ours{L"urn:ours"};
    ASSERT_EQ(S_OK, walk.reader.OpenMemory(walk.xml.data(), walk.xml.size()));
    ASSERT_EQ(S_OK, walk.reader.Read());
    EXPECT_EQ(L"urn:ours", walk.reader.NamespaceUri());
    EXPECT_EQ(S_OK, ReadElement(walk.reader, walk.table, nullptr, &ours));
    EXPECT_EQ((std::vector<std::wstring>{L"n=a", L"n=b", L"a!"}), walk.calls);
}

TEST(ReadElement, SkippingStopsAtTheEndOfTheInput)
{
    const std::string xml = "<r><o:n xmlns:o='urn:other'><n>";
    CXmlPullReader reader;
    ASSERT_EQ(S_OK, reader.OpenMemory(xml.data(), xml.size()));
    ASSERT_EQ(S_OK, reader.Read());
    GPXMap table;
    CXmlNamespaceSet none{L""};
    EXPECT_EQ(S_FALSE, ReadElement(reader, table, nullptr, &none));
}

TEST(ReadElement, DoctypeIsRefusedAndNothingExpanded)
{
    Walk walk("<?xml version='1.0'?><!DOCTYPE r [<!ENTITY e 'EXPANDED'>]><r><n>&e;</n></r>");
    walk.Simple(L"n");
    EXPECT_EQ(XML_E_DTDPROHIBITED, walk.Run());
    EXPECT_TRUE(walk.calls.empty());
    EXPECT_EQ(XML_E_DTDPROHIBITED, walk.reader.Read()) << "the reader stays failed";
}

TEST(ReadElement, ExternalEntitiesAreNeverFetched)
{
    Walk walk("<!DOCTYPE r SYSTEM 'http://127.0.0.1:9/r.dtd'><r><n>x</n></r>");
    walk.Simple(L"n");
    EXPECT_EQ(XML_E_DTDPROHIBITED, walk.Run());
}

TEST(ReadAttributes, CollectsPrefixNameAndValueThenReturnsToTheElement)
{
    const std::string xml = "<r xmlns:g='urn:g' a='1' g:b='&lt;2'/>";
    CXmlPullReader reader;
    ASSERT_EQ(S_OK, reader.OpenMemory(xml.data(), xml.size()));
    ASSERT_EQ(S_OK, reader.Read());
    CXAttributeList attributes;
    EXPECT_EQ(S_OK, ReadAttributes(reader, &attributes));
    ASSERT_EQ(3u, attributes.size());
    EXPECT_EQ(L"xmlns", attributes[0]->prefix);
    EXPECT_EQ(L"g", attributes[0]->localName);
    EXPECT_EQ(L"urn:g", attributes[0]->value);
    EXPECT_EQ(L"a", attributes[1]->localName);
    EXPECT_EQ(L"g", attributes[2]->prefix);
    EXPECT_EQ(L"<2", attributes[2]->value);
    EXPECT_TRUE(attributes[2]->namespaceUri.empty());
    EXPECT_EQ(L"r", reader.LocalName());
    EXPECT_TRUE(reader.IsEmptyElement());
}

TEST(ReadAttributes, NoListOrNoAttributesGivesFalse)
{
    const std::string xml = "<r/>";
    CXmlPullReader reader;
    ASSERT_EQ(S_OK, reader.OpenMemory(xml.data(), xml.size()));
    ASSERT_EQ(S_OK, reader.Read());
    CXAttributeList attributes;
    EXPECT_EQ(S_FALSE, ReadAttributes(reader, &attributes));
    EXPECT_EQ(S_FALSE, ReadAttributes(reader, nullptr));
}

TEST(GPXMap, SecondInsertionReplacesTheHandlerAndCountsTwice)
{
    GPXMap map;
    map.InsertSimpleHandler(L"a", [](std::wstring) { return 1; });
    map.InsertSimpleHandler(L"a", [](std::wstring) { return 2; });
    map.InsertComplexHandler(L"b", [](std::wstring) { return 3; });
    EXPECT_EQ(3u, map.GetSize());
    ASSERT_NE(nullptr, map.FindSimple(L"a"));
    EXPECT_EQ(2, (*map.FindSimple(L"a"))(L""));
    EXPECT_NE(nullptr, map.FindComplex(L"b"));
    EXPECT_EQ(nullptr, map.FindSimple(L"b"));
    EXPECT_EQ(nullptr, map.FindSimple(L"A"));
}

// Numbers and times take the text as the reader holds it: the same trimmed
// text as a wide handler gets, in UTF-8, and the same replacement rules.
TEST(ReadElement, AUtf8HandlerGetsTheTrimmedTextAsTheReaderHoldsIt)
{
    Walk walk("<r><n> \t4\xC2\xBD \r\n</n><n><![CDATA[ 7 ]]></n><w> \xC3\xA9 </w><n>\n</n></r>");
    std::vector<std::string> utf8;
    walk.table.InsertUtf8TextHandler(L"n", [&utf8](std::string_view text) { utf8.emplace_back(text); });
    walk.Simple(L"w");
    EXPECT_EQ(S_OK, walk.Run());
    EXPECT_EQ((std::vector<std::string>{"4\xC2\xBD", "7"}), utf8) << "blank text is no value, as for wide handlers";
    EXPECT_EQ((std::vector<std::wstring>{L"w=\u00E9"}), walk.calls);
}

TEST(GPXMap, AUtf8HandlerAndAWideOneReplaceEachOther)
{
    GPXMap map;
    map.InsertSimpleHandler(L"a", [](std::wstring) { return 1; });
    map.InsertUtf8TextHandler(L"a", [](std::string_view) {});
    EXPECT_EQ(nullptr, map.FindSimple(L"a")) << "no wide handler is left to call";
    ASSERT_NE(nullptr, map.FindSimpleHandler(L"a"));
    EXPECT_TRUE(map.FindSimpleHandler(L"a")->utf8);
    map.InsertSimpleHandler(L"a", [](std::wstring) { return 2; });
    ASSERT_NE(nullptr, map.FindSimple(L"a"));
    EXPECT_FALSE(map.FindSimpleHandler(L"a")->utf8);
    EXPECT_EQ(3u, map.GetSize());
}

TEST(ReadElement, RegisteredEmptyHandlerIsABadFunctionCall)
{
    Walk walk("<r><a/></r>");
    walk.table.InsertComplexHandler(L"a", ElementHandler());
    EXPECT_THROW(walk.Run(), std::bad_function_call);
}

TEST(CXmlPullReader, EachNameIsOneLastingObjectAndValuesComeAsUtf8)
{
    // More distinct names than the reader's quick lookup has slots, and
    // namespace prefixes, whose text libxml2 frees with their element.
    std::string xml = "<r>";
    for (int i = 0; i < 600; ++i)
        xml += "<n" + std::to_string(i) + " xmlns:p" + std::to_string(i) + "='urn:x'/>";
    xml += "<n7 v='a&amp;\xC3\xA9'/><\xC3\xA9t\xC3\xA9/></r>";
    CXmlPullReader reader;
    ASSERT_EQ(S_OK, reader.OpenMemory(xml.data(), xml.size()));
    const std::wstring* first = nullptr;
    int elements = 0;
    while (reader.Read() == S_OK) {
        if (reader.NodeType() != XmlNodeType::Element || reader.LocalName() == L"r")
            continue;
        const std::wstring& name = reader.LocalName();
        if (elements < 600) {
            EXPECT_EQ(L"n" + std::to_wstring(elements), name);
            ASSERT_EQ(S_OK, reader.MoveToFirstAttribute());
            EXPECT_EQ(L"p" + std::to_wstring(elements), reader.LocalName());
            EXPECT_EQ("urn:x", reader.ValueUtf8());
            reader.MoveToElement();
        }
        if (elements == 7)
            first = &name;
        if (elements == 600) {
            EXPECT_EQ(first, &name) << "the same name, the same object";
            EXPECT_EQ(L"n7", *first);
            ASSERT_EQ(S_OK, reader.MoveToFirstAttribute());
            EXPECT_EQ("a&\xC3\xA9", reader.ValueUtf8());
            reader.MoveToElement();
        }
        if (elements == 601) {
            EXPECT_EQ(L"\u00E9t\u00E9", name);
        }
        ++elements;
    }
    EXPECT_EQ(602, elements);
    EXPECT_EQ(L"n7", *first) << "still valid after the walk";
}

TEST(CXmlPullReader, MissingFileGivesTheSystemError)
{
    CXmlPullReader reader;
    EXPECT_EQ(HResultFromErrno(ENOENT), reader.OpenFile("/nonexistent/file.xml"));
    EXPECT_EQ(XML_E_NOINPUT, reader.Read());
}

}  // namespace
