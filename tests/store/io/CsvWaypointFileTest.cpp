#include <gtest/gtest.h>

#include <filesystem>

#include "WaypointSamples.h"
#include "platform/foundation/FileUtil.h"
#include "store/io/CsvWaypointReader.h"
#include "store/io/CsvWaypointWriter.h"
#include "store/io/FieldText.h"

TEST(CsvWaypointFileTest, WrittenFileReadsBackEveryColumn) {
    const auto records = qxtest::sampleRecords();
    const auto result = qx::CsvWaypointReader::read(qx::CsvWaypointWriter::write(records));
    ASSERT_TRUE(result.readable) << result.error;
    EXPECT_EQ(result.skipped, 0u);
    EXPECT_EQ(result.records, qxtest::withoutDeviceFields(records));
}

TEST(CsvWaypointFileTest, RowsAreQuotedAndNumbersPlainWhateverTheirSize) {
    const std::string text = qx::CsvWaypointWriter::write(qxtest::sampleRecords());
    EXPECT_EQ(text.substr(0, text.find("\r\n")), "date,der,variation,de,accumulation,latitude,longitude,altitude,name");
    EXPECT_NE(text.find("\r\n2026-12-07T10:00:00.250Z,0.123456789012,12.5,0.00001,00:10:00,48.858222,-2.2945,35.75,"
                        "\"Ridge <north> & \"\"quoted\"\", 'single'\"\r\n"),
              std::string::npos);
    // A reading of no waypoint: three empty position fields and an empty name.
    EXPECT_NE(text.find("2026-12-07T12:00:00Z,0.11,40,0.8,,,,,\r\n"), std::string::npos);
    EXPECT_NE(text.find(",\"  padded  \"\r\n"), std::string::npos);
    EXPECT_EQ(qx::FieldText::number(1e-7), "0.0000001");
    EXPECT_EQ(qx::FieldText::number(-1), "-1");
}

TEST(CsvWaypointFileTest, ColumnsAreFoundByNameInAnyOrder) {
    const std::string text =
        "\xEF\xBB\xBF"
        "Name, LATITUDE ,Longitude,Comment,Date,DER\n"
        "\"Field, west\",50.45,30.52,\"said \"\"hi\"\"\",2026-12-07 10:00:00+02:00,0.31\r\n"
        "\n"
        "plain,,,,2026-12-08T00:00:00Z,\n";
    const auto result = qx::CsvWaypointReader::read(text);
    ASSERT_TRUE(result.readable) << result.error;
    ASSERT_EQ(result.records.size(), 2u);
    EXPECT_EQ(result.records[0].name, "Field, west");
    EXPECT_EQ(result.records[0].date, plat::Date(1796630400));
    EXPECT_DOUBLE_EQ(result.records[0].der, 0.31);
    EXPECT_DOUBLE_EQ(*result.records[0].latitude, 50.45);
    EXPECT_FALSE(result.records[0].altitude.has_value());
    EXPECT_FALSE(result.records[1].hasPosition());
    EXPECT_EQ(result.records[1].der, 0);
}

TEST(CsvWaypointFileTest, UnreadableRowsAreSkippedAndTheFirstOneLocated) {
    const std::string text =
        "date,der,latitude,longitude,name\n"                // 1
        "2026-12-07T10:00:00Z,0.1,1,2,\"two\nlines\"\n"      // 2-3
        "2026-12-07T11:00:00Z,0.1,1,2,ok\n"                  // 4
        "2026-02-30T11:00:00Z,0.1,1,2,no such day\n"         // 5
        "2026-12-07T11:00:00Z,0,1\n"                         // 6 too few fields
        "2026-12-07T11:00:00Z,0.1,1,,half a position\n"      // 7
        "2026-12-07T11:00:00Z,0.1,91,2,off the globe\n"      // 8
        "2026-12-07T11:00:00Z,0\xC2\xB7" "1,1,2,bad number\n"  // 9
        "2026-12-07T11:00:00Z,0.1,1,2,bro\"ken\n"            // 10 quote inside a plain field
        "2026-12-07T12:00:00Z,1.5,3,4,after\n";              // 11
    const auto result = qx::CsvWaypointReader::read(text);
    ASSERT_TRUE(result.readable) << result.error;
    ASSERT_EQ(result.records.size(), 3u);
    EXPECT_EQ(result.records[0].name, "two\nlines");
    EXPECT_EQ(result.records[2].name, "after");
    EXPECT_EQ(result.skipped, 6u);
    EXPECT_EQ(result.firstBadLine, 5u);
}

