#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace qx {

// Turns the bytes of a text file into UTF-8 as they arrive, a piece at a time. A byte-order mark
// says what the file is (UTF-8, UTF-16); without one the text is taken as UTF-8 until a byte
// shows it is not. When everything before that byte was ASCII, the encoding is detected from
// the text and the rest is read in it (the ASCII before reads the same in any of them); a few
// stray bytes, each alone among ASCII text, are read as Western text. When the file had a UTF-8
// mark or had already shown UTF-8 characters, or no encoding fits, each stray byte becomes
// U+FFFD. Either way what comes out is valid UTF-8, and the decoder says what it did.
class TextDecoder {
public:
    TextDecoder();
    ~TextDecoder();
    TextDecoder(const TextDecoder&) = delete;
    TextDecoder& operator=(const TextDecoder&) = delete;

    // The text of the next piece. The start of a character cut by the piece's end waits for the
    // next piece.
    std::string decode(std::string_view bytes);
    // What was left waiting, as text: the end of the file.
    std::string finish();

    // The encoding the file was found to be in when it was not UTF-8 and had no mark ("ISO-8859-1",
    // "windows-1251"...); empty otherwise.
    const std::string& detectedEncoding() const { return detected_; }
    // How many bytes (or characters of a converted text) could not be read and became U+FFFD.
    std::size_t replaced() const { return replaced_; }

private:
    std::string decodeUtf8(std::string_view bytes, bool last);
    std::string convert(std::string_view bytes, bool flush);
    bool open(const char* encoding);
    bool use(const char* encoding);
    void detect(std::string_view start, std::string_view rest);
    void keepStart(std::string_view ascii);

    struct Converter;
    std::unique_ptr<Converter> converter_;  // set once the text is known to be in another encoding
    std::string pending_;                   // bytes held back for the next piece
    std::string start_;                     // the start of the file while it is ASCII, for detection
    std::string detected_;
    std::size_t replaced_ = 0;
    bool started_ = false;    // the byte-order mark was looked for
    bool sawUtf8_ = false;    // a character beyond ASCII was read as UTF-8
    bool replacing_ = false;  // the text is UTF-8 with stray bytes
};

}  // namespace qx
