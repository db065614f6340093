#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "platform/ui/View.h"

namespace plat {

class Label;

// An attachment of a message being written, shown as a mail application shows it: a row of
// its own under the message with the file's name and its size.
class MailAttachmentRow : public View {
public:
    static constexpr double kHeight = 44;

    MailAttachmentRow(const Rect& frame, const std::string& fileName, std::size_t bytes);

    // A file's size as a person reads it, in the interface language: "512 bytes", "12 KB",
    // "1.4 MB" (whole kilobytes rounded up, so that no file reads as "0 KB").
    static std::string sizeText(std::size_t bytes);

    std::string kindName() const override { return "Attachment"; }
    std::string displayText() const override;

private:
    std::shared_ptr<Label> name_, size_;
};

}  // namespace plat
