// The streaming writer: escaping, namespace declarations, full end tags and
// failures that are reported, not swallowed.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "XmlStreamWriter.h"

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class XmlStreamWriterTest : public testing::Test {
protected:
    std::string path = testing::TempDir() + "writer-" + std::to_string(::getpid()) + ".xml";
    void TearDown() override { std::remove(path.c_str()); }
};

TEST_F(XmlStreamWriterTest, WritesEscapedTextFullEndTagsAndEachNamespaceOnce)
{
    CXmlStreamWriter w;
    ASSERT_EQ(S_OK, w.OpenFile(path, false));
    EXPECT_EQ(S_OK, w.WriteStartDocument("no"));
    EXPECT_EQ(S_OK, w.WriteStartElement(L"", L"r", L"urn:a"));
    EXPECT_EQ(S_OK, w.WriteAttributeString(L"xmlns", L"g", L"", L"urn:g"));
    EXPECT_EQ(S_OK, w.WriteAttributeString(L"", L"q", L"", L"\"<&>\t\n"));
    EXPECT_EQ(S_OK, w.WriteStartElement(L"g", L"e", L"urn:g"));
    EXPECT_EQ(S_OK, w.WriteString(L"a<b & c> é \U0001F600\r"));
    EXPECT_EQ(S_OK, w.WriteFullEndElement());
    EXPECT_EQ(S_OK, w.WriteStartElement(L"", L"empty", L"urn:a"));
    EXPECT_EQ(S_OK, w.WriteFullEndElement());
    EXPECT_EQ(S_OK, w.WriteStartElement(L"g", L"other", L"urn:other"));
    EXPECT_EQ(S_OK, w.WriteFullEndElement());
    EXPECT_EQ(S_OK, w.WriteEndDocument());
    EXPECT_EQ(S_OK, w.Close());
    EXPECT_EQ("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
              "<r xmlns=\"urn:a\" xmlns:g=\"urn:g\" q=\"&quot;&lt;&amp;&gt;&#9;&#10;\">"
              "<g:e>a&lt;b &amp; c&gt; \xC3\xA9 \xF0\x9F\x98\x80&#13;</g:e><empty></empty>"
              "<g:other xmlns:g=\"urn:other\"></g:other></r>\n",
              ReadFile(path));
}

TEST_F(XmlStreamWriterTest, PreparedNamesAndAsciiTextWriteWhatTheWideCallsWrite)
{
    const CXmlName root(L"", L"r", L"urn:a"), point(L"g", L"p", L"urn:g"), lat(L"", L"lat", L"");
    const CXmlName qualified(L"h", L"q", L"urn:h");
    CXmlStreamWriter w;
    ASSERT_EQ(S_OK, w.OpenFile(path, true));
    EXPECT_EQ(S_OK, w.WriteStartDocument(nullptr));
    EXPECT_EQ(S_OK, w.WriteStartElement(root));
    EXPECT_EQ(S_OK, w.WriteStartElement(point));
    EXPECT_EQ(S_OK, w.WriteAttributeString(lat, "1.5\"<&\t"));
    EXPECT_EQ(S_OK, w.WriteAttributeString(qualified, "2"));
    EXPECT_EQ(S_OK, w.WriteAsciiString("3 < 4 & 5\r"));
    EXPECT_EQ(S_OK, w.WriteFullEndElement());
    EXPECT_EQ(S_OK, w.WriteStartElement(point));
    EXPECT_EQ(S_OK, w.WriteFullEndElement());
    EXPECT_EQ(S_OK, w.WriteEndDocument());
    EXPECT_EQ(S_OK, w.Close());
    EXPECT_EQ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<r xmlns=\"urn:a\">\n"
              " <g:p xmlns:g=\"urn:g\" lat=\"1.5&quot;&lt;&amp;&#9;\" xmlns:h=\"urn:h\" h:q=\"2\">"
              "3 &lt; 4 &amp; 5&#13;</g:p>\n <g:p xmlns:g=\"urn:g\"></g:p>\n</r>\n",
              ReadFile(path));
}

