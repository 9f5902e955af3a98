// The pull reader: what it delivers must not depend on where the parse is
// cut into batches, whether it comes from a file or from memory, or on other
// readers open at the same time, and it stays bounded and hardened for
// hostile input.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "XmlPullReader.h"

namespace {

// A batch is handed over at the first tag after this much text.
constexpr std::size_t kChunk = 64 * 1024;

// A file holding `bytes`, removed at the end of the test.
class TempXml {
public:
    explicit TempXml(const std::string& bytes)
    {
        char name[] = "/tmp/pull-reader-XXXXXX";
        const int fd = ::mkstemp(name);
        EXPECT_GE(fd, 0);
        path_ = name;
        if (fd >= 0) {
            EXPECT_EQ(static_cast<ssize_t>(bytes.size()), ::write(fd, bytes.data(), bytes.size()));
            ::close(fd);
        }
    }
    ~TempXml() { std::remove(path_.c_str()); }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

// Every node as one line: type, names, emptiness, value and attributes;
// then the status that ended the read.
struct Transcript {
    std::vector<std::string> nodes;
    HRESULT end = S_OK;
    std::string error;
};

Transcript Walk(CXmlPullReader& reader)
{
    Transcript t;
    while ((t.end = reader.Read()) == S_OK) {
        std::wstring value;
        reader.GetValue(value);
        std::string line = std::to_string(static_cast<int>(reader.NodeType())) + " " + Narrow(reader.Prefix()) + ":" +
                           Narrow(reader.LocalName()) + "@" + Narrow(reader.NamespaceUri()) +
                           (reader.IsEmptyElement() ? "/" : "") + " [" + Narrow(value) + "]";
        if (reader.MoveToFirstAttribute() == S_OK) {
            do {
                reader.GetValue(value);
                line += " " + Narrow(reader.Prefix()) + ":" + Narrow(reader.LocalName()) + "=" + Narrow(value);
            } while (reader.MoveToNextAttribute() == S_OK);
            reader.MoveToElement();
        }
        t.nodes.push_back(line);
    }
    t.error = reader.ErrorText();
    return t;
}

Transcript FromMemory(const std::string& xml)
{
    CXmlPullReader reader;
    EXPECT_EQ(S_OK, reader.OpenMemory(xml.data(), xml.size()));
    return Walk(reader);
}

Transcript FromFile(const std::string& xml)
{
    TempXml file(xml);
    CXmlPullReader reader;
    EXPECT_EQ(S_OK, reader.OpenFile(file.Path()));
    return Walk(reader);
}

// A document whose interesting part starts `shift` bytes before the point
// where the first batch is full (negative: after it), behind padding text.
std::string AcrossTheEdge(int shift, const std::string& tail)
{
    const std::string head = "<r><p>";
    const std::size_t pad = kChunk - head.size() - static_cast<std::size_t>(shift);
    return head + std::string(pad, 'q') + "</p>" + tail + "</r>";
}

struct EdgeCase {
    const char* name;
    std::string tail;
};

// Each part of the tail lies across that point for one of the shifts.
const EdgeCase kEdgeCases[] = {
    {"EmptyElementAndLongName", "<empty/><a-name-longer-than-a-few-bytes xmlns:g='urn:g' g:attr='a&amp;b'/>"},
    {"TextWithReferences", "<t>one &amp; two &#x41;&lt;three</t>"},
    {"CDataAndComment", "<c><![CDATA[x < y]]><!-- a remark --></c>"},
    {"EndTagAndWhitespace", "<e>\n  </e>  <f></f>"},
};

void PrintTo(const EdgeCase& c, std::ostream* out)
{
    *out << c.name;
}

class ChunkEdgeTest : public testing::TestWithParam<EdgeCase> {};

TEST_P(ChunkEdgeTest, NodesDoNotDependOnWhereTheInputIsCut)
{
    const std::string& tail = GetParam().tail;
    // The same part, far from any edge, read from memory.
    const Transcript reference = FromMemory("<r><p>q</p>" + tail + "</r>");
    ASSERT_EQ(S_FALSE, reference.end);
    for (int shift = -2; shift <= static_cast<int>(tail.size()) + 2; ++shift) {
        const std::string xml = AcrossTheEdge(shift, tail);
        for (const Transcript& t : {FromMemory(xml), FromFile(xml)}) {
            ASSERT_EQ(S_FALSE, t.end) << "shift " << shift << ": " << t.error;
            ASSERT_EQ(reference.nodes.size(), t.nodes.size()) << "shift " << shift;
            const std::size_t pad = kChunk - 6 - static_cast<std::size_t>(shift);
            EXPECT_TRUE("2 :#text@ [" + std::string(pad, 'q') + "]" == t.nodes[2])
                << "shift " << shift << ": the padding is one text node";
            for (std::size_t i = 3; i < t.nodes.size(); ++i)
                EXPECT_EQ(reference.nodes[i], t.nodes[i]) << "shift " << shift << ", node " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Tails, ChunkEdgeTest, testing::ValuesIn(kEdgeCases),
                         [](const testing::TestParamInfo<EdgeCase>& info) { return std::string(info.param.name); });

TEST(CXmlPullReader, TextOfManyChunksIsOneNode)
{
    std::string raw, text;
    while (raw.size() < 3 * kChunk) {
        raw += "ab&amp;cd ";
        text += "ab&cd ";
    }
    const std::string cdata(2 * kChunk, 'z');
    const Transcript t = FromFile("<r>" + raw + "<![CDATA[" + cdata + "]]></r>");
    ASSERT_EQ(S_FALSE, t.end);
    ASSERT_EQ(4u, t.nodes.size());
    EXPECT_TRUE("2 :#text@ [" + text + "]" == t.nodes[1]) << "the text, whole";
    EXPECT_TRUE("3 :#cdata-section@ [" + cdata + "]" == t.nodes[2]) << "the CDATA section, whole";
}

// The node types and names the walks rely on, and how namespace
// declarations and escaped ampersands read as attributes.
TEST(CXmlPullReader, NodesOfASmallDocument)
{
    const Transcript t = FromMemory("<?xml version='1.0'?><!--c--><r xmlns='urn:a' xmlns:g='urn:g' g:v='&amp;#38;'>"
                                    "<g:e/><e></e>\n<w xml:space='preserve'> </w><?pi data?></r>");
    EXPECT_EQ(S_FALSE, t.end);
    const std::vector<std::string> expected = {
        "6 :#comment@ [c]",
        "1 :r@urn:a [] :xmlns=urn:a xmlns:g=urn:g g:v=&#38;",
        "1 g:e@urn:g/ []",
        "1 :e@urn:a []",
        "5 :e@urn:a []",
        "4 :#text@ [\n]",
        "1 :w@urn:a [] xml:space=preserve",
        "4 :#text@ [ ]",
        "5 :w@urn:a []",
        "7 :pi@ [data]",
        "5 :r@urn:a []",
    };
    EXPECT_EQ(expected, t.nodes);
}

struct FailureCase {
    const char* name;
    std::string xml;
    HRESULT end;
    std::string errorStart;  // empty: any
};

void PrintTo(const FailureCase& c, std::ostream* out)
{
    *out << c.name;
}

std::string Nested(int depth)
{
    std::string xml;
    for (int i = 0; i < depth; ++i)
        xml += "<a>";
    for (int i = 0; i < depth; ++i)
        xml += "</a>";
    return xml;
}

std::string ManyLines(int lines, const std::string& last)
{
    std::string xml = "<r>";
    for (int i = 1; i < lines; ++i)
        xml += "<l>line</l>\n";
    return xml + last;
}

const FailureCase kFailureCases[] = {
    {"ErrorLineCountsEveryChunk", ManyLines(20000, "<x></y></r>"), XML_E_MALFORMED, "line 20000: "},
    {"CutShortInsideTheRoot", ManyLines(20000, "<x>"), S_FALSE, ""},
    {"ContentAfterTheRoot", "<r/><s/>", XML_E_MALFORMED, "line 1: "},
    {"TextAfterTheRoot", "<r/>junk", XML_E_MALFORMED, "line 1: "},
    {"NestingBeyondTheLimit", Nested(300), XML_E_MALFORMED, "line 1: "},
    {"TextBeyondTheLimit", "<r>" + std::string(10'000'001, 't') + "</r>", XML_E_MALFORMED, "line 1: "},
    {"DoctypeAfterAComment", "<!--c--><!DOCTYPE r><r/>", XML_E_DTDPROHIBITED, ""},
    {"NothingAtAll", "", S_FALSE, ""},
    {"NoMarkup", "Internal Server Error", XML_E_MALFORMED, "line 1: "},
};

class ReaderFailureTest : public testing::TestWithParam<FailureCase> {};

TEST_P(ReaderFailureTest, EndsWithTheRightStatus)
{
    const FailureCase& c = GetParam();
    for (const Transcript& t : {FromMemory(c.xml), FromFile(c.xml)}) {
        EXPECT_EQ(c.end, t.end) << t.error;
        EXPECT_EQ(c.errorStart, t.error.substr(0, c.errorStart.size()));
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, ReaderFailureTest, testing::ValuesIn(kFailureCases),
                         [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

// A unit of every kind of node, repeated into a document of many batches
// (read from a file, and from memory large enough to be parsed in batches
// too), reads as the unit alone does each time.
TEST(CXmlPullReader, ADocumentOfManyBatchesReadsAsItsParts)
{
    const std::string unit = "<u xmlns:g='urn:g' g:a='x&amp;y' b='1'><g:e/><t>one &amp; two</t>"
                             "<![CDATA[a < b]]><!--note--><?pi data?>\n <n>46.0001</n></u>\n";
    const Transcript one = FromMemory("<r>" + unit + "</r>");
    ASSERT_EQ(S_FALSE, one.end);
    const std::vector<std::string> unitNodes(one.nodes.begin() + 1, one.nodes.end() - 1);
    std::string xml = "<r>";
    constexpr std::size_t kUnits = 40000;  // about 4 MB
    for (std::size_t i = 0; i < kUnits; ++i)
        xml += unit;
    xml += "</r>";
    for (const Transcript& t : {FromFile(xml), FromMemory(xml)}) {
        ASSERT_EQ(S_FALSE, t.end) << t.error;
        ASSERT_EQ(kUnits * unitNodes.size() + 2, t.nodes.size());
        for (std::size_t i = 0; i < kUnits; ++i)
            for (std::size_t k = 0; k < unitNodes.size(); ++k)
                ASSERT_EQ(unitNodes[k], t.nodes[1 + i * unitNodes.size() + k]) << "unit " << i << ", node " << k;
    }
}

// Readers left half way, or read in turns, keep to their own documents.
TEST(CXmlPullReader, ReadersInTurnsAndLeftHalfWay)
{
    std::string first = "<r>", second = "<s>";
    for (int i = 0; i < 30000; ++i) {
        first += "<a>" + std::to_string(i) + "</a>";
        second += "<b n='" + std::to_string(i) + "'/>";
    }
    first += "</r>";
    second += "</s>";
    TempXml firstFile(first), secondFile(second);
    for (int left : {0, 1, 5000}) {
        CXmlPullReader abandoned;
        ASSERT_EQ(S_OK, abandoned.OpenFile(firstFile.Path()));
        for (int i = 0; i < left; ++i)
            ASSERT_EQ(S_OK, abandoned.Read());
    }
    CXmlPullReader a, b;
    ASSERT_EQ(S_OK, a.OpenFile(firstFile.Path()));
    ASSERT_EQ(S_OK, b.OpenMemory(second.data(), second.size()));
    int texts = 0, empties = 0;
    HRESULT endA = S_OK, endB = S_OK;
    while (endA == S_OK || endB == S_OK) {
        for (int step = 0; step < 7 && endA == S_OK; ++step)
            if ((endA = a.Read()) == S_OK && a.NodeType() == XmlNodeType::Text) {
                std::wstring value;
                a.GetValue(value);
                ASSERT_EQ(std::to_wstring(texts++), value);
            }
        for (int step = 0; step < 3 && endB == S_OK; ++step)
            if ((endB = b.Read()) == S_OK && b.NodeType() == XmlNodeType::Element && b.IsEmptyElement()) {
                ASSERT_EQ(S_OK, b.MoveToFirstAttribute());
                std::wstring value;
                b.GetValue(value);
                ASSERT_EQ(std::to_wstring(empties++), value);
            }
    }
    EXPECT_EQ(S_FALSE, endA) << a.ErrorText();
    EXPECT_EQ(S_FALSE, endB) << b.ErrorText();
    EXPECT_EQ(30000, texts);
    EXPECT_EQ(30000, empties);
}

// Each parse of a file runs on a fresh stack, often where the last one's
// was; what the last parse left there must not count against the next: in a
// clang build with the address sanitizer, libxml2's report of a bad encoding,
// written on that stack, was taken for an overflow.
TEST(CXmlPullReader, OneParseAfterAnother)
{
    const std::string badEncoding("\0\0\0<text>", 10);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(S_FALSE, FromFile("<r><a>" + std::to_string(i) + "</a></r>").end);
        EXPECT_EQ(XML_E_MALFORMED, FromFile(badEncoding).end);
    }
}

TEST(CXmlPullReader, NestingUpToTheLimitIsRead)
{
    const Transcript t = FromMemory(Nested(256));
    EXPECT_EQ(S_FALSE, t.end) << t.error;
    EXPECT_EQ(512u, t.nodes.size());
}

// A document cut short delivers what came before the cut and then S_FALSE,
// and never the text the cut left unfinished.
TEST(CXmlPullReader, CutTextIsNeverDelivered)
{
    const std::string xml = "<r><p>" + std::string(3 * kChunk, 'x') + "</p><t>unfinished";
    const Transcript t = FromFile(xml);
    EXPECT_EQ(S_FALSE, t.end);
    for (const std::string& node : t.nodes)
        EXPECT_EQ(std::string::npos, node.find("unfinished"));
}

}  // namespace
