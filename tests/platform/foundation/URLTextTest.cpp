#include <gtest/gtest.h>

#include "platform/foundation/URLText.h"

using namespace plat::url;

TEST(URLTextTest, FileURLsRoundTripAndRefuseOtherHostsAndNulBytes) {
    const std::string path = "/data/Photos/Straße 1 #2%.png";
    const std::string url = fileURL(path);
    EXPECT_EQ(url, "file:///data/Photos/Stra%C3%9Fe%201%20%232%25.png");
    EXPECT_EQ(filePath(url), path);
    EXPECT_EQ(filePath("file://localhost/tmp/a.csv"), "/tmp/a.csv");
    EXPECT_EQ(filePath("FILE:/tmp/a.csv?x#y"), "/tmp/a.csv");
    EXPECT_FALSE(filePath("file://example.org/tmp/a.csv").has_value());
    EXPECT_FALSE(filePath("file:///tmp/a.csv%00.png").has_value());
    EXPECT_FALSE(filePath("https://host/a").has_value());
    EXPECT_FALSE(filePath("file:relative/a").has_value());
}

TEST(URLTextTest, SchemesQueriesAndFormValues) {
    EXPECT_EQ(scheme("Quorix://authorize?code=1"), "quorix");
    EXPECT_EQ(scheme("no scheme here"), "");
    EXPECT_EQ(scheme("://x"), "");
    EXPECT_EQ(query("a://b?x=1&y=2#frag"), "x=1&y=2");
    EXPECT_EQ(fragment("a://b?x=1#access_token=t"), "access_token=t");
    const auto values = formValues("a=1&b=two+words&c=%26%3D&a=3&flag");
    EXPECT_EQ(values.at("a"), "3");
    EXPECT_EQ(values.at("b"), "two words");
    EXPECT_EQ(values.at("c"), "&=");
    EXPECT_EQ(values.at("flag"), "");
    EXPECT_EQ(percentEncoded("a b/c~"), "a%20b%2Fc~");
    EXPECT_EQ(percentEncoded("a b/c", "/"), "a%20b/c");
    EXPECT_EQ(percentDecoded("100%"), "100%") << "a broken escape stays as it is";
}
