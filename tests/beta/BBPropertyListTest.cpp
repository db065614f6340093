#include <gtest/gtest.h>

#include "beta/BBPropertyList.h"

using namespace bb;

TEST(BBPropertyList, ReadsEveryKindOfValue) {
    const auto list = BBPropertyList::parseXML(R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
    <!-- a comment between pairs -->
    <key>Name</key>
    <string>R&amp;D &lt;beta&gt; &#233;&#x4E2D;</string>
    <key>Count</key><integer>-12</integer>
    <key>Big</key><integer>18446744073709551615</integer>
    <key>Ratio</key><real>2.5</real>
    <key>On</key><true/>
    <key>Off</key><false/>
    <key>Created</key><date>2014-03-01T10:00:00Z</date>
    <key>Blob</key><data>
        AAEC
        /w==
    </data>
    <key>Empty</key><string/>
    <key>List</key><array><dict/><array/><string>x</string></array>
</dict>
</plist>
)");
    ASSERT_TRUE(list && list->isDictionary());
    const BBDictionary& d = *list->asDictionary();
    EXPECT_EQ(d.find("Name")->string(), "R&D <beta> \xc3\xa9\xe4\xb8\xad");
    EXPECT_EQ(d.find("Count")->int64Value(), -12);
    EXPECT_EQ(d.find("Big")->uint64Value(), UINT64_MAX);
    EXPECT_EQ(d.find("Ratio")->doubleValue(), 2.5);
    EXPECT_EQ(*d.find("On"), BBValue(true));
    EXPECT_EQ(*d.find("Off"), BBValue(false));
    EXPECT_EQ(d.find("Created")->string(), "2014-03-01T10:00:00Z");
    EXPECT_EQ(d.find("Blob")->asData()->view(), std::string_view("\x00\x01\x02\xff", 4));
    EXPECT_EQ(d.find("Empty")->string(), "");
    EXPECT_EQ(*d.find("List"), BBValue(BBArray{BBDictionary(), BBArray(), "x"}));
}

TEST(BBPropertyList, RefusesWhatIsNotAWellFormedList) {
    for (const char* text : {
             "",
             "<dict></dict>",                                             // no plist element
             "<plist><dict><key>a</key></dict></plist>",                  // key without value
             "<plist><dict><string>a</string></dict></plist>",            // value without key
             "<plist><array><string>a</array></plist>",                   // mismatched end
             "<plist><integer>12x</integer></plist>",
             "<plist><string>&bogus;</string></plist>",
             "<plist><data>@@@</data></plist>",
             "<plist><dict></dict></plist> trailing",
             "<plist><unknown/></plist>",
             "<plist><array>",
         }) {
        EXPECT_FALSE(BBPropertyList::parseXML(text)) << text;
    }
    std::string deep = "<plist>";
    for (int i = 0; i < 10000; ++i) deep += "<array>";
    EXPECT_FALSE(BBPropertyList::parseXML(deep));
}
