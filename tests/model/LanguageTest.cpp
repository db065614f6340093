#include <gtest/gtest.h>

#include "ModelTestFixture.h"
#include "platform/foundation/NotificationCenter.h"

using qx::Language;

TEST_F(ModelTest, SwitchingLanguagePostsTheNotificationAndChangesTexts) {
    int posts = 0;
    auto token = plat::NotificationCenter::defaultCenter().addObserver(
        qx::kVNLanguageDidSwitchedNotification, [&](const plat::Notification&) {
            ++posts;
            EXPECT_EQ(Language::get("n/a"), "該当なし") << "observers already see the new table";
        });
    EXPECT_EQ(Language::get("n/a"), "n/a");
    useLanguage("ja");
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(Language::currentLanguage(), "ja");
}

TEST_F(ModelTest, EveryLanguageHasTheSameKeysTranslated) {
    for (const auto& code : Language::supportedLanguages()) {
        useLanguage(code);
        EXPECT_FALSE(Language::get("All devices").empty()) << code;
        if (code != "en") {
            EXPECT_NE(Language::get("All devices"), "All devices") << code;
        }
    }
}

TEST_F(ModelTest, MissingKeyShowsTheKeyItself) {
    useLanguage("fr");
    EXPECT_EQ(Language::get("A text nobody translated"), "A text nobody translated");
}

TEST_F(ModelTest, CodeWithoutATableShowsEnglish) {
    useLanguage("ja");
    for (const char* code : {"xx", "", "../ja"}) {
        useLanguage(code);
        EXPECT_EQ(Language::currentLanguage(), "en") << code;
        // Keys whose English texts differ from the keys themselves.
        EXPECT_EQ(Language::get("ru"), "Русский") << code;
        EXPECT_EQ(Language::get("milli"), "m") << code;
    }
}
