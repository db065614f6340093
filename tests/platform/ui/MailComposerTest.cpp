#include <gtest/gtest.h>

#include <filesystem>

#include "TestEnvironment.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/FileUtil.h"
#include "platform/ui/MailAttachmentRow.h"
#include "platform/ui/MailComposer.h"
#include "platform/ui/UiText.h"
#include "platform/ui/WebView.h"
#include "platform/ui/MimeCoding.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/ViewSearch.h"

namespace {

using plat::MailComposer;
using plat::MailResult;

// A parsed message: headers (unfolded) and body; a multipart message also its parts.
struct Part {
    std::map<std::string, std::string> headers;
    std::string body;
};

Part parsePart(const std::string& text) {
    Part p;
    auto split = text.find("\r\n\r\n");
    std::string head = text.substr(0, split);
    p.body = split == std::string::npos ? "" : text.substr(split + 4);
    std::string unfolded;
    for (std::size_t i = 0; i < head.size(); ++i) {
        if (head.compare(i, 3, "\r\n ") == 0) {
            unfolded += ' ';
            i += 2;
        } else {
            unfolded += head[i];
        }
    }
    std::size_t start = 0;
    while (start < unfolded.size()) {
        auto end = unfolded.find("\r\n", start);
        if (end == std::string::npos) end = unfolded.size();
        std::string line = unfolded.substr(start, end - start);
        auto colon = line.find(':');
        if (colon != std::string::npos) p.headers[line.substr(0, colon)] = line.substr(colon + 2);
        start = end + 2;
    }
    return p;
}

std::vector<Part> parts(const Part& message) {
    const std::string& type = message.headers.at("Content-Type");
    auto b = type.find("boundary=\"");
    std::string boundary = "--" + type.substr(b + 10, type.find('"', b + 10) - b - 10);
    std::vector<Part> out;
    std::size_t pos = message.body.find(boundary);
    while (pos != std::string::npos) {
        pos += boundary.size();
        if (message.body.compare(pos, 2, "--") == 0) break;
        std::size_t next = message.body.find(boundary, pos);
        out.push_back(parsePart(message.body.substr(pos + 2, next - pos - 4)));
        pos = next;
    }
    return out;
}

class MailComposerTest : public qxtest::AppTest {};

TEST_F(MailComposerTest, SendWritesOneMessageThatParsesBackWithBodyAndAttachments) {
    auto mail = std::make_shared<MailComposer>();
    std::string subject = "Vennorlabs App Report 1. M\u00e4rz 2024 \u6642\u523b";
    mail->setSubject(subject);
    std::string body = "<html><body><p>Dose rate \u00b5Sv/h = 0.12</p>\n" + std::string(200, 'x') + " \n</body></html>";
    mail->setMessageBody(body, true);
    mail->setToRecipients({"ann@example.org", "bob@example.org"});
    mail->setBccRecipients({"archive@example.org"});
    std::string binary("\x00\x01\xff\r\n=_part", 11);
    mail->addAttachmentData(binary, "text/csv", "waypoints.csv");
    mail->addAttachmentData("abc", "bad type\r\nX-Injected: 1", "na\u00efve \"list\".gpx");
    std::vector<MailResult> results;
    mail->setCompletion([&](MailComposer&, MailResult r, const std::string& error) {
        results.push_back(r);
        EXPECT_TRUE(error.empty());
    });

    ASSERT_TRUE(mail->send());
    EXPECT_EQ(results, (std::vector<MailResult>{MailResult::Sent}));
    EXPECT_FALSE(mail->send());  // finished once
    auto files = std::vector<std::filesystem::path>(std::filesystem::directory_iterator(plat::DataFolder::outbox()), {});
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0], mail->writtenFile());
    EXPECT_EQ(files[0].extension(), ".eml");

    Part message = parsePart(plat::file::read(files[0]).value());
    EXPECT_EQ(message.headers["To"], "ann@example.org, bob@example.org");
    EXPECT_EQ(message.headers["Bcc"], "archive@example.org");
    EXPECT_EQ(message.headers["MIME-Version"], "1.0");
    EXPECT_EQ(message.headers.count("X-Injected"), 0u);
    EXPECT_EQ(message.headers["Subject"].find("=?UTF-8?B?"), 0u);
    EXPECT_EQ(plat::mime::decodeHeaderText(message.headers["Subject"]), subject);
    EXPECT_NE(message.headers["Date"].find("+0000"), std::string::npos);

    auto ps = parts(message);
    ASSERT_EQ(ps.size(), 3u);
    EXPECT_EQ(ps[0].headers["Content-Type"], "text/html; charset=UTF-8");
    EXPECT_EQ(ps[0].headers["Content-Transfer-Encoding"], "quoted-printable");
    std::string decoded = plat::mime::quotedPrintableDecode(ps[0].body);
    std::string expected = body;
    expected.replace(expected.find('\n'), 1, "\r\n");
    expected.replace(expected.rfind('\n'), 1, "\r\n");
    EXPECT_EQ(decoded, expected);
    for (std::size_t at = 0, end; at < ps[0].body.size(); at = end + 2) {
        end = ps[0].body.find("\r\n", at);
        if (end == std::string::npos) end = ps[0].body.size();
        EXPECT_LE(end - at, 76u);
    }

    EXPECT_EQ(ps[1].headers["Content-Disposition"], "attachment; filename=\"waypoints.csv\"");
    EXPECT_EQ(plat::mime::base64Decode(ps[1].body).value(), binary);
    EXPECT_EQ(ps[2].headers["Content-Type"].find("application/octet-stream; name*=UTF-8''na%C3%AFve%20%22list%22.gpx"), 0u);
    EXPECT_EQ(plat::mime::base64Decode(ps[2].body).value(), "abc");
}