TEST(CsvWaypointFileTest, TheFirstSkippedRowSaysWhichFieldAndWhatWasExpected) {
    struct Case {
        const char* row;
        const char* field;
        const char* expected;
    };
    const Case cases[] = {
        {"2024/05/01 10:00,0.1,1,2,x", "Date", "a date and time such as 2024-05-01T12:00:00Z"},
        {"2024-05-01T10:00:00Z,0\xC2\xB7" "1,1,2,x", "DER", "a number such as 0.12"},
        {"2024-05-01T10:00:00Z,0.1,1,,x", "Longitude", "a latitude and a longitude, or neither"},
        {"2024-05-01T10:00:00Z,0.1,91,2,x", "Latitude", "a latitude from -90 to 90"},
        {"2024-05-01T10:00:00Z,0.1,1,east,x", "Longitude", "a number such as 0.12"},
        {"2024-05-01T10:00:00Z,0.1,1,2", "", "as many fields as the header row"},
        {"2024-05-01T10:00:00Z,0.1,1,2,bro\"ken", "", "quotation marks only around whole fields"},
    };
    for (const auto& c : cases) {
        const auto result = qx::CsvWaypointReader::read(std::string("Date,DER,Latitude,Longitude,Name\n") + c.row +
                                                        "\n2024-05-01T11:00:00Z,0.2,,,fine\n");
        ASSERT_TRUE(result.readable) << c.row;
        EXPECT_EQ(result.records.size(), 1u) << c.row;
        EXPECT_EQ(result.firstBadLine, 2u) << c.row;
        EXPECT_EQ(result.diagnosis.firstBadField, c.field) << c.row;
        EXPECT_EQ(result.diagnosis.firstBadExpected, c.expected) << c.row;
    }
    // Columns the reader does not know are named beside those it does.
    const auto partial = qx::CsvWaypointReader::read("date,dose rate\n2024-05-01T10:00:00Z,0.1\n");
    ASSERT_TRUE(partial.readable);
    EXPECT_EQ(partial.diagnosis.unknownColumns, std::vector<std::string>{"dose rate"});
    EXPECT_EQ(partial.diagnosis.expectedColumns.size(), 9u);
    const auto semicolons = qx::CsvWaypointReader::read("Date;der;name\n2024-05-01T10:00:00Z;0.1;x\n");
    EXPECT_FALSE(semicolons.readable);
    EXPECT_EQ(semicolons.error, "The columns are separated by semicolons; the file needs commas");
    EXPECT_TRUE(semicolons.diagnosis.foundColumns.empty());
    // Another program's own column names, separated so: both are said.
    const auto foreign = qx::CsvWaypointReader::read("Datum;Dosisleistung\n2024-05-01T10:00:00Z;0.1\n");
    EXPECT_EQ(foreign.error, "The columns are separated by semicolons; the file needs commas");
    EXPECT_EQ(foreign.diagnosis.foundColumns, (std::vector<std::string>{"Datum", "Dosisleistung"}));
    EXPECT_EQ(foreign.diagnosis.expectedColumns.size(), 9u);
}

TEST(CsvWaypointFileTest, UnterminatedQuoteCostsOnlyItsOwnRowCount) {
    const auto result = qx::CsvWaypointReader::read(
        "date,name\n2026-12-07T10:00:00Z,first\n2026-12-07T11:00:00Z,\"never closed\n2026-12-07T12:00:00Z,x\n");
    ASSERT_TRUE(result.readable);
    EXPECT_EQ(result.records.size(), 1u);
    EXPECT_EQ(result.skipped, 1u);
    EXPECT_EQ(result.firstBadLine, 3u);
}

TEST(CsvWaypointFileTest, FileWithoutUsableHeaderIsNotTakenAtAll) {
    for (const char* text : {"", "\r\n\r\n", "latitude,longitude\n1,2\n", "\"date,der\n2026-12-07T10:00:00Z,1\n"}) {
        const auto result = qx::CsvWaypointReader::read(text);
        EXPECT_FALSE(result.readable) << text;
        EXPECT_FALSE(result.error.empty());
        EXPECT_TRUE(result.records.empty());
    }
    EXPECT_FALSE(qx::CsvWaypointReader::readFile("/nonexistent/file.csv").readable);
}

