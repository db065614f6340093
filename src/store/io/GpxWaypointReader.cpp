#include "store/io/GpxWaypointReader.h"

#include <expat.h>

#include <cmath>
#include <limits>
#include <utility>

#include "platform/foundation/XmlEncoding.h"
#include "store/io/FieldText.h"
#include "store/io/FileInPieces.h"
#include "store/io/GpxWaypointWriter.h"

namespace qx {

namespace {

constexpr char kSeparator = ' ';  // between namespace and local name; never part of a URI
// A waypoint field longer than this is no waypoint's: the waypoint is left out rather than its
// text gathered without end.
constexpr std::size_t kMaxFieldBytes = std::size_t{4} << 20;
// The parser keeps a tag, attribute or comment whole until it ends; one this long is no
// waypoint file's, and the file is not taken rather than held in memory.
constexpr long long kMaxTokenBytes = 16LL << 20;

struct Name {
    std::string_view ns;
    std::string_view local;
};

Name splitName(const XML_Char* raw) {
    const std::string_view s(raw);
    const auto cut = s.find(kSeparator);
    if (cut == std::string_view::npos) return {{}, s};
    return {s.substr(0, cut), s.substr(cut + 1)};
}

bool isGpxNamespace(std::string_view ns) {
    return ns.empty() || ns == GpxWaypointWriter::kGpxNamespace || ns == "http://www.topografix.com/GPX/1/0";
}

// The fields of a waypoint that are read from child elements.
enum class Field { None, Elevation, Time, Name, Der, Variation, De, Accumulation, DeviceType, DeviceName, DeviceSerial };

Field waypointField(std::string_view local) {
    if (local == "ele") return Field::Elevation;
    if (local == "time") return Field::Time;
    if (local == "name") return Field::Name;
    return Field::None;
}

Field readingField(std::string_view local) {
    static const std::pair<std::string_view, Field> fields[] = {
        {"der", Field::Der},
        {"variation", Field::Variation},
        {"de", Field::De},
        {"accumulation", Field::Accumulation},
        {"deviceType", Field::DeviceType},
        {"deviceName", Field::DeviceName},
        {"deviceSerial", Field::DeviceSerial},
    };
    for (const auto& [name, field] : fields) {
        if (name == local) return field;
    }
    return Field::None;
}

// An empty field (or one of blanks only) leaves the value as it was, as other GPX readers do.
bool assignNumber(std::string_view text, double& out) {
    if (FieldText::trim(text).empty()) return true;
    const auto value = FieldText::parseNumber(text);
    if (value) out = *value;
    return value.has_value();
}

}  // namespace

class GpxWaypointReader::Parse {
public:
    // The file's own encoding counts, as XML has it: its byte-order mark or declaration, else UTF-8.
    Parse() : parser_(XML_ParserCreateNS(nullptr, kSeparator)) {
        XML_SetUserData(parser_, this);
        XML_SetElementHandler(parser_, onStart, onEnd);
        XML_SetCharacterDataHandler(parser_, onText);
        XML_SetEntityDeclHandler(parser_, onEntityDecl);
    }
    ~Parse() { XML_ParserFree(parser_); }
    Parse(const Parse&) = delete;
    Parse& operator=(const Parse&) = delete;

    bool feed(std::string_view bytes, bool last) {
        if (prepared_) return parse(bytes, last);
        // The parser learns the encoding before its first byte: the start of the file is held
        // back until the declaration has been seen.
        head_.append(bytes);
        if (head_.size() < plat::XmlEncoding::kHeadBytes && !last) return true;
        prepared_ = true;
        plat::XmlEncoding::prepare(parser_, head_, &encoding_);
        return parse(std::exchange(head_, {}), last);
    }

    std::vector<WaypointRecord>& records() { return result_.records; }