// A file attached where it lies is sent as its bytes attached whole would be: the attachment's
// text is those bytes encoded in one go, whether the file is empty, of one piece of encoding or
// of several, the last one short.
TEST_F(MailComposerTest, AFileAttachedWhereItLiesIsSentAsItsBytesEncodedWhole) {
    const auto folder = plat::DataFolder::documents();
    std::filesystem::create_directories(folder);
    constexpr std::size_t kPiece = 57 * 4096;
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, kPiece, 2 * kPiece + 5}) {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7919) >> 3);
        const auto file = folder / "Waypoints.gpx";
        ASSERT_TRUE(plat::file::writeAtomically(file, bytes));
        auto mail = std::make_shared<MailComposer>();
        mail->setToRecipients({"ann@example.org"});
        mail->setMessageBody("Here it is.", false);
        ASSERT_TRUE(mail->addAttachmentFile(file, "application/gpx+xml", "Waypoints.gpx"));
        EXPECT_EQ(mail->attachments().at(0).bytes(), bytes);
        ASSERT_TRUE(mail->send());
        const std::string sent = plat::file::read(mail->writtenFile()).value();
        const auto body = sent.find("\r\n\r\n", sent.find("Content-Disposition: attachment")) + 4;
        EXPECT_EQ(sent.substr(body, sent.find("\r\n--=_part_", body) - body), plat::mime::base64Encode(bytes)) << size;
        std::filesystem::remove(mail->writtenFile());
    }
    // Nothing that is not a plain file is attached.
    std::filesystem::create_symlink(folder / "Waypoints.gpx", folder / "link.gpx");
    auto mail = std::make_shared<MailComposer>();
    for (const auto& path : {folder / "missing.gpx", folder / "link.gpx", folder})
        EXPECT_FALSE(mail->addAttachmentFile(path, "application/gpx+xml", "x.gpx")) << path;
    EXPECT_TRUE(mail->attachments().empty());
}

TEST_F(MailComposerTest, ResultsFollowThePersonsChoiceAndTheDeviceSetting) {
    MailResult seen = MailResult::Sent;
    auto capture = [&](MailComposer&, MailResult r, const std::string&) { seen = r; };

    auto noRecipient = std::make_shared<MailComposer>();
    noRecipient->setCompletion(capture);
    EXPECT_FALSE(noRecipient->send());  // Send stays disabled
    EXPECT_FALSE(noRecipient->isFinished());
    EXPECT_TRUE(noRecipient->cancel());
    EXPECT_EQ(seen, MailResult::Cancelled);

    auto draft = std::make_shared<MailComposer>();
    draft->setCompletion(capture);
    draft->setMessageBody("plain", false);
    EXPECT_TRUE(draft->saveDraft());
    EXPECT_EQ(seen, MailResult::Saved);
    EXPECT_EQ(draft->writtenFile().parent_path(), plat::DataFolder::outbox() / "Drafts");

    MailComposer::setCanSendMail(false);
    auto failing = std::make_shared<MailComposer>();
    failing->setToRecipients({"a@b.c"});
    std::string error;
    failing->setCompletion([&](MailComposer&, MailResult r, const std::string& e) {
        seen = r;
        error = e;
    });
    EXPECT_TRUE(failing->send());
    EXPECT_EQ(seen, MailResult::Failed);
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(failing->writtenFile().empty());
    MailComposer::setCanSendMail(true);
}

