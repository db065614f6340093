#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "TestEnvironment.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Observable.h"
#include "platform/foundation/Utf8Text.h"

TEST(BundleTest, FindsResourcesByNameAndTypeAndReadsVersions) {
    qxtest::TempDir dir;
    std::filesystem::create_directories(dir.path() / "pages");
    plat::file::writeAtomically(dir.path() / "Info.json",
                                R"({"CFBundleShortVersionString": "2.1", "CFBundleVersion": "210"})");
    plat::file::writeAtomically(dir.path() / "pages" / "help.html", "<p>help</p>");
    plat::Bundle bundle(dir.path());
    EXPECT_EQ(bundle.infoValue("CFBundleShortVersionString"), "2.1");
    EXPECT_EQ(bundle.infoValue("CFBundleVersion"), "210");
    EXPECT_EQ(bundle.infoValue("Missing"), "");
    EXPECT_EQ(bundle.contentsOfResource("help", "html").value(), "<p>help</p>");
    EXPECT_FALSE(bundle.pathForResource("help", "htm").has_value());
}

TEST(BundleTest, MainBundleCarriesTheProgramVersions) {
    EXPECT_FALSE(plat::Bundle::main().infoValue("CFBundleShortVersionString").empty());
    EXPECT_FALSE(plat::Bundle::main().infoValue("CFBundleVersion").empty());
}

namespace {
class FixedClock final : public plat::Clock {
public:
    plat::Date now() const override { return plat::Date(42.0); }
};

double systemSeconds() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}
}  // namespace

// "Now" follows whichever clock is shared, as it is replaced, back to the system's.
TEST(ClockTest, NowFollowsTheSharedClockAsItIsReplaced) {
    auto virtualClock = std::make_shared<plat::VirtualClock>(plat::Date(1000.0));
    plat::Clock::setShared(virtualClock);
    virtualClock->advance(5);
    EXPECT_EQ(plat::Date::now().timeIntervalSince1970(), 1005.0);
    plat::Clock::setShared(std::make_shared<FixedClock>());
    EXPECT_EQ(plat::Date::now().timeIntervalSince1970(), 42.0);
    plat::Clock::setShared(std::make_shared<plat::SystemClock>());
    EXPECT_NEAR(plat::Date::now().timeIntervalSince1970(), systemSeconds(), 5.0);
    plat::Clock::setShared(virtualClock);
    EXPECT_EQ(plat::Date::now().timeIntervalSince1970(), 1005.0);
    plat::Clock::setShared(nullptr);
    EXPECT_NEAR(plat::Date::now().timeIntervalSince1970(), systemSeconds(), 5.0);
}

TEST(ObservableTest, SubscribersSeeLaterChangesUntilDisposed) {
    plat::Observable<unsigned> battery(50);
    std::vector<unsigned> seen;
    auto sub = battery.subscribe([&](const unsigned& v) { seen.push_back(v); });
    battery.set(50);  // unchanged: no report
    battery.set(40);
    {
        auto withCurrent = battery.subscribe([&](const unsigned& v) { seen.push_back(v + 1000); }, true);
        battery.set(30);
    }
    sub.dispose();
    battery.set(20);
    EXPECT_EQ(seen, (std::vector<unsigned>{40, 1040, 30, 1030}));
    EXPECT_EQ(battery.get(), 20u);
    EXPECT_EQ(battery.subscriberCount(), 0u);
}

TEST(FileUtilTest, AtomicWriteReplacesWholeFileAndLeavesNoTemporaries) {
    qxtest::TempDir dir;
    auto target = dir.path() / "sub" / "f.txt";
    ASSERT_TRUE(plat::file::writeAtomically(target, "one"));
    ASSERT_TRUE(plat::file::writeAtomically(target, "two"));
    EXPECT_EQ(plat::file::read(target).value(), "two");
    int files = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path() / "sub")) ++files;
    EXPECT_EQ(files, 1);
    std::string error;
    EXPECT_FALSE(plat::file::writeAtomically("/proc/definitely/not/here", "x", &error));
    EXPECT_FALSE(error.empty());
}

