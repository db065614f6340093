#include <gtest/gtest.h>

#include "TestEnvironment.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/FileUtil.h"
#include "platform/graphics/PixelImage.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Window.h"
#include "store/PhotoLibraryPicker.h"
#include "store/VNPhotoManager.h"

namespace {

class PhotoManagerTest : public qxtest::AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        window.setRootViewController(screen);
        window.makeKeyAndVisible();
        plat::file::ensureDirectory(plat::DataFolder::photos());
    }

    std::filesystem::path addPhoto(const std::string& name, int width) {
        const auto path = plat::DataFolder::photos() / name;
        EXPECT_TRUE(plat::PixelImage(width, 10).writePng(path));
        return path;
    }

    // Opens the prompt, presses `button` and returns what the block got, and how often.
    std::pair<std::optional<std::string>, int> answer(const std::string& button) {
        std::optional<std::string> url;
        int calls = 0;
        qx::VNPhotoManager::sharedInstance().takePhotoAlertInController(screen.get(), [&](const auto& u) {
            url = u;
            ++calls;
        });
        auto alert = plat::AlertView::frontmostAlert();
        EXPECT_EQ(alert->title(), "Take or select photo");
        EXPECT_TRUE(alert->pressButton(button));
        drain();
        return {url, calls};
    }

    std::shared_ptr<plat::ViewController> screen = std::make_shared<plat::ViewController>();
    plat::Window window;
};

TEST_F(PhotoManagerTest, CancelAndTheMissingCameraGiveNoPhoto) {
    EXPECT_EQ(answer("Cancel"), (std::pair<std::optional<std::string>, int>{std::nullopt, 1}));
    EXPECT_EQ(answer("Take photo"), (std::pair<std::optional<std::string>, int>{std::nullopt, 1}));
    std::filesystem::remove_all(plat::DataFolder::photos());
    EXPECT_EQ(answer("Select from Library"), (std::pair<std::optional<std::string>, int>{std::nullopt, 1}));
}

TEST_F(PhotoManagerTest, PickedPhotoComesBackAsItsUrlAndLoads) {
    addPhoto("b.png", 20);
    const auto chosen = addPhoto("Gipfel Ä #1.png", 30);
    plat::file::writeAtomically(plat::DataFolder::photos() / "notes.txt", "not a photo");

    std::optional<std::string> url;
    int calls = 0;
    qx::VNPhotoManager::sharedInstance().takePhotoAlertInController(screen.get(), [&](const auto& u) {
        url = u;
        ++calls;
    });
    ASSERT_TRUE(plat::AlertView::frontmostAlert()->pressButton("Select from Library"));
    auto picker = std::dynamic_pointer_cast<qx::PhotoLibraryPicker>(screen->presentedViewController());
    ASSERT_TRUE(picker);
    picker->view();
    ASSERT_EQ(picker->tableView()->numberOfRows(0), 2);
    EXPECT_EQ(picker->tableView()->cellForRow({0, 0})->textLabel().text(), "Gipfel Ä #1.png");
    ASSERT_TRUE(picker->tableView()->userSelectRow({0, 0}));
    drain();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(screen->presentedViewController(), nullptr);
    ASSERT_TRUE(url.has_value());
    EXPECT_EQ(url->find(' '), std::string::npos);
    EXPECT_EQ(qx::VNPhotoManager::photoForUrl(*url), std::filesystem::canonical(chosen));

    plat::ImagePtr image;
    qx::VNPhotoManager::sharedInstance().getImage(*url, [&](const plat::ImagePtr& i, const std::string&) { image = i; });
    drain();
    ASSERT_TRUE(image && image->hasPixels());
    EXPECT_EQ(image->size().width, 30);
}

TEST_F(PhotoManagerTest, OnlyTheLatestLoadIsAnsweredWithItsOwnPicture) {
    const auto first = qx::VNPhotoManager::urlForPhoto(addPhoto("first.png", 11));
    const auto second = qx::VNPhotoManager::urlForPhoto(addPhoto("second.png", 22));
    int firstCalls = 0;
    plat::ImagePtr got;
    qx::VNPhotoManager::sharedInstance().getImage(first, [&](const plat::ImagePtr&, const std::string&) { ++firstCalls; });
    qx::VNPhotoManager::sharedInstance().getImage(second, [&](const plat::ImagePtr& i, const std::string&) { got = i; });
    drain();
    EXPECT_EQ(firstCalls, 0);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->size().width, 22);
}

TEST_F(PhotoManagerTest, UrlsOutsideTheLibraryOrBrokenLoadNothing) {
    addPhoto("ok.png", 5);
    plat::file::writeAtomically(plat::DataFolder::photos() / "broken.png", "not a png");
    plat::file::writeAtomically(plat::DataFolder::root() / "secret.png", "elsewhere");
    const auto photos = qx::VNPhotoManager::urlForPhoto(plat::DataFolder::photos());
    for (const std::string& url : {photos + "/../secret.png", qx::VNPhotoManager::urlForPhoto("/etc/passwd"),
                                   photos + "/ok.png%00.txt", photos + "/missing.png", std::string("assets-library://x"),
                                   photos + "/broken.png"}) {
        bool called = false;
        plat::ImagePtr image = plat::Image::named("placeholder");
        std::string why;
        qx::VNPhotoManager::sharedInstance().getImage(url, [&](const plat::ImagePtr& i, const std::string& w) {
            called = true;
            image = i;
            why = w;
        });
        drain();
        EXPECT_TRUE(called) << url;
        EXPECT_EQ(image, nullptr) << url;
        EXPECT_FALSE(why.empty()) << url;
    }
    EXPECT_TRUE(qx::VNPhotoManager::photoForUrl("file://localhost" + (photos.substr(7) + "/ok.png")).has_value());
}

TEST_F(PhotoManagerTest, AUrlOfTheFolderOfThenFindsThePhotoOfTheSameNameInTodays) {
    const auto kept = std::filesystem::canonical(addPhoto("Gipfel #1.png", 5));
    plat::file::writeAtomically(plat::DataFolder::root() / "elsewhere.png", "outside");
    const auto then = qx::VNPhotoManager::urlForPhoto("/old/home/Photos/Gipfel #1.png");
    EXPECT_EQ(qx::VNPhotoManager::photoForUrl(then), kept);
    // Only by name, and only in the library.
    for (const std::string& url : {qx::VNPhotoManager::urlForPhoto("/old/home/Photos/missing.png"),
                                   qx::VNPhotoManager::urlForPhoto("/old/home/elsewhere.png/.."),
                                   qx::VNPhotoManager::urlForPhoto("/old/home/Photos/"),
                                   qx::VNPhotoManager::urlForPhoto("/old/home/Photos/..")}) {
        EXPECT_FALSE(qx::VNPhotoManager::photoForUrl(url).has_value()) << url;
    }
}

}  // namespace