// An element written in one step is the same bytes as its start, its text
// and its end written apart: indented or not, its namespace bound already,
// bound by the element's parent, or declared on the element itself (also
// where an earlier binding went out of scope), text to escape; a byte beyond
// ASCII fails the writer.
TEST_F(XmlStreamWriterTest, AnElementInOneStepIsTheSameBytesAsInThree)
{
    const CXmlName root(L"", L"r", L"urn:a"), inner(L"g", L"i", L"urn:g"), plain(L"", L"n", L"urn:a");
    const CXmlName prefixed(L"g", L"v", L"urn:g"), unbound(L"h", L"w", L"urn:h");
    const auto write = [&](bool oneStep, bool indent) {
        CXmlStreamWriter w;
        EXPECT_EQ(S_OK, w.OpenFile(path, indent));
        const auto element = [&](const CXmlName& name, std::string_view text) {
            if (oneStep)
                return w.WriteAsciiElement(name, text);
            w.WriteStartElement(name);
            w.WriteAsciiString(text);
            return w.WriteFullEndElement();
        };
        w.WriteStartElement(root);
        EXPECT_EQ(S_OK, element(plain, "1.5"));
        EXPECT_EQ(S_OK, element(unbound, "2 < 3 & 4"));
        w.WriteStartElement(inner);
        EXPECT_EQ(S_OK, element(prefixed, "5"));
        EXPECT_EQ(S_OK, element(unbound, "6"));
        w.WriteFullEndElement();
        EXPECT_EQ(S_OK, element(prefixed, "7"));
        EXPECT_EQ(S_OK, w.WriteEndDocument());
        EXPECT_EQ(S_OK, w.Close());
        return ReadFile(path);
    };
    for (bool indent : {false, true})
        EXPECT_EQ(write(false, indent), write(true, indent)) << (indent ? "indented" : "not indented");
    EXPECT_EQ("<r xmlns=\"urn:a\"><n>1.5</n><h:w xmlns:h=\"urn:h\">2 &lt; 3 &amp; 4</h:w>"
              "<g:i xmlns:g=\"urn:g\"><g:v>5</g:v><h:w xmlns:h=\"urn:h\">6</h:w></g:i>"
              "<g:v xmlns:g=\"urn:g\">7</g:v></r>\n",
              write(true, false));
    CXmlStreamWriter w;
    ASSERT_EQ(S_OK, w.OpenFile(path, false));
    w.WriteStartElement(root);
    EXPECT_EQ(E_INVALIDARG, w.WriteAsciiElement(plain, "caf\xC3\xA9"));
    EXPECT_EQ(E_INVALIDARG, w.Close());
}

// A prepared name found bound inside an element is declared again once that
// element's binding has gone out of scope.
TEST_F(XmlStreamWriterTest, APreparedNameIsDeclaredAgainWhereItsBindingEnded)
{
    const CXmlName root(L"", L"r", L"urn:a"), inner(L"", L"i", L"urn:b"), name(L"", L"n", L"urn:b");
    CXmlStreamWriter w;
    ASSERT_EQ(S_OK, w.OpenFile(path, false));
    EXPECT_EQ(S_OK, w.WriteStartElement(root));
    EXPECT_EQ(S_OK, w.WriteStartElement(inner));
    EXPECT_EQ(S_OK, w.WriteStartElement(name));
    EXPECT_EQ(S_OK, w.WriteFullEndElement());
    EXPECT_EQ(S_OK, w.WriteFullEndElement());
    EXPECT_EQ(S_OK, w.WriteStartElement(name));
    EXPECT_EQ(S_OK, w.WriteEndDocument());
    EXPECT_EQ(S_OK, w.Close());
    EXPECT_EQ("<r xmlns=\"urn:a\"><i xmlns=\"urn:b\"><n></n></i><n xmlns=\"urn:b\"></n></r>\n", ReadFile(path));
}

// Output long enough that parts of it are synced in the background while the
// rest is written: every element arrives, in order, and a writer dropped
// without Close() waits for the running sync before it closes the file.
TEST_F(XmlStreamWriterTest, LongOutputArrivesWholeWhileItIsSyncedBehind)
{
    const std::string text(1000, 'x');
    const std::size_t elements = 2 * CXmlStreamWriter::kSyncBehind / text.size() + 7;
    for (const bool closed : {true, false}) {
        CXmlStreamWriter w;
        ASSERT_EQ(S_OK, w.OpenFile(path, false));
        EXPECT_EQ(S_OK, w.WriteStartElement(L"", L"r", L""));
        for (std::size_t i = 0; i < elements; ++i) {
            ASSERT_EQ(S_OK, w.WriteStartElement(L"", L"e", L""));
            ASSERT_EQ(S_OK, w.WriteAsciiString(std::to_string(i) + text));
            ASSERT_EQ(S_OK, w.WriteFullEndElement());
        }
        EXPECT_EQ(S_OK, w.WriteEndDocument());
        if (closed) {
            EXPECT_EQ(S_OK, w.Close());
        }
    }
    // The second writer's destructor has flushed what it held.
    const std::string written = ReadFile(path);
    std::size_t at = 0, count = 0;
    ASSERT_EQ(0u, written.find("<r>"));
    for (std::size_t found; (found = written.find("<e>", at)) != std::string::npos; at = found + 3) {
        ASSERT_EQ(0, written.compare(found + 3, std::to_string(count).size(), std::to_string(count))) << count;
        ++count;
    }
    EXPECT_EQ(elements, count);
    EXPECT_EQ("</e></r>\n", written.substr(written.size() - 9));
}