TEST(FieldTextTest, DateTimesInEveryZoneFormReadAsTheSameInstant) {
    const plat::Date expected(1796637600);  // 2026-12-07T10:00:00Z
    for (const char* text : {"2026-12-07T10:00:00Z", "2026-12-07T11:00:00+01:00", "2026-12-07T05:30:00-0430",
                             "2026-12-07 10:00:00", " 2026-12-07T12:00:00+02 ", "2026-12-07T24:00:00+14:00"}) {
        const auto date = qx::FieldText::parseDateTime(text);
        ASSERT_TRUE(date.has_value()) << text;
        EXPECT_EQ(*date, expected) << text;
    }
    EXPECT_EQ(qx::FieldText::parseDateTime("2024-02-29T00:00:00.125Z"), plat::Date(1709164800.125));
    EXPECT_EQ(qx::FieldText::parseDateTime("1969-12-31T23:59:59Z"), plat::Date(-1));
    for (const char* text : {"2026-12-07", "2026-13-01T00:00:00Z", "2025-02-29T00:00:00Z", "2026-12-07T10:00:00Q",
                             "2026-12-07T10:60:00Z", "2026-12-07T10:00:00.Z", "07.12.2026 10:00"}) {
        EXPECT_FALSE(qx::FieldText::parseDateTime(text).has_value()) << text;
    }
}

TEST(FieldTextTest, NumbersAcceptOnlyDotDecimals) {
    EXPECT_EQ(qx::FieldText::parseNumber(" +1.5e2 "), 150);
    EXPECT_EQ(qx::FieldText::parseNumber("-0.25"), -0.25);
    for (const char* text : {"", "1,5", "12abc", "nan", "inf", "0x10", "--1"}) {
        EXPECT_FALSE(qx::FieldText::parseNumber(text).has_value()) << text;
    }
}

namespace {

// The names of the rows of a CSV of one "name" column, read from `bytes` fed `piece` bytes at a time.
qx::WaypointReadResult readInPieces(const std::string& bytes, std::size_t piece) {
    qx::CsvWaypointReader reader;
    for (std::size_t at = 0; at < bytes.size(); at += piece) reader.feed(std::string_view(bytes).substr(at, piece));
    return reader.finish();
}

std::vector<std::string> names(const qx::WaypointReadResult& result) {
    std::vector<std::string> out;
    for (const auto& r : result.records) out.push_back(r.name);
    return out;
}

}  // namespace

