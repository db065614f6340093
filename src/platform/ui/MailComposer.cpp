#include "platform/ui/MailComposer.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <cctype>
#include <cmath>
#include <ctime>

#include "platform/foundation/DataFolder.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/URLText.h"
#include "platform/foundation/WriteFailure.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Label.h"
#include "platform/ui/MailAttachmentRow.h"
#include "platform/ui/MimeCoding.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/UiText.h"
#include "platform/ui/WebView.h"

namespace plat {

namespace {

bool gCanSendMail = true;
std::string gSender = "me@localhost";

std::string rfc5322Date(Date date) {
    std::time_t t = static_cast<std::time_t>(std::floor(date.timeIntervalSince1970()));
    std::tm tm{};
    gmtime_r(&t, &tm);
    static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d +0000", days[tm.tm_wday], tm.tm_mday,
                  months[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

std::string joinAddresses(const std::vector<std::string>& list) {
    std::string out;
    for (const auto& a : list) {
        if (!out.empty()) out += ", ";
        out += mime::encodeMailbox(a);
    }
    return out;
}

// A MIME type as token "/" token; anything else becomes a plain byte stream.
std::string safeMimeType(const std::string& type) {
    auto slash = type.find('/');
    bool ok = slash != std::string::npos && slash > 0 && slash + 1 < type.size();
    for (unsigned char c : type) {
        if (!(std::isalnum(c) || c == '/' || c == '.' || c == '+' || c == '-' || c == '_')) ok = false;
    }
    return ok ? type : "application/octet-stream";
}

// filename="..." for plain names, RFC 2231 filename*=UTF-8''... otherwise.
std::string fileNameParameter(const std::string& name, const char* key) {
    bool plain = !name.empty();
    for (unsigned char c : name) {
        if (c < 0x20 || c > 0x7E || c == '"' || c == '\\') plain = false;
    }
    if (plain) return std::string(key) + "=\"" + name + "\"";
    return std::string(key) + "*=UTF-8''" + url::percentEncoded(name);
}

std::string bodyPart(const std::string& body, bool html) {
    return std::string("Content-Type: ") + (html ? "text/html" : "text/plain") +
           "; charset=UTF-8\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n" + mime::quotedPrintableEncode(body) +
           "\r\n";
}

std::string messageId(Date date) {
    static std::atomic<unsigned> counter{0};
    return "<" + std::to_string(static_cast<long long>(date.timeIntervalSince1970())) + "." +
           std::to_string(counter++) + "@localhost>";
}

// Keeps what the person types into the body as the mail's plain-text body.
class BodyEditor : public TextViewDelegate {
public:
    explicit BodyEditor(MailComposer* composer) : composer_(composer) {}
    void textViewDidChange(TextView& view) override { composer_->setMessageBody(view.text(), false); }

private:
    MailComposer* composer_;  // owns the view that owns this editor
};

// The compose screen: recipient and subject fields, the body, Cancel and Send.
class MailComposeView : public View {
public:
    static constexpr double kFieldHeight = 36, kFieldInset = 8;

    explicit MailComposeView(const Rect& frame) : View(frame) {}

    void build(MailComposer& composer) {
        auto bar = std::make_shared<NavigationBar>(Rect{0, 0, frame().width(), NavigationBar::kHeight});
        auto item = std::make_shared<NavigationItem>(composer.subject().empty() ? uiText("New Message") : composer.subject());
        MailComposer* c = &composer;  // the composer owns this view
        item->setLeftBarButtonItem(BarButtonItem::withTitle(uiText("Cancel"), BarButtonStyle::Plain, [c](BarButtonItem&) { c->cancel(); }));
        send_ = BarButtonItem::withTitle(uiText("Send"), BarButtonStyle::Done, [c](BarButtonItem&) { c->send(); });
        item->setRightBarButtonItem(send_);
        bar->pushNavigationItem(item);
        addSubview(bar);
        item_ = item;
        double y = NavigationBar::kHeight;
        auto field = [&](const std::string& label, std::function<void(const std::string&)> store) {
            // Each field on a line of its own, set off from the next by a hairline, as on a phone.
            auto f = std::make_shared<TextField>(Rect{kFieldInset, y, frame().width() - 2 * kFieldInset, kFieldHeight});
            f->setPlaceholder(uiText(label));
            f->setAccessibilityIdentifier(label);
            f->addAction(EditingChanged | EditingDidEnd, [store](Control& sender) {
                store(static_cast<TextField&>(sender).text());
            });
            addSubview(f);
            auto rule = std::make_shared<View>(Rect{kFieldInset, y + kFieldHeight - 1, frame().width() - kFieldInset, 1});
            rule->setBackgroundColor(Color::rgba(0.78, 0.78, 0.8));
            addSubview(rule);
            y += kFieldHeight;
            return f;
        };
        to_ = field("To:", [c](const std::string& t) { c->setToRecipients(splitAddresses(t)); });
        cc_ = field("Cc/Bcc:", [c](const std::string& t) { c->setCcRecipients(splitAddresses(t)); });
        subject_ = field("Subject:", [c](const std::string& t) { c->setSubject(t); });
        bodyTop_ = y;
        const Rect bodyFrame{0, y, frame().width(), frame().height() - y};
        body_ = std::make_shared<TextView>(bodyFrame);
        body_->setPlaceholder(uiText("Message"));
        editor_ = std::make_shared<BodyEditor>(c);
        body_->setDelegate(editor_);
        addSubview(body_);
        // A built HTML report is drawn as the page it is, and scrolls as one.
        page_ = std::make_shared<WebView>(bodyFrame);
        addSubview(page_);
        showBody(composer);
    }

    void updateForInspection() override {
        auto* c = dynamic_cast<MailComposer*>(viewController());
        if (!c || !to_) return;
        auto join = [](const std::vector<std::string>& v) {
            std::string s;
            for (const auto& a : v) s += (s.empty() ? "" : ", ") + a;
            return s;
        };
        if (!to_->isFirstResponder()) to_->setText(join(c->toRecipients()));
        if (!cc_->isFirstResponder()) cc_->setText(join(c->ccRecipients()));
        if (!subject_->isFirstResponder()) subject_->setText(c->subject());
        item_->setTitle(c->subject().empty() ? uiText("New Message") : c->subject());
        showBody(*c);
        send_->setEnabled(!c->toRecipients().empty() || !c->ccRecipients().empty() || !c->bccRecipients().empty());
    }

    std::string kindName() const override { return "MailComposer"; }

private:
    // A plain body is the person's to write; an HTML body is shown as a page, read-only.
    void showBody(const MailComposer& c) {
        showAttachments(c);
        const bool html = c.isBodyHTML();
        body_->setHidden(html);
        body_->setEditable(!html);
        page_->setHidden(!html);
        if (html) {
            const std::string& page = c.messageBody();
            if (page != shownPage_) {
                shownPage_ = page;
                page_->loadHTMLString(page);
            }
            return;
        }
        if (body_->isFirstResponder()) return;
        body_->setText(c.messageBody());
    }

    // Each attachment in a row of its own under the message, which gives them the room.
    void showAttachments(const MailComposer& c) {
        if (attachmentRows_.size() == c.attachments().size()) return;
        for (const auto& row : attachmentRows_) row->removeFromSuperview();
        attachmentRows_.clear();
        const double rows = static_cast<double>(c.attachments().size()) * MailAttachmentRow::kHeight;
        const Rect bodyFrame{0, bodyTop_, frame().width(), std::max(0.0, frame().height() - bodyTop_ - rows)};
        body_->setFrame(bodyFrame);
        page_->setFrame(bodyFrame);
        double y = bodyFrame.maxY();
        for (const auto& a : c.attachments()) {
            auto row = std::make_shared<MailAttachmentRow>(Rect{0, y, frame().width(), MailAttachmentRow::kHeight},
                                                           a.fileName, a.bytes().size());
            addSubview(row);
            attachmentRows_.push_back(row);
            y += MailAttachmentRow::kHeight;
        }
    }

    std::shared_ptr<NavigationItem> item_;
    BarButtonItemPtr send_;
    std::shared_ptr<TextField> to_, cc_, subject_;
    std::shared_ptr<TextView> body_;
    std::shared_ptr<WebView> page_;
    std::string shownPage_;
    double bodyTop_ = 0;
    std::vector<std::shared_ptr<MailAttachmentRow>> attachmentRows_;
    std::shared_ptr<BodyEditor> editor_;
};

}  // namespace

std::vector<std::string> splitAddresses(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of(",;", start);
        if (end == std::string::npos) end = text.size();
        std::string part = text.substr(start, end - start);
        auto first = part.find_first_not_of(" \t");
        auto last = part.find_last_not_of(" \t");
        if (first != std::string::npos) out.push_back(part.substr(first, last - first + 1));
        start = end + 1;
    }
    return out;
}

bool MailComposer::canSendMail() { return gCanSendMail; }
void MailComposer::setCanSendMail(bool can) { gCanSendMail = can; }
std::string MailComposer::senderAddress() { return gSender; }
void MailComposer::setSenderAddress(std::string address) { gSender = std::move(address); }

MailComposer::MailComposer() { setTitle(uiText("New Message")); }

void MailComposer::setSubject(std::string s) {
    subject_ = std::move(s);
    navigationItem().setTitle(subject_);
}

void MailComposer::setMessageBody(std::string body, bool isHTML) {
    body_ = std::move(body);
    html_ = isHTML;
}

void MailComposer::addAttachmentData(std::string data, std::string mimeType, std::string fileName) {
    attachments_.push_back(MailAttachment{std::make_shared<const std::string>(std::move(data)), nullptr,
                                          std::move(mimeType), std::move(fileName)});
}

bool MailComposer::addAttachmentFile(const std::filesystem::path& file, std::string mimeType, std::string fileName) {
    auto mapped = MappedFile::open(file);
    if (!mapped) return false;
    attachments_.push_back(MailAttachment{nullptr, std::move(mapped), std::move(mimeType), std::move(fileName)});
    return true;
}

std::string MailComposer::messageText(Date date) const {
    std::string m;
    writeMessage(date, [&m](std::string_view piece) { m += piece; });
    return m;
}

void MailComposer::writeMessage(Date date, const std::function<void(std::string_view)>& out) const {
    std::string m;
    m += "From: " + mime::headerSafe(gSender) + "\r\n";
    if (!to_.empty()) m += mime::foldHeader("To", joinAddresses(to_)) + "\r\n";
    if (!cc_.empty()) m += mime::foldHeader("Cc", joinAddresses(cc_)) + "\r\n";
    if (!bcc_.empty()) m += mime::foldHeader("Bcc", joinAddresses(bcc_)) + "\r\n";
    m += mime::foldHeader("Subject", mime::encodeHeaderText(subject_)) + "\r\n";
    m += "Date: " + rfc5322Date(date) + "\r\n";
    m += "Message-ID: " + messageId(date) + "\r\n";
    m += "MIME-Version: 1.0\r\n";
    if (attachments_.empty()) return out(m + bodyPart(body_, html_));
    // "=_" cannot occur in quoted-printable or base64 text, so the boundary is safe.
    std::string boundary = "=_part_" + std::to_string(static_cast<long long>(date.timeIntervalSince1970()));
    m += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
    m += "This is a multi-part message in MIME format.\r\n";
    m += "--" + boundary + "\r\n" + bodyPart(body_, html_);
    for (const auto& a : attachments_) {
        std::string name = mime::headerSafe(a.fileName);
        m += "--" + boundary + "\r\n";
        m += "Content-Type: " + safeMimeType(a.mimeType) + "; " + fileNameParameter(name, "name") + "\r\n";
        m += "Content-Transfer-Encoding: base64\r\n";
        m += "Content-Disposition: attachment; " + fileNameParameter(name, "filename") + "\r\n\r\n";
        out(m);
        m.clear();
        // Whole lines at a time (57 bytes make one of 76 characters): the lines of the pieces
        // joined by line breaks are those of the attachment encoded whole.
        constexpr std::size_t kPiece = 57 * 4096;
        const std::string_view bytes = a.bytes();
        for (std::size_t at = 0; at < bytes.size(); at += kPiece) {
            if (at > 0) out("\r\n");
            out(mime::base64Encode(bytes.substr(at, kPiece)));
            // A mapped file's pages are done with once encoded.
            if (a.file) a.file->forgetBefore(at + kPiece);
        }
        m += "\r\n";
    }
    m += "--" + boundary + "--\r\n";
    out(m);
}

bool MailComposer::isMessageFileName(std::string_view name) {
    return file::isUniqueNameOf(name, "mail-########-######", {".eml"});  // see write()
}

bool MailComposer::write(const std::filesystem::path& folder, std::string* error) {
    if (!file::ensureDirectory(folder, &writeFailure_)) {
        if (error) *error = "cannot create " + folder.string();
        return false;
    }
    Date now = Date::now();
    std::time_t t = static_cast<std::time_t>(std::floor(now.timeIntervalSince1970()));
    std::tm tm{};
    gmtime_r(&t, &tm);
    char stem[32];
    std::strftime(stem, sizeof stem, "mail-%Y%m%d-%H%M%S", &tm);
    auto path = file::uniqueName(folder, stem, ".eml");
    // Written as it is encoded; the first failure is kept and makes the rest fail.
    file::AtomicFile message;
    const auto append = [&](std::string_view piece) {
        if (message.cause() == 0) message.append(piece, error);
    };
    if (message.open(path, error)) writeMessage(now, append);
    if (!message.commit(error)) {
        writeFailure_ = message.cause();
        return false;
    }
    written_ = path;
    return true;
}

bool MailComposer::finish(MailResult result, const std::string& error) {
    finished_ = true;
    result_ = result;
    auto keep = weak_from_this().lock();
    if (completion_) {
        auto done = completion_;
        done(*this, result, error);
    }
    return true;
}

bool MailComposer::send() {
    if (finished_) return false;
    if (to_.empty() && cc_.empty() && bcc_.empty()) return false;
    if (!gCanSendMail) return finish(MailResult::Failed, "Mail is not set up on this device");
    std::string error;
    if (!write(DataFolder::outbox(), &error)) return keepOpenAfterFailedWrite();
    return finish(MailResult::Sent, {});
}

bool MailComposer::saveDraft() {
    if (finished_) return false;
    std::string error;
    if (!write(DataFolder::outbox() / "Drafts", &error)) return keepOpenAfterFailedWrite();
    return finish(MailResult::Saved, {});
}

bool MailComposer::keepOpenAfterFailedWrite() {
    // Closing would lose what the person wrote: the composer stays, and says why, so that they
    // can send again once the cause is mended (room made, rights given), or cancel.
    std::string reason = WriteFailure::reason(writeFailure_, &uiText);
    std::string message = uiText(file::isOutOfRoom(writeFailure_)
                                     ? "The message could not be written: %@. Send it again when there is room."
                                     : "The message could not be written: %@. It stays open, so that you can send it "
                                       "again.");
    if (const auto at = message.find("%@"); at != std::string::npos) message.replace(at, 2, reason);
    AlertView::show(uiText("Message Not Sent"), message, uiText("OK"), {}, {});
    return false;
}

bool MailComposer::cancel() {
    if (finished_) return false;
    return finish(MailResult::Cancelled, {});
}

void MailComposer::loadView() {
    auto v = std::make_shared<MailComposeView>(makeScreenView()->frame());
    setView(v);
    v->build(*this);
}

}  // namespace plat
