#include <gtest/gtest.h>

#include "TestEnvironment.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/XmlReader.h"

namespace {

TEST(XmlReaderTest, ReportsElementsAttributesAndWholeTexts) {
    std::vector<std::string> events;
    plat::XmlReader::Handler h;
    h.startElement = [&](const std::string& name, const plat::XmlReader::Attributes& attributes) {
        std::string e = "<" + name;
        for (const auto& [k, v] : attributes) e += " " + k + "=" + v;
        events.push_back(e + ">");
    };
    h.endElement = [&](const std::string& name) { events.push_back("</" + name + ">"); };
    h.characters = [&](const std::string& text) { events.push_back(text); };
    const std::string doc =
        R"(<s:Envelope xmlns:s="urn:e"><s:Body><faultstring>Bad &amp; &lt;wrong&gt; &#x65E5;</faultstring></s:Body></s:Envelope>)";
    ASSERT_TRUE(plat::XmlReader::parse(doc, h));
    EXPECT_EQ(events, (std::vector<std::string>{"<s:Envelope xmlns:s=urn:e>", "<s:Body>", "<faultstring>",
                                                "Bad & <wrong> \xE6\x97\xA5", "</faultstring>", "</s:Body>",
                                                "</s:Envelope>"}));
}

TEST(XmlReaderTest, RefusesDocumentsThatAreNotWellFormed) {
    std::string error;
    plat::XmlReader::Handler none;
    EXPECT_FALSE(plat::XmlReader::parse("", none, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(plat::XmlReader::parse("<a><b></a>", none));
    EXPECT_FALSE(plat::XmlReader::parse("not xml", none));
}

TEST(XmlReaderTest, NeverReadsAnExternalEntity) {
    qxtest::TempDir dir;
    const auto secret = dir.path() / "secret.txt";
    ASSERT_TRUE(plat::file::writeAtomically(secret, "MARKER-7d1"));
    std::string text;
    plat::XmlReader::Handler h;
    h.characters = [&](const std::string& t) { text += t; };
    plat::XmlReader::parse("<!DOCTYPE a [<!ENTITY x SYSTEM \"file://" + secret.string() + "\">]><a>&x;</a>", h);
    EXPECT_EQ(text.find("MARKER"), std::string::npos);
}

}  // namespace

namespace {

// The text of the one element of a document, or "refused".
std::string textOf(const std::string& document) {
    std::string text;
    plat::XmlReader::Handler h;
    h.characters = [&](const std::string& t) { text += t; };
    return plat::XmlReader::parse(document, h) ? text : "refused";
}

// A reply's text is UTF-8 whatever its encoding: a declared one is honoured, and a UTF-8 reply
// with a stray byte has it replaced rather than being refused whole.
TEST(XmlReaderTest, TextComesOutAsUtf8WhateverTheDocumentsEncoding) {
    EXPECT_EQ(textOf("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>Caf\xE9</a>"), "Café");
    EXPECT_EQ(textOf("<?xml version='1.0' encoding='utf-8'?><a>Caf\xE9</a>"), "Caf\uFFFD");
    EXPECT_EQ(textOf("<a>Br\xFC" "cke \xC3\xBC</a>"), "Br\uFFFDcke ü");
    // Encodings expat does not know itself, and other names of UTF-8.
    EXPECT_EQ(textOf("<?xml version=\"1.0\" encoding=\"windows-1252\"?><a>\x93" "Caf\xE9\x94 \x80</a>"), "“Café” €");
    EXPECT_EQ(textOf("<?xml version=\"1.0\" encoding=\"utf8\"?><a>Café 🙂 Caf\xE9</a>"), "Café 🙂 Caf\uFFFD");
    EXPECT_EQ(textOf("<?xml version=\"1.0\" encoding=\"UTF8\"?><a>日</a>"), "日");
    EXPECT_EQ(textOf("<?xml version=\"1.0\" encoding=\"no-such-encoding\"?><a>x</a>"), "refused");
    std::string utf16 = "\xFF\xFE";
    for (const char16_t unit : std::u16string(u"<a>Café 日</a>")) {
        utf16 += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    }
    EXPECT_EQ(textOf(utf16), "Café 日");
}

}  // namespace
