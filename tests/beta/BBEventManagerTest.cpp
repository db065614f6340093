#include "beta/BBEventManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "BetaTestSupport.h"
#include "FakeService.h"
#include "beta/BBDeviceInfo.h"
#include "beta/BBMessagePack.h"
#include "beta/BBMessagePackDescriptor.h"
#include "beta/BBMessagePackReader.h"
#include "beta/BBNetworkManager.h"
#include "platform/foundation/FileUtil.h"

namespace bb {
namespace {

using bbtest::FakeService;
namespace fs = std::filesystem;

BBDictionary event(const std::string& type, std::size_t padding = 0) {
    return BBDictionary{{"type", type}, {"padding", std::string(padding, 'x')}};
}

std::string bytesOf(const fs::path& path) { return plat::file::read(path).value_or(""); }

// The events of a queue file, when it parses as one map of four with the queue's key last.
std::optional<BBArray> eventsIn(const fs::path& path, const std::string& key = "events") {
    auto top = BBMessagePack::unpackDictionary(bytesOf(path));
    if (!top || top->size() != 4 || !top->contains("bundle_info") || !top->contains("device_info")) return std::nullopt;
    const BBValue* version = top->find("sdk_version");
    const BBValue* events = top->find(key);
    if (!version || version->string() != BBEventManager::kSDKVersion || !events || !events->asArray()) return std::nullopt;
    return *events->asArray();
}

// The length of the first whole MessagePack document in `bytes`.
std::uint64_t documentLength(const std::string& bytes) {
    auto reader = bb_mp_reader_init(bytes.data(), bytes.size());
    if (!bb_mp_build_object(reader)) return 0;
    return static_cast<std::uint64_t>(reinterpret_cast<const char*>(reader.ptr) - bytes.data()) +
           bb_mp_header_size(reader.kind) + reader.rawLength;
}

std::vector<std::string> typesIn(const fs::path& path) {
    std::vector<std::string> types;
    for (const auto& item : eventsIn(path).value_or(BBArray{})) {
        const BBValue* type = item.asDictionary() ? item.asDictionary()->find("type") : nullptr;
        types.emplace_back(type ? type->string() : "?");
    }
    return types;
}

class BBEventManagerTest : public bbtest::BetaTest {
protected:
    void TearDown() override {
        onSDKQueue([&] { manager.reset(); });
        BetaTest::TearDown();
    }
    void makeManager(std::optional<std::string> url = std::nullopt) {
        onSDKQueue([&] { manager = BBEventManager::eventManagerWithQueueKeyUrl("events", url); });
    }
    void enqueue(const BBDictionary& object, bool now = false) {
        onSDKQueue([&] { manager->enqueueObjectAndSendImmediately(object, now); });
    }
    fs::path queueFolder() const { return BBEventManager::eventsFolderPath() / "events"; }
    std::vector<fs::path> filesInQueueFolder() const {
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(queueFolder())) files.push_back(entry.path());
        return files;
    }
    // The stream paths and priorities of the uploads waiting in the shared network queue.
    std::vector<std::pair<std::string, int>> waitingUploads() {
        std::vector<std::pair<std::string, int>> uploads;
        for (const auto& op : BBNetworkManager::sharedManager().networkQueue().operations()) {
            auto upload = std::dynamic_pointer_cast<BBURLConnectionOperation>(op);
            uploads.emplace_back(upload && upload->streamPath() ? *upload->streamPath() : "", op->queuePriority());
        }
        return uploads;
    }

