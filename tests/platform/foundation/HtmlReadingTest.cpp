#include <gtest/gtest.h>

#include "platform/foundation/HtmlEncoding.h"
#include "platform/foundation/HtmlReference.h"
#include "platform/foundation/HtmlText.h"

namespace {

using namespace plat;

TEST(HtmlReference, ReferencesAreReadFromTheWholeTableAsBrowsersReadThem) {
    struct Case {
        const char* text;
        bool inAttribute;
        const char* read;
    };
    const Case cases[] = {
        {"caf&eacute; &pound;5 a&zwnj;b &NotNestedLessLess;", false, "caf\u00E9 \u00A35 a\u200Cb \u2AA1\u0338"},
        // The old names without ';', the longest that fits; other names need their ';'.
        {"&notit; &notin; &ampx &gt1 &eacuteX", false, "\u00ACit; \u2209 &x >1 \u00E9X"},
        {"&zwnj &bogus; AT&T & &#; &#x;", false, "&zwnj &bogus; AT&T & &#; &#x;"},
        // Numbers: with or without ';', 128 to 159 as windows-1252 names them, no-characters as U+FFFD.
        {"&#x80;&#147;&#x94&#65;&#x41BAR", false, "\u20AC\u201C\u201DA\u41BAR"},
        {"&#0;&#xD800;&#x110000;&#99999999999999999999;", false, "\uFFFD\uFFFD\uFFFD\uFFFD"},
        // In an attribute, a name without ';' before '=' or a letter stays as it is.
        {"?a=1&copy=2&not_x&notx&amp;", true, "?a=1&copy=2\u00AC_x&notx&"},
    };
    for (const auto& c : cases) EXPECT_EQ(HtmlReference::decoded(c.text, c.inAttribute), c.read) << c.text;
    EXPECT_EQ(HtmlText::decodeEntities("x &amp;amp; y"), "x &amp; y");
}

TEST(HtmlDocument, MarkupThatOnceHidTheRestOfAPageIsReadAsBrowsersReadIt) {
    struct Case {
        const char* html;
        const char* text;
    };
    const Case cases[] = {
        // A head left open ends where the body's content starts; "</header>" does not end it.
        {"<html><head><title>T</title><header>Top</header><p>x", "Top x"},
        {"<head><style>p{}</style>Shown<script>hidden</script>", "Shown"},
        // Comments that end at once, or at "--!>"; a DOCTYPE ends at its '>' even inside quotes.
        {"a<!-->b<!--->c<!-- x --!>d<!--->e", "abcde"},
        {"<!DOCTYPE x \"q>Shown</p>", "Shown"},
        // A script's "<!--<script>" holds its "</script>" until "-->".
        {"<script>a<!--<script></script>b--></script>c", "c"},
        // Text among a table's rows stands before the table.
        {"<table>A<tr><td>B</td></tr>C</table>", "AC B"},
        {"<p>&eacute;&#x80;&notit; x&amp;amp;", "é€¬it; x&amp;"},
        {"<template><p>kept away</template>Shown", "Shown"},
    };
    for (const auto& c : cases) EXPECT_EQ(HtmlText::plainText(c.html), c.text) << c.html;
}

TEST(HtmlEncoding, APageIsReadInTheEncodingItsReplyOrItsMetaDeclares) {
    struct Case {
        std::string page;
        const char* contentType;
        const char* encoding;
        const char* text;
    };
    const std::string sjis = "\x93\xFA\x96\x7B\x8C\xEA";  // 日本語 in Shift_JIS
    const Case cases[] = {
        {"<p>caf\xE9 \x80</p>", "text/html; charset=ISO-8859-1", "windows-1252", "<p>caf\u00E9 \u20AC</p>"},
        {"<p>" + sjis + "</p>", "text/html;charset=\"Shift_JIS\"", "windows-31j", "<p>\u65E5\u672C\u8A9E</p>"},
        {"<head><meta charset=sjis></head>" + sjis, "text/html", "windows-31j",
         "<head><meta charset=sjis></head>\u65E5\u672C\u8A9E"},
        {"<!-- <meta charset=utf-8> --><meta http-equiv=Content-Type content='text/html; charset=windows-1252'>\xE9",
         "", "windows-1252",
         "<!-- <meta charset=utf-8> --><meta http-equiv=Content-Type content='text/html; charset=windows-1252'>\u00E9"},
        // The reply's word goes before the page's; a mark before both.
        {"<meta charset=shift_jis>\xE9", "text/html; charset=windows-1252", "windows-1252", "<meta charset=shift_jis>\u00E9"},
        {"\xEF\xBB\xBF<meta charset=windows-1252>\xC3\xA9", "text/html; charset=windows-1252", "utf-8",
         "<meta charset=windows-1252>\u00E9"},
        // Nothing declared, UTF-16 declared by a page that reads as ASCII, a name no one knows:
        // UTF-8, with what is no UTF-8 made U+FFFD.
        {"caf\xC3\xA9 \xE9", "text/html", "", "caf\u00E9 \uFFFD"},
        {"<meta charset=utf-16>\xC3\xA9", "", "utf-8", "<meta charset=utf-16>\u00E9"},
        {"\xC3\xA9\xFF", "text/html; charset=x-no-such-thing", "x-no-such-thing", "\u00E9\uFFFD"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HtmlEncoding::declared(c.page, c.contentType), c.encoding) << c.page;
        EXPECT_EQ(HtmlEncoding::decoded(c.page, c.contentType), c.text) << c.page;
    }
}

}  // namespace
