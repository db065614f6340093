#include <gtest/gtest.h>

#include "TestEnvironment.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Observable.h"

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