    std::shared_ptr<BBEventManager> manager;
};

TEST_F(BBEventManagerTest, EachAppendLeavesOneWholeDocumentWithTheCountPatchedInPlace) {
    makeManager();
    enqueue(event("a"));
    const fs::path path = manager->queuePath();
    const std::string afterOne = bytesOf(path);
    enqueue(event("b"));
    enqueue(event("c"));
    const std::string afterThree = bytesOf(path);

    EXPECT_EQ(typesIn(path), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(manager->queueCount(), 3u);
    // Only the count changed among the bytes already written; the new items follow them.
    std::string expected = afterOne;
    const std::size_t countAt = afterOne.size() - BBMessagePack::pack(BBValue(event("a")))->size() - 4;
    expected[countAt + 3] = '\x03';
    EXPECT_EQ(afterThree.substr(0, afterOne.size()), expected);
    EXPECT_EQ(afterThree.substr(countAt - 1, 5), std::string("\xdd\x00\x00\x00\x03", 5));
    // The start data on disk open every queue file.
    const std::string startData = bytesOf(BBEventManager::startDataFilePath());
    ASSERT_FALSE(startData.empty());
    EXPECT_EQ(afterThree.substr(0, startData.size()), startData);
}

TEST_F(BBEventManagerTest, AFileThatReachesTheSizeLimitIsClosedAndTheNextEventStartsAnother) {
    makeManager();
    int appended = 0;
    while (manager->hasOpenQueue() || appended == 0) {
        enqueue(event("e" + std::to_string(appended++), 60'000));
        ASSERT_LT(appended, 20);
    }
    const fs::path first = manager->queuePath();
    EXPECT_GE(fs::file_size(first), BBEventManager::kQueueFileSizeLimit);
    EXPECT_LT(fs::file_size(first) - 60'100, BBEventManager::kQueueFileSizeLimit);  // closed by the last one
    EXPECT_EQ(eventsIn(first)->size(), static_cast<std::size_t>(appended));

    enqueue(event("next"));
    EXPECT_NE(manager->queuePath(), first);
    EXPECT_EQ(typesIn(manager->queuePath()), std::vector<std::string>{"next"});
    EXPECT_EQ(manager->queuePaths(), (std::vector<fs::path>{first, manager->queuePath()}));
}

// A file whose head could not be written would reach the service as garbage: it is abandoned.
TEST_F(BBEventManagerTest, AFileWhoseHeadCannotBeWrittenIsAbandoned) {
    makeManager();
    fs::remove_all(queueFolder());
    plat::file::writeAtomically(queueFolder(), "not a folder");
    enqueue(event("lost"));
    EXPECT_FALSE(manager->hasOpenQueue());
    EXPECT_TRUE(manager->queuePaths().empty());

    fs::remove(queueFolder());
    enqueue(event("kept"));
    EXPECT_EQ(typesIn(manager->queuePath()), std::vector<std::string>{"kept"});
}

// The start data live in memory, so a start-data file that cannot be written costs no event;
// writing it is tried again with the next queue file.
TEST_F(BBEventManagerTest, AStartDataFileThatCannotBeWrittenStillGivesWholeQueueFiles) {
    fs::create_directories(BBEventManager::startDataFilePath());  // a folder where the file belongs
    makeManager();
    enqueue(event("a"));
    EXPECT_EQ(typesIn(manager->queuePath()), std::vector<std::string>{"a"});

    fs::remove(BBEventManager::startDataFilePath());
    onSDKQueue([&] { BBEventManager::flush(); });  // no URL: only closes the file
    enqueue(event("b"));
    EXPECT_TRUE(fs::is_regular_file(BBEventManager::startDataFilePath()));
    EXPECT_EQ(typesIn(manager->queuePath()), std::vector<std::string>{"b"});
}

TEST_F(BBEventManagerTest, FlushWithoutAnAddressKeepsTheFilesForALaterFlushThatSendsByPriority) {
    FakeService service;
    setReachabilityFlags(0);  // holds the uploads so their order can be seen
    makeManager();
    enqueue(event("normal"));
    onSDKQueue([&] { BBEventManager::flush(); });
    EXPECT_FALSE(manager->hasOpenQueue());
    const fs::path normal = manager->queuePath();
    enqueue(event("urgent"), true);
    const fs::path urgent = manager->queuePath();
    EXPECT_EQ(manager->queuePathsHighPriority(), std::vector<fs::path>{urgent});
    EXPECT_EQ(manager->queuePaths(), std::vector<fs::path>{normal});
    EXPECT_TRUE(waitingUploads().empty());

    onSDKQueue([&] {
        manager->setUrl(service.url("/beamdeck/1.0/sessions.mpack"));
        BBEventManager::flush();
    });
    EXPECT_EQ(waitingUploads(), (std::vector<std::pair<std::string, int>>{{urgent.string(), BBOperation::High},
                                                                           {normal.string(), BBOperation::Normal}}));
    EXPECT_TRUE(manager->queuePaths().empty());
    EXPECT_TRUE(manager->queuePathsHighPriority().empty());

    const std::string urgentBytes = bytesOf(urgent);
    setReachabilityFlags(BBReachability::kReachable);
    ASSERT_TRUE(waitUntil([&] { return !fs::exists(urgent) && !fs::exists(normal); }));
    auto requests = service.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].body, urgentBytes);
}

TEST_F(BBEventManagerTest, AOneEventFileStreamsItsLastValueAndClosesTheOpenFileFirst) {
    makeManager();
    enqueue(event("before"));
    const fs::path open = manager->queuePath();
    // Bytes of an earlier process that died while writing such a file.
    plat::file::writeAtomically(queueFolder() / "temp", std::string(3000, '\x7f'));

    bool written = false;
    onSDKQueue([&] {
        written = manager->enqueueDictionaryWithExtraPairWithKeyAndObjectDataWriter(
            event("session_end"), "log", [](int fd) { return bb_mp_fd_write_cstring(fd, "streamed log") == 1; });
    });
    ASSERT_TRUE(written);
    EXPECT_FALSE(manager->hasOpenQueue());
    EXPECT_FALSE(fs::exists(queueFolder() / "temp"));
    ASSERT_EQ(manager->queuePaths().size(), 2u);
    EXPECT_EQ(typesIn(open), std::vector<std::string>{"before"});

    const fs::path single = manager->queuePaths()[1];
    EXPECT_EQ(single.extension(), ".msgpack");
    auto events = eventsIn(single);
    ASSERT_TRUE(events);
    ASSERT_EQ(events->size(), 1u);
    const BBDictionary* record = (*events)[0].asDictionary();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->size(), 3u);
    EXPECT_EQ(record->find("log")->string(), "streamed log");
    // Nothing follows the document: the leftover bytes are gone.
    EXPECT_EQ(documentLength(bytesOf(single)), fs::file_size(single));

    enqueue(event("after"));
    EXPECT_NE(manager->queuePath(), open);
}

TEST_F(BBEventManagerTest, AWriterThatFailsLeavesNoFileBehind) {
    makeManager();
    bool written = true;
    onSDKQueue([&] {
        written = manager->enqueueDictionaryWithExtraPairWithKeyAndObjectDataWriter(
            event("session_end"), "log", [](int fd) {
                bb_mp_fd_write_cstring(fd, "part");
                return false;
            });
    });
    EXPECT_FALSE(written);
    EXPECT_TRUE(filesInQueueFolder().empty());
    EXPECT_TRUE(manager->queuePaths().empty());
}

class BBEventManagerOldFilesTest : public BBEventManagerTest {
protected:
    // A queue file as an earlier process leaves it, with `types` counted.
    fs::path earlierFile(const std::string& name, const std::vector<std::string>& types) {
        fs::path path = queueFolder() / name;
        onSDKQueue([&] {
            fs::create_directories(queueFolder());
            auto file = BBQueueFile::create(path, BBEventManager::_ensureNetworkStartDataIsSetup(), "events", 0);
            for (const auto& type : types) file->appendItem(BBMessagePack::pack(BBValue(event(type)))->view());
        });
        return path;
    }
    static void appendRaw(const fs::path& path, const std::string& bytes) {
        plat::file::writeAtomically(path, bytesOf(path) + bytes);
    }
};

TEST_F(BBEventManagerOldFilesTest, AtMostElevenEarlierFilesAreTakenAndSentAtLowPriority) {
    for (int i = 0; i < 15; ++i) earlierFile("OLD" + std::to_string(i) + ".msgpack", {"old"});
    plat::file::writeAtomically(queueFolder() / "temp", "leftover");
    FakeService service;
    setReachabilityFlags(0);
    makeManager(service.url("/up"));
    ASSERT_TRUE(manager->oldQueuePaths());
    EXPECT_EQ(manager->oldQueuePaths()->size(), 11u);

    onSDKQueue([&] { BBEventManager::flush(); });
    auto uploads = waitingUploads();
    EXPECT_EQ(uploads.size(), 11u);
    EXPECT_TRUE(std::all_of(uploads.begin(), uploads.end(), [](const auto& u) { return u.second == BBOperation::Low; }));
    EXPECT_FALSE(manager->oldQueuePaths());
}

// A process killed in the middle of an append leaves an item written but not yet counted, or a
// piece of one; the next process keeps every whole event and cuts the piece off.
TEST_F(BBEventManagerOldFilesTest, AHalfWrittenFileOfAKilledProcessKeepsItsWholeEvents) {
    const fs::path uncounted = earlierFile("A.msgpack", {"a", "b"});
    appendRaw(uncounted, std::string(BBMessagePack::pack(BBValue(event("c")))->view()));
    const fs::path cutShort = earlierFile("B.msgpack", {"a"});
    const std::string item(BBMessagePack::pack(BBValue(event("b", 100)))->view());
    appendRaw(cutShort, item.substr(0, 40));
    const fs::path headless = earlierFile("C.msgpack", {});
    plat::file::writeAtomically(headless, bytesOf(headless).substr(0, 30));

    makeManager();
    EXPECT_EQ(typesIn(uncounted), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(typesIn(cutShort), std::vector<std::string>{"a"});
    EXPECT_EQ(documentLength(bytesOf(cutShort)), fs::file_size(cutShort));
    EXPECT_FALSE(fs::exists(headless));
    auto old = *manager->oldQueuePaths();
    std::sort(old.begin(), old.end());
    EXPECT_EQ(old, (std::vector<fs::path>{uncounted, cutShort}));
}

TEST_F(BBEventManagerTest, AfterTheRecordsChangeTheNextFileCarriesTheNewStartData) {
    makeManager();
    enqueue(event("a"));
    const fs::path before = manager->queuePath();
    BBDeviceInfo::deviceInformation();
    onSDKQueue([] { BBDeviceInfo::addCustomEnvironmentInformationForKey("blue", "colour"); });
    EXPECT_FALSE(manager->hasOpenQueue());
    enqueue(event("b"));
    ASSERT_NE(manager->queuePath(), before);

    auto top = BBMessagePack::unpackDictionary(bytesOf(manager->queuePath()));
    ASSERT_TRUE(top);
    const BBDictionary* device = top->find("device_info")->asDictionary();
    ASSERT_TRUE(device && device->find("custom_environment"));
    EXPECT_EQ(device->find("custom_environment")->asDictionary()->find("colour")->string(), "blue");
    EXPECT_EQ(bytesOf(BBEventManager::startDataFilePath()), bytesOf(manager->queuePath()).substr(0, bytesOf(BBEventManager::startDataFilePath()).size()));
}

}  // namespace
}  // namespace bb