TEST_F(MailComposerTest, ThePersonCanAddARecipientAndSendFromTheScreen) {
    auto mail = std::make_shared<MailComposer>();
    mail->setSubject("Build 210");
    bool sent = false;
    mail->setCompletion([&](MailComposer&, MailResult r, const std::string&) { sent = r == MailResult::Sent; });
    auto view = mail->view();
    EXPECT_FALSE(plat::tapText(*view, "Send"));
    auto* to = dynamic_cast<plat::TextField*>(plat::findByAccessibilityIdentifier(*view, "To:"));
    ASSERT_NE(to, nullptr);
    to->typeText("support@example.org");
    EXPECT_EQ(mail->toRecipients(), (std::vector<std::string>{"support@example.org"}));
    // The tester writes the report into the empty body.
    view->updateForInspection();
    auto* body = plat::findFirst<plat::TextView>(*view);
    ASSERT_NE(body, nullptr);
    ASSERT_TRUE(body->typeText("The map freezes when"));
    body->typeText(" I zoom.");
    view->updateForInspection();  // what the screen shows is kept while the person types
    EXPECT_EQ(body->text(), "The map freezes when I zoom.");
    EXPECT_EQ(mail->messageBody(), "The map freezes when I zoom.");
    EXPECT_FALSE(mail->isBodyHTML());
    EXPECT_TRUE(plat::tapText(*view, "Send"));
    EXPECT_TRUE(sent);
}

TEST_F(MailComposerTest, ABuiltHtmlReportIsShownButNotRewritten) {
    auto mail = std::make_shared<MailComposer>();
    mail->setMessageBody("<p>Dose <b>0.12</b></p>", true);
    auto view = mail->view();
    view->updateForInspection();
    // It is drawn as the page it is, in place of the plain body: there is nothing to type into.
    EXPECT_EQ(plat::findFirst<plat::TextView>(*view), nullptr);
    EXPECT_FALSE(plat::tapText(*view, "Message"));
    EXPECT_EQ(mail->messageBody(), "<p>Dose <b>0.12</b></p>");
    drain();
    auto* page = plat::findFirst<plat::WebView>(*view);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->html(), "<p>Dose <b>0.12</b></p>");
    EXPECT_EQ(page->displayText(), "Dose 0.12");
}

TEST_F(MailComposerTest, AnAttachmentShowsAsARowWithItsNameAndSizeUnderAMessageToWrite) {
    auto mail = std::make_shared<MailComposer>();
    mail->setMessageBody("", false);
    mail->addAttachmentData(std::string(12 * 1024 + 1, 'x'), "text/csv", "Waypoints 2026-12-07 09-09-00.csv");
    auto view = mail->view();
    view->updateForInspection();
    const auto rows = plat::findAll<plat::MailAttachmentRow>(*view);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]->displayText(), "Waypoints 2026-12-07 09-09-00.csv 13 KB");
    // The message is the person's to write, and the row lies under it, not in it.
    auto* body = plat::findFirst<plat::TextView>(*view);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->text(), "");
    EXPECT_LE(body->frame().maxY(), rows[0]->frame().minY());
    EXPECT_LE(rows[0]->frame().maxY(), view->bounds().height());
    ASSERT_TRUE(body->typeText("Here it is."));
    body->resignFirstResponder();
    EXPECT_EQ(mail->messageBody(), "Here it is.");
}

TEST_F(MailComposerTest, FileSizesReadInTheInterfaceLanguage) {
    using plat::MailAttachmentRow;
    const std::vector<std::pair<std::size_t, std::string>> english = {
        {0, "0 bytes"}, {1, "1 byte"}, {1023, "1023 bytes"}, {1024, "1 KB"},
        {12 * 1024 + 1, "13 KB"}, {1024 * 1024 - 1, "1024 KB"}, {1468006, "1.4 MB"}};
    for (const auto& [bytes, text] : english) EXPECT_EQ(MailAttachmentRow::sizeText(bytes), text) << bytes;
    plat::setUiTextTranslator([](const std::string& key) {
        return key == "%@ MB" ? std::string("%@ Mo") : key == "%@ bytes" ? std::string("%@ octets") : key;
    });
    plat::setUiLocaleSource([] { return std::string("fr_FR"); });
    EXPECT_EQ(MailAttachmentRow::sizeText(1468006), "1,4 Mo");
    EXPECT_EQ(MailAttachmentRow::sizeText(20), "20 octets");
    plat::setUiTextTranslator({});
    plat::setUiLocaleSource({});
}