// The temporary names are guessable: links planted at the next ones (to a file of the person's)
// are passed over and their targets never written, while a folder on the way that is a link (a
// Documents folder kept elsewhere) is written into as any folder.
TEST(FileUtilTest, AtomicWriteNeverWritesThroughALinkAtItsTemporaryName) {
    namespace fs = std::filesystem;
    qxtest::TempDir dir;
    const auto shared = dir.path() / "shared";
    fs::create_directories(shared);
    fs::create_directory_symlink(shared, dir.path() / "Documents");
    const auto target = dir.path() / "Documents" / "export.csv";
    const auto victim = dir.path() / "victim.txt";
    ASSERT_TRUE(plat::file::writeAtomically(victim, "the person's own"));

    // Learns the number the last write took from its temporary, seen while it is being written.
    std::string seen;
    plat::file::setWriteFilter([&](std::size_t) {
        for (const auto& e : fs::directory_iterator(shared)) {
            if (plat::file::isTemporaryName(e.path().filename().string())) seen = e.path().filename().string();
        }
        return true;
    });
    ASSERT_TRUE(plat::file::writeAtomically(target, "first"));
    plat::file::setWriteFilter({});
    ASSERT_FALSE(seen.empty());
    const auto dash = seen.rfind('-');
    const unsigned last = static_cast<unsigned>(std::stoul(seen.substr(dash + 1)));
    for (unsigned n = last + 1; n <= last + 3; ++n)
        fs::create_symlink(victim, shared / (seen.substr(0, dash + 1) + std::to_string(n)));

    ASSERT_TRUE(plat::file::writeAtomically(target, "second"));
    EXPECT_EQ(plat::file::read(victim).value_or(""), "the person's own");
    EXPECT_EQ(plat::file::read(shared / "export.csv").value_or(""), "second");
    EXPECT_FALSE(fs::is_symlink(target));

    // A link at the file's own name is replaced by the file, not written through.
    fs::create_symlink(victim, dir.path() / "Preferences.json");
    ASSERT_TRUE(plat::file::writeAtomically(dir.path() / "Preferences.json", "{}"));
    EXPECT_FALSE(fs::is_symlink(dir.path() / "Preferences.json"));
    EXPECT_EQ(plat::file::read(victim).value_or(""), "the person's own");
}

// Each byte that starts no well-formed sequence becomes one U+FFFD; well-formed text, up to the
// last code point, stays as it is.
TEST(FileUtilTest, AFileWrittenInPiecesNeverReplacesOneThatTookItsNameMeanwhile) {
    namespace fs = std::filesystem;
    qxtest::TempDir scratch;
    const fs::path dir = scratch.path();
    plat::file::AtomicFile late;
    ASSERT_TRUE(late.open(dir / "Waypoints.csv"));
    ASSERT_TRUE(late.append("late export\n"));
    // Another export of the same second finishes first, under the same name.
    ASSERT_TRUE(plat::file::writeAtomically(dir / "Waypoints.csv", "first export\n"));
    ASSERT_TRUE(late.commitAsNew([&] { return plat::file::uniqueName(dir, "Waypoints", ".csv"); }));
    EXPECT_EQ(late.path(), dir / "Waypoints-1.csv");
    EXPECT_EQ(plat::file::read(dir / "Waypoints.csv").value_or(""), "first export\n");
    EXPECT_EQ(plat::file::read(dir / "Waypoints-1.csv").value_or(""), "late export\n");
    // A plain commit still replaces, as whole-file writes always have.
    plat::file::AtomicFile again;
    ASSERT_TRUE(again.open(dir / "Waypoints.csv") && again.append("again\n") && again.commit());
    EXPECT_EQ(plat::file::read(dir / "Waypoints.csv").value_or(""), "again\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 2);
}

TEST(Utf8TextTest, ReplacesEveryByteThatStartsNoWellFormedSequence) {
    using plat::Utf8Text;
    const std::string r(Utf8Text::kReplacement);
    const struct {
        std::string in, out;
        std::size_t replaced;
    } cases[] = {
        {"Müller 線量 😀", "Müller 線量 😀", 0},
        {"\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF", 0},  // U+10FFFF
        {"M\xFCller", "M" + r + "ller", 1},          // Latin-1
        {"\xC0\xAF", r + r, 2},                       // overlong "/"
        {"\xE0\x80\xAF", r + r + r, 3},               // overlong, three bytes
        {"\xED\xA0\x80", r + r + r, 3},               // a surrogate
        {"\xF4\x90\x80\x80", r + r + r + r, 4},       // past U+10FFFF
        {"\xE2\x82", r + r, 2},                       // cut short at the end
        {"\xE2\x82x", r + r + "x", 2},                // cut short before a letter
        {"\x80\xBF", r + r, 2},                       // continuation bytes alone
        {std::string("a\0b", 3), std::string("a\0b", 3), 0},
    };
    for (const auto& c : cases) {
        std::size_t replaced = 0;
        EXPECT_EQ(Utf8Text::valid(c.in, &replaced), c.out) << c.in;
        EXPECT_EQ(replaced, c.replaced) << c.in;
        EXPECT_EQ(Utf8Text::isValid(c.in), c.replaced == 0) << c.in;
    }
    EXPECT_TRUE(Utf8Text::isCutSequence("a\xE2\x82", 1));
    EXPECT_TRUE(Utf8Text::isCutSequence("\xF0\x9F", 0));
    EXPECT_FALSE(Utf8Text::isCutSequence("\xE2\x82x", 0));
    EXPECT_FALSE(Utf8Text::isCutSequence("\xC0", 0));
}