// Whatever the encoding, the names come out as UTF-8; an encoding that had to be guessed is
// named, and what could not be read at all is counted.
TEST(CsvWaypointFileTest, TextInOtherEncodingsIsReadAsItsOwnEncodingAndNeverKeptBroken) {
    const std::string head = "date,name\n2026-12-07T10:00:00Z,";
    const std::string second = "\n2026-12-07T11:00:00Z,";
    const struct {
        const char* what;
        std::string bytes;
        std::vector<std::string> names;
        std::string readAs;
        std::size_t replaced;
    } cases[] = {
        {"UTF-8", head + "Müller" + second + "線量", {"Müller", "線量"}, "", 0},
        {"UTF-8 with a mark", "\xEF\xBB\xBF" + head + "Müller", {"Müller"}, "", 0},
        {"Latin-1", head + "M\xFCller" + second + "Stra\xDF" "e am See", {"Müller", "Straße am See"}, "ISO-8859-1", 0},
        {"windows-1252", head + "\x93" "Caf\xE9\x94 \x80 5", {"“Café” € 5"}, "windows-1252", 0},
        {"windows-1251", head + "\xCF\xF0\xE8\xE2\xE5\xF2 \xEC\xE8\xF0", {"Привет мир"}, "windows-1251", 0},
        {"UTF-8 with a stray byte", head + "Grüße" + second + "Br\xFC" "cke", {"Grüße", "Br\uFFFDcke"}, "", 1},
        {"a character cut at the end", head + "Grüße \xE2\x82", {"Grüße \uFFFD\uFFFD"}, "", 2},
        // Short files whose only text beyond ASCII is a name or two: read as the Latin text they are,
        // never as Chinese, Japanese or Central European.
        {"one Latin-1 name", head + "0.12 \xB5Sv/h", {"0.12 µSv/h"}, "ISO-8859-1", 0},
        {"one Latin-1 city", head + "M\xE1laga", {"Málaga"}, "ISO-8859-1", 0},
        {"degrees", head + "10\xB0" "C", {"10°C"}, "ISO-8859-1", 0},
        {"two Latin-1 rows", head + "0.12 \xB5Sv/h" + second + "0.14 \xB5Sv/h", {"0.12 µSv/h", "0.14 µSv/h"}, "ISO-8859-1", 0},
        {"a lone stray byte", head + "5 \x80", {"5 €"}, "windows-1252", 0},
        {"UTF-8 with a mark and a stray byte", "\xEF\xBB\xBF" + head + "M\xFCller", {"M\uFFFDller"}, "", 1},
    };
    for (const auto& c : cases) {
        for (const std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{7}, c.bytes.size()}) {
            const auto result = readInPieces(c.bytes, piece);
            ASSERT_TRUE(result.readable) << c.what << ": " << result.error;
            EXPECT_EQ(names(result), c.names) << c.what << " in pieces of " << piece;
            EXPECT_EQ(result.readAs, c.readAs) << c.what;
            EXPECT_EQ(result.replacedCharacters, c.replaced) << c.what;
        }
    }
    // UTF-16 with its mark, either order of bytes.
    std::string le = "\xFF\xFE", be = "\xFE\xFF";
    for (const char16_t unit : std::u16string(u"date,name\n2026-12-07T10:00:00Z,Müller 線量\n")) {
        le += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        be += {static_cast<char>(unit >> 8), static_cast<char>(unit & 0xFF)};
    }
    for (const auto& bytes : {le, be}) {
        for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, bytes.size()}) {
            EXPECT_EQ(names(readInPieces(bytes, piece)), std::vector<std::string>{"Müller 線量"}) << piece;
        }
    }
    // Cut inside its last character, the file says so.
    for (const auto& bytes : {le + "A", be + std::string(1, '\0')}) {
        for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, bytes.size()}) {
            const auto cut = readInPieces(bytes, piece);
            EXPECT_EQ(names(cut), std::vector<std::string>{"Müller 線量"}) << piece;
            EXPECT_EQ(cut.replacedCharacters, 1u) << piece;
        }
    }
}

// Seven-bit encodings look like ASCII: their escape sequences say what they are, and the names
// come out as the text they hold, never with the escape bytes in them. The files were written by
// iconv (Japanese, Korean) and Python's codec (HZ).
TEST(CsvWaypointFileTest, SevenBitEncodingsAreReadByTheirEscapes) {
    const struct {
        const char* file;
        std::vector<std::string> names;
        std::string readAs;
    } files[] = {
        {"iso-2022-jp.csv", {"東京駅 北口", "上野, 公園"}, "ISO-2022-JP"},
        {"iso-2022-kr.csv", {"서울역", "부산 해운대"}, "ISO-2022-KR"},
        {"hz.csv", {"北京 天安门", "上海~外滩"}, "HZ"},
    };
    for (const auto& f : files) {
        const auto bytes = plat::file::read(std::filesystem::path(QX_SOURCE_DIR) / "tests/store/io/fixtures" / f.file);
        ASSERT_TRUE(bytes) << f.file;
        for (const std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{5}, bytes->size()}) {
            const auto result = readInPieces(*bytes, piece);
            ASSERT_TRUE(result.readable) << f.file << ": " << result.error;
            EXPECT_EQ(names(result), f.names) << f.file << " in pieces of " << piece;
            EXPECT_EQ(result.readAs, f.readAs) << f.file;
            EXPECT_EQ(result.replacedCharacters, 0u) << f.file;
        }
    }
    // ASCII text that merely has the characters of an escape stays as it is.
    const std::string head = "date,name\n2026-12-07T10:00:00Z,";
    for (const std::string name : {"smile ~{", "~{a~}", "~{ x ~} y", "tilde ~", "~~{}", "esc \x1B[0m"}) {
        for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, head.size() + name.size()}) {
            const auto result = readInPieces(head + "\"" + name + "\"", piece);
            EXPECT_EQ(names(result), std::vector<std::string>{name}) << name << " in pieces of " << piece;
            EXPECT_EQ(result.readAs, "") << name;
        }
    }
}