    WaypointReadResult finish() {
        if (feed({}, true) && !rootSeen_) result_.fail("The file is not a GPX file", 1);
        return std::move(result_);
    }

private:
    bool parse(std::string_view bytes, bool last) {
        constexpr std::size_t kPiece = 1 << 20;  // XML_Parse takes an int length
        do {
            const std::size_t n = std::min(bytes.size(), kPiece);
            const bool final = last && n == bytes.size();
            if (!result_.readable) return false;
            if (XML_Parse(parser_, bytes.data(), static_cast<int>(n), final) != XML_STATUS_OK) {
                if (result_.readable && XML_GetErrorCode(parser_) == XML_ERROR_UNKNOWN_ENCODING) {
                    result_.fail("The file's encoding \"%@\" cannot be read", XML_GetCurrentLineNumber(parser_));
                    result_.errorName = encoding_;
                } else if (result_.readable) {
                    result_.fail("The file is not well-formed XML", XML_GetCurrentLineNumber(parser_));
                }
                return false;
            }
            bytes.remove_prefix(n);
            fed_ += static_cast<long long>(n);
            if (fed_ - lastEvent_ > kMaxTokenBytes) {
                result_.fail("The file is not a GPX file", XML_GetCurrentLineNumber(parser_));
                return false;
            }
        } while (!bytes.empty());
        return true;
    }

    // Where the parser was at its latest event: what it holds since then is one token.
    void sawEvent() { lastEvent_ = XML_GetCurrentByteIndex(parser_); }

    static void onStart(void* self, const XML_Char* name, const XML_Char** attributes) {
        static_cast<Parse*>(self)->sawEvent();
        static_cast<Parse*>(self)->start(splitName(name), attributes);
    }
    static void onEnd(void* self, const XML_Char* name) {
        static_cast<Parse*>(self)->sawEvent();
        static_cast<Parse*>(self)->end(splitName(name));
    }
    static void onText(void* self, const XML_Char* text, int length) {
        auto* parse = static_cast<Parse*>(self);
        parse->sawEvent();
        if (parse->field_ == Field::None) return;
        if (parse->text_.size() + static_cast<std::size_t>(length) > kMaxFieldBytes) {
            parse->valid_ = false;
            parse->field_ = Field::None;
            parse->text_ = std::string();
            return;
        }
        parse->text_.append(text, static_cast<std::size_t>(length));
    }
    static void onEntityDecl(void* self, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                             const XML_Char*, const XML_Char*, const XML_Char*) {
        // A waypoint file has no use for entities; refusing them shuts out expansion bombs.
        auto* parse = static_cast<Parse*>(self);
        parse->result_.fail("The file is not a GPX file", XML_GetCurrentLineNumber(parse->parser_));
        XML_StopParser(parse->parser_, XML_FALSE);
    }

    void start(Name name, const XML_Char** attributes) {
        ++depth_;
        if (depth_ == 1) {
            rootSeen_ = true;
            if (name.local != "gpx" || !isGpxNamespace(name.ns)) {
                result_.fail("The file is not a GPX file", XML_GetCurrentLineNumber(parser_));
                XML_StopParser(parser_, XML_FALSE);
            }
        } else if (depth_ == 2 && name.local == "wpt" && isGpxNamespace(name.ns)) {
            beginWaypoint(attributes);
        } else if (depth_ == 2 && name.local == "trk" && isGpxNamespace(name.ns)) {
            ++result_.tracksLeftOut;
        } else if (depth_ == 2 && name.local == "rte" && isGpxNamespace(name.ns)) {
            ++result_.routesLeftOut;
        } else if (inWaypoint_ && depth_ == 3 && isGpxNamespace(name.ns)) {
            inExtensions_ = name.local == "extensions";
            field_ = waypointField(name.local);
            fieldDepth_ = depth_;
            text_.clear();
        } else if (inExtensions_ && depth_ == 4 && name.ns == GpxWaypointWriter::kReadingNamespace) {
            field_ = readingField(name.local);
            fieldDepth_ = depth_;
            text_.clear();
        }
    }

    void end(Name name) {
        if (field_ != Field::None && depth_ == fieldDepth_) {
            takeField();
            field_ = Field::None;
        }
        if (inWaypoint_ && depth_ == 3) inExtensions_ = false;
        if (inWaypoint_ && depth_ == 2 && name.local == "wpt") endWaypoint();
        --depth_;
    }