TEST(MimeCodingTest, EncodingsMatchKnownValuesAndKeepLinesShort) {
    EXPECT_EQ(plat::mime::base64Encode("Man"), "TWFu");
    EXPECT_EQ(plat::mime::base64Encode("Ma"), "TWE=");
    EXPECT_EQ(plat::mime::quotedPrintableEncode("a=b \u00e9 "), "a=3Db =C3=A9=20");
    EXPECT_EQ(plat::mime::encodeHeaderText("plain ASCII"), "plain ASCII");
    EXPECT_EQ(plat::mime::encodeHeaderText("line\r\nBcc: x"), "line  Bcc: x");
    // A long non-ASCII subject is cut into words of at most 75 characters, never inside a
    // character, and decodes back.
    std::string longText;
    for (int i = 0; i < 40; ++i) longText += "\u00e4\u20ac";
    std::string encoded = plat::mime::encodeHeaderText(longText);
    std::size_t start = 0;
    while (start < encoded.size()) {
        auto end = encoded.find("\r\n ", start);
        if (end == std::string::npos) end = encoded.size();
        EXPECT_LE(end - start, 75u);
        auto word = encoded.substr(start, end - start);
        EXPECT_TRUE(plat::mime::base64Decode(word.substr(10, word.size() - 12)).has_value());
        start = end + 3;
    }
    EXPECT_EQ(plat::mime::decodeHeaderText(encoded), longText);
}

}  // namespace

namespace {

// The header lines of a message (folded as written), up to the blank line.
std::vector<std::string> headerLines(const std::string& message) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (true) {
        auto end = message.find("\r\n", start);
        if (end == std::string::npos || end == start) break;
        lines.push_back(message.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

TEST(MailAddressTest, DisplayNamesAreEncodedApartFromTheirAddressesAndLongHeadersFold) {
    struct Case {
        const char* mailbox;
        const char* written;
    };
    const Case cases[] = {
        {"ann@example.org", "ann@example.org"},
        {"Ann Smith <ann@example.org>", "\"Ann Smith\" <ann@example.org>"},
        {"\"Smith, Ann\" <ann@example.org>", "\"Smith, Ann\" <ann@example.org>"},
        {"Ann \"Q\" Smith <ann@example.org>", "\"Ann \\\"Q\\\" Smith\" <ann@example.org>"},
        {"  <ann@example.org> ", "<ann@example.org>"},
        {"Ann \u00d6degaard <ann@example.org>", "=?UTF-8?B?QW5uIMOWZGVnYWFyZA==?= <ann@example.org>"},
    };
    for (const auto& c : cases) EXPECT_EQ(plat::mime::encodeMailbox(c.mailbox), c.written) << c.mailbox;

    auto mail = std::make_shared<MailComposer>();
    std::vector<std::string> to;
    for (int i = 0; i < 6; ++i) to.push_back("\u5c71\u7530 \u592a\u90ce " + std::to_string(i) + " <taro" + std::to_string(i) + "@example.org>");
    mail->setToRecipients(to);
    mail->setSubject(std::string("Report ") + std::string(30, 'x') + " " + std::string(30, 'y') + " " + std::string(20, 'z'));
    const std::string message = mail->messageText(plat::Date(1.7e9));
    for (const auto& line : headerLines(message)) EXPECT_LE(line.size(), 78u) << line;
    const auto parsed = parsePart(message);
    for (int i = 0; i < 6; ++i) {
        EXPECT_NE(parsed.headers.at("To").find("<taro" + std::to_string(i) + "@example.org>"), std::string::npos);
    }
    EXPECT_EQ(plat::mime::decodeHeaderText(parsed.headers.at("To")).substr(0, 40),
              std::string("\u5c71\u7530 \u592a\u90ce 0 <taro0@example.org>, \u5c71").substr(0, 40));
    EXPECT_EQ(parsed.headers.at("Subject"), mail->subject());
}

}  // namespace
