#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Date.h"
#include "platform/foundation/MappedFile.h"
#include "platform/ui/ViewController.h"

namespace plat {

enum class MailResult { Cancelled, Saved, Sent, Failed };

// An attachment's bytes are its own or those of a file mapped into memory, never copied.
struct MailAttachment {
    std::shared_ptr<const std::string> data;
    std::shared_ptr<const MappedFile> file;
    std::string mimeType;
    std::string fileName;

    std::string_view bytes() const {
        return file ? file->bytes() : data ? std::string_view(*data) : std::string_view();
    }
};

// The mail composer screen. The screen that opens it fills in subject, body, recipients and
// attachments and presents it; the person then sends, saves or cancels, and the completion
// block hears the result (it usually dismisses the composer).
//
// Sending writes one RFC 5322 message (UTF-8 body in quoted-printable, attachments in base64,
// a non-ASCII subject as encoded words) into Outbox/ of the data folder; saving writes it into
// Outbox/Drafts/. Whether this device can send mail is a setting. Like the phone's composer,
// Send needs at least one recipient.
class MailComposer : public ViewController {
public:
    using Completion = std::function<void(MailComposer&, MailResult, const std::string& error)>;

    static bool canSendMail();
    static void setCanSendMail(bool can);
    // The address the messages are written from.
    static std::string senderAddress();
    static void setSenderAddress(std::string address);

    MailComposer();

    const std::string& subject() const { return subject_; }
    void setSubject(std::string s);
    const std::string& messageBody() const { return body_; }
    bool isBodyHTML() const { return html_; }
    void setMessageBody(std::string body, bool isHTML);
    const std::vector<std::string>& toRecipients() const { return to_; }
    void setToRecipients(std::vector<std::string> r) { to_ = std::move(r); }
    const std::vector<std::string>& ccRecipients() const { return cc_; }
    void setCcRecipients(std::vector<std::string> r) { cc_ = std::move(r); }
    const std::vector<std::string>& bccRecipients() const { return bcc_; }
    void setBccRecipients(std::vector<std::string> r) { bcc_ = std::move(r); }
    void addAttachmentData(std::string data, std::string mimeType, std::string fileName);
    // Attaches a file's bytes as they are on disk, mapped rather than read into memory: an
    // export of hundreds of megabytes is never copied. False when the file cannot be mapped.
    bool addAttachmentFile(const std::filesystem::path& file, std::string mimeType, std::string fileName);
    const std::vector<MailAttachment>& attachments() const { return attachments_; }
    void setCompletion(Completion c) { completion_ = std::move(c); }

    // What the person does; each finishes the composer once (false when it already finished,
    // or for Send without any recipient, when the phone's Send button is disabled). A message
    // that cannot be written (a full disk) does not finish it: an alert says why, and the
    // composer stays open with everything in it.
    bool send();
    bool saveDraft();
    bool cancel();
    bool isFinished() const { return finished_; }
    std::optional<MailResult> result() const { return result_; }
    // The file written by send or saveDraft.
    const std::filesystem::path& writtenFile() const { return written_; }

    // Whether `name` is one that sent and saved messages are given ("mail-<date>-<time>.eml").
    static bool isMessageFileName(std::string_view name);

    // The message as it would be written now, dated `date`.
    std::string messageText(Date date) const;

    void loadView() override;
    std::string kindName() const override { return "MailComposer"; }

private:
    bool finish(MailResult result, const std::string& error);
    // Hands the message to `out` piece by piece, so that a large attachment is encoded a few
    // lines at a time and never held whole as text.
    void writeMessage(Date date, const std::function<void(std::string_view)>& out) const;
    bool write(const std::filesystem::path& folder, std::string* error);
    bool keepOpenAfterFailedWrite();

    std::string subject_, body_;
    bool html_ = false;
    std::vector<std::string> to_, cc_, bcc_;
    std::vector<MailAttachment> attachments_;
    Completion completion_;
    bool finished_ = false;
    std::optional<MailResult> result_;
    std::filesystem::path written_;
    int writeFailure_ = 0;  // errno of the last write that failed
};

// Splits "a@b.c, d@e.f" into addresses (blanks trimmed, empty entries dropped).
std::vector<std::string> splitAddresses(const std::string& text);

}  // namespace plat