    void beginWaypoint(const XML_Char** attributes) {
        inWaypoint_ = true;
        valid_ = true;
        timeSeen_ = false;
        line_ = XML_GetCurrentLineNumber(parser_);
        record_ = WaypointRecord{};
        for (const XML_Char** a = attributes; *a; a += 2) {
            const Name attribute = splitName(a[0]);
            if (!attribute.ns.empty()) continue;
            if (attribute.local == "lat") record_.latitude = FieldText::parseNumber(a[1]);
            if (attribute.local == "lon") record_.longitude = FieldText::parseNumber(a[1]);
        }
        valid_ = record_.hasPosition() && std::abs(*record_.latitude) <= 90 && std::abs(*record_.longitude) <= 180;
    }

    void takeField() {
        double number = 0;
        switch (field_) {
            case Field::Elevation:
                if (FieldText::trim(text_).empty()) break;
                valid_ = valid_ && assignNumber(text_, number);
                record_.altitude = number;
                break;
            case Field::Time: {
                if (FieldText::trim(text_).empty()) break;
                const auto date = FieldText::parseDateTime(text_);
                valid_ = valid_ && date.has_value();
                timeSeen_ = true;
                record_.date = date.value_or(plat::Date());
                break;
            }
            case Field::Name: record_.name = text_; break;
            case Field::Der: valid_ = valid_ && assignNumber(text_, record_.der); break;
            case Field::Variation: valid_ = valid_ && assignNumber(text_, record_.variation); break;
            case Field::De: valid_ = valid_ && assignNumber(text_, record_.de); break;
            case Field::Accumulation: record_.accumulation = text_; break;
            case Field::DeviceType: {
                if (FieldText::trim(text_).empty()) break;
                const auto type = FieldText::parseInteger(text_);
                valid_ = valid_ && type.has_value();
                record_.deviceType = type.value_or(0);
                break;
            }
            case Field::DeviceName: record_.deviceName = text_; break;
            case Field::DeviceSerial: record_.deviceSerial = text_; break;
            case Field::None: break;
        }
    }

    void endWaypoint() {
        inWaypoint_ = false;
        if (valid_ && timeSeen_) {
            result_.records.push_back(std::move(record_));
        } else if (valid_) {
            // Not unreadable: a waypoint without a time has no day to be stored in.
            ++result_.skipped;
            ++result_.withoutTime;
        } else {
            result_.skipRow(line_);
        }
    }

    XML_Parser parser_;
    std::string encoding_;     // one expat does not know, as the file names it
    std::string head_;         // the start of the file, until the parser is prepared for it
    bool prepared_ = false;
    long long fed_ = 0;        // bytes given to the parser
    long long lastEvent_ = 0;  // byte index of its latest event
    WaypointReadResult result_;
    WaypointRecord record_;
    std::string text_;
    Field field_ = Field::None;
    std::size_t depth_ = 0;
    std::size_t fieldDepth_ = 0;
    std::size_t line_ = 0;
    bool rootSeen_ = false;
    bool inWaypoint_ = false;
    bool inExtensions_ = false;
    bool valid_ = false;
    bool timeSeen_ = false;
};

GpxWaypointReader::GpxWaypointReader() : parse_(std::make_unique<Parse>()) {}
GpxWaypointReader::~GpxWaypointReader() = default;

bool GpxWaypointReader::feed(std::string_view bytes) { return parse_->feed(bytes, false); }
WaypointReadResult GpxWaypointReader::finish() { return parse_->finish(); }
std::vector<WaypointRecord>& GpxWaypointReader::records() { return parse_->records(); }

WaypointReadResult GpxWaypointReader::read(std::string_view bytes) {
    GpxWaypointReader reader;
    reader.feed(bytes);
    return reader.finish();
}

WaypointReadResult GpxWaypointReader::readFile(const std::filesystem::path& path, const WaypointRecordSink& sink) {
    return readFileInPieces<GpxWaypointReader>(path, sink);
}

}  // namespace qx
