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