// A prepared xmlns attribute declares its binding as the wide call does, so
// that an element in that namespace is not declared again beneath it.
TEST_F(XmlStreamWriterTest, APreparedDeclarationBindsItsPrefix)
{
    const CXmlName root(L"", L"r", L""), declaration(L"xmlns", L"k", L""), inner(L"k", L"x", L"urn:k");
    CXmlStreamWriter w;
    ASSERT_EQ(S_OK, w.OpenFile(path, false));
    EXPECT_EQ(S_OK, w.WriteStartElement(root));
    EXPECT_EQ(S_OK, w.WriteAttributeString(declaration, "urn:k"));
    EXPECT_EQ(S_OK, w.WriteStartElement(inner));
    EXPECT_EQ(S_OK, w.WriteEndDocument());
    EXPECT_EQ(S_OK, w.Close());
    EXPECT_EQ("<r xmlns:k=\"urn:k\"><k:x></k:x></r>\n", ReadFile(path));
}

TEST_F(XmlStreamWriterTest, PreparedNamesAndAsciiTextRefuseWhatTheyCannotHold)
{
    EXPECT_FALSE(CXmlName(L"", L"", L"").IsValid());
    EXPECT_FALSE(CXmlName(L"", L"a b", L"").IsValid());
    EXPECT_TRUE(CXmlName(L"", L"\u00E9", L"").IsValid());
    {
        CXmlStreamWriter w;
        ASSERT_EQ(S_OK, w.OpenFile(path, false));
        EXPECT_EQ(E_INVALIDARG, w.WriteStartElement(CXmlName(L"", L"a>", L"")));
        EXPECT_EQ(E_INVALIDARG, w.Close());
    }
    {
        CXmlStreamWriter w;
        ASSERT_EQ(S_OK, w.OpenFile(path, false));
        w.WriteStartElement(CXmlName(L"", L"a", L""));
        EXPECT_EQ(E_INVALIDARG, w.WriteAsciiString("caf\xC3\xA9")) << "not ASCII";
        EXPECT_EQ(E_INVALIDARG, w.Close());
    }
    {
        CXmlStreamWriter w;
        ASSERT_EQ(S_OK, w.OpenFile(path, false));
        w.WriteStartElement(CXmlName(L"", L"a", L""));
        EXPECT_EQ(E_INVALIDARG, w.WriteAttributeString(CXmlName(L"", L"b", L""), std::string_view("\x01", 1)));
    }
}

TEST_F(XmlStreamWriterTest, IndentsElementsButNotText)
{
    CXmlStreamWriter w;
    ASSERT_EQ(S_OK, w.OpenFile(path, true));
    w.WriteStartDocument(nullptr);
    w.WriteStartElement(L"", L"a", L"");
    w.WriteStartElement(L"", L"b", L"");
    w.WriteString(L"t");
    w.WriteFullEndElement();
    w.WriteFullEndElement();
    EXPECT_EQ(S_OK, w.WriteEndDocument());
    EXPECT_EQ(S_OK, w.Close());
    EXPECT_EQ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a>\n <b>t</b>\n</a>\n", ReadFile(path));
}

TEST_F(XmlStreamWriterTest, CharactersXmlCannotHoldFailTheWriter)
{
    CXmlStreamWriter w;
    ASSERT_EQ(S_OK, w.OpenFile(path, false));
    w.WriteStartElement(L"", L"a", L"");
    EXPECT_EQ(E_INVALIDARG, w.WriteString(std::wstring(L"bell\x07")));
    EXPECT_EQ(E_INVALIDARG, w.WriteFullEndElement()) << "the writer stays failed";
    EXPECT_EQ(E_INVALIDARG, w.Close());
}

TEST(XmlStreamWriter, AFullDiskIsReportedAlsoForLongOutput)
{
    // More than one block of output, so the failure comes from a write
    // before Close().
    CXmlStreamWriter w;
    ASSERT_EQ(S_OK, w.OpenFile("/dev/full", false));
    w.WriteStartElement(L"", L"a", L"");
    for (int i = 0; i < 200 && SUCCEEDED(w.Status()); ++i)
        w.WriteString(std::wstring(20000, L'x'));
    EXPECT_TRUE(FAILED(w.Status()));
    EXPECT_TRUE(FAILED(w.WriteFullEndElement()));
    EXPECT_TRUE(FAILED(w.Close()));
}

TEST(XmlStreamWriter, AFullDiskIsReported)
{
    CXmlStreamWriter w;
    ASSERT_EQ(S_OK, w.OpenFile("/dev/full", false));
    w.WriteStartElement(L"", L"a", L"");
    w.WriteString(std::wstring(200000, L'x'));
    w.WriteFullEndElement();
    EXPECT_TRUE(FAILED(w.Close()));
}

}  // namespace
