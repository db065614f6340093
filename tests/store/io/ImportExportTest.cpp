#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "../StoreTestSupport.h"
#include "FullDisk.h"
#include "WaypointSamples.h"
#include "model/DateStrings.h"
#include "model/Language.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/FileUtil.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/MailComposer.h"
#include "platform/ui/ProgressOverlay.h"
#include "platform/ui/Window.h"
#include "store/ExportManager.h"
#include "store/Connection.h"
#include "store/FetchedResultsController.h"
#include "store/ImportManager.h"
#include "store/io/CsvWaypointWriter.h"
#include "store/io/FileInPieces.h"
#include "store/io/GpxWaypointWriter.h"

namespace qxtest {

namespace {

class ImportExportTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        window.setRootViewController(screen);
        window.makeKeyAndVisible();
    }

    // Every stored reading, oldest first, as file records.
    std::vector<qx::WaypointRecord> storedRecords() {
        auto all = main().fetch<qx::Measurement>(qx::FetchRequest::of<qx::Measurement>().sortedBy("date"));
        return qx::ExportManager::recordsOf({all.begin(), all.end()});
    }

    std::vector<std::shared_ptr<qx::ManagedObject>> storeSamples() {
        qx::ImportManager::storeRecords(sampleRecords(), main());
        EXPECT_TRUE(main().save());
        auto all = main().fetch<qx::Measurement>(qx::FetchRequest::of<qx::Measurement>().sortedBy("date"));
        return {all.begin(), all.end()};
    }

    // Exports, checks the mail offered with the file, and closes the mail.
    // With `days`, the objects are days whose waypoints are exported.
    std::filesystem::path exportAndWait(const std::vector<std::shared_ptr<qx::ManagedObject>>& objects, unsigned format,
                                        bool days = false) {
        bool done = false;
        if (days) {
            qx::ExportManager::sharedInstance().exportWaypointsOfDays(objects, format, [&] { done = true; });
        } else {
            qx::ExportManager::sharedInstance().exportWaypoints(objects, format, [&] { done = true; });
        }
        EXPECT_EQ(overlayTitle(), "Exporting data...");
        drain();
        EXPECT_EQ(overlayTitle(), "");
        auto mail = std::dynamic_pointer_cast<plat::MailComposer>(screen->presentedViewController());
        EXPECT_TRUE(mail);
        EXPECT_FALSE(done);  // not before the mail is closed
        if (mail) {
            mailBody = mail->messageBody();
            EXPECT_EQ(mail->subject(), "Data export");
            EXPECT_EQ(mail->attachments().size(), 1u);
            EXPECT_EQ(mail->attachments().at(0).mimeType, format == 1 ? "text/csv" : "application/gpx+xml");
            EXPECT_TRUE(mail->cancel());
        }
        EXPECT_TRUE(done);
        EXPECT_EQ(screen->presentedViewController(), nullptr);
        std::vector<std::filesystem::path> files;
        for (const auto& e : std::filesystem::directory_iterator(plat::DataFolder::documents())) files.push_back(e.path());
        EXPECT_EQ(files.size(), 1u);
        return files.empty() ? std::filesystem::path() : files.front();
    }

    qx::ImportResult importAndWait(const std::filesystem::path& file) {
        qx::ImportResult result;
        bool done = false;
        qx::ImportManager::sharedImportManager().importFile(file, [&](const qx::ImportResult& r) {
            result = r;
            done = true;
        });
        EXPECT_EQ(overlayTitle(), "Importing data...");
        drain();
        EXPECT_TRUE(done);
        EXPECT_EQ(overlayTitle(), "");
        return result;
    }

    std::string alertText() {
        auto alert = plat::AlertView::frontmostAlert();
        return alert ? alert->title() + "|" + alert->message() : std::string();
    }

    std::string overlayTitle() {
        auto overlay = plat::ProgressOverlay::overlayOn(&window);
        return overlay && overlay->isShowing() ? overlay->title() : std::string();
    }

    std::size_t storedCount(qx::EntityKind entity) { return main().count(qx::FetchRequest(entity)).value_or(0); }

    std::shared_ptr<plat::ViewController> screen = std::make_shared<plat::ViewController>();
    plat::Window window;
    std::string mailBody;  // of the mail exportAndWait offered last
};

}  // namespace

TEST_F(ImportExportTest, CsvExportThenImportGivesBackEveryReading) {
    const auto file = exportAndWait(storeSamples(), 1);
    EXPECT_EQ(file.extension(), ".csv");
    const auto before = storedRecords();
    ASSERT_TRUE(store().wipe());
    const auto result = importAndWait(file);
    EXPECT_TRUE(result.success);
    EXPECT_EQ(result.imported, 4u);
    EXPECT_EQ(storedRecords(), withoutDeviceFields(before));
    EXPECT_EQ(storedCount(qx::EntityKind::waypoint), 3u);  // the reading of no waypoint stays one
    EXPECT_EQ(alertText(), "Data import|Imported: 4\nSkipped: 0");
}

TEST_F(ImportExportTest, GpxExportThenImportGivesBackEveryWaypointField) {
    const auto objects = storeSamples();
    std::vector<std::shared_ptr<qx::ManagedObject>> waypoints;
    for (const auto& o : objects) {
        if (auto w = std::static_pointer_cast<qx::Measurement>(o)->waypoint()) waypoints.push_back(w);
    }
    const auto file = exportAndWait(waypoints, 2);
    const auto before = storedRecords();
    ASSERT_TRUE(store().wipe());
    EXPECT_EQ(importAndWait(file).imported, 2u);  // a point without a fix has no place in GPX
    auto expected = before;
    expected.erase(std::remove_if(expected.begin(), expected.end(), [](const auto& r) { return !r.hasPosition(); }),
                   expected.end());
    EXPECT_EQ(storedRecords(), expected);
}

TEST_F(ImportExportTest, UnknownPositionsAndAltitudesAreLeftOutOfTheFiles) {
    // A point taken without a fix (-1 in all three) and one imported without elevation.
    qx::WaypointRecord noElevation;
    noElevation.date = plat::Date(1719835200);
    noElevation.der = 0.5;
    noElevation.latitude = 48.5;
    noElevation.longitude = 9.25;
    noElevation.name = "No ele";
    qx::ImportManager::storeRecords({noElevation}, main());
    auto m = main().insertNew<qx::Measurement>();
    m->setDate(plat::Date(1719835260));
    m->setDer(0.25);
    auto unplaced = main().insertNew<qx::Waypoint>();
    unplaced->applyLocation(std::nullopt);
    unplaced->setName(std::string("No fix"));
    m->setWaypoint(unplaced);
    ASSERT_TRUE(main().save());
    auto waypoints = main().fetch<qx::Waypoint>(qx::FetchRequest::of<qx::Waypoint>().sortedBy("measurement.date"));
    ASSERT_EQ(waypoints.size(), 2u);
    const std::vector<std::shared_ptr<qx::ManagedObject>> objects(waypoints.begin(), waypoints.end());

    const auto gpx = exportAndWait(objects, 2);
    EXPECT_EQ(mailBody, "Readings without a position, left out of the GPX file: 1");
    const std::string gpxText = plat::file::read(gpx).value_or("");
    EXPECT_EQ(gpxText.find("<wpt lat=\"48.5\" lon=\"9.25\">"), gpxText.rfind("<wpt")) << gpxText;
    EXPECT_EQ(gpxText.find("<ele>"), std::string::npos) << gpxText;
    EXPECT_EQ(gpxText.find("-1"), std::string::npos) << gpxText;
    if (std::system("command -v gpsbabel >/dev/null 2>&1") == 0) {
        // Another program reads one point, with no altitude and nothing at 1 S 1 W.
        const auto converted = gpx.parent_path() / "converted.csv";
        const std::string command = "gpsbabel -i gpx -f '" + gpx.string() + "' -o unicsv,utc=0 -F '" +
                                    converted.string() + "' 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0);
        const std::string table = plat::file::read(converted).value_or("");
        EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 2) << table;
        EXPECT_EQ(table.find("-1"), std::string::npos) << table;
        EXPECT_EQ(table.find("Altitude"), std::string::npos) << table;
        std::filesystem::remove(converted);
    }
    std::filesystem::remove(gpx);

    // Without a mail to say it in, an alert does; the export ends when it is read.
    plat::MailComposer::setCanSendMail(false);
    bool done = false;
    qx::ExportManager::sharedInstance().exportWaypoints(objects, 2, [&] { done = true; });
    drain();
    plat::MailComposer::setCanSendMail(true);
    EXPECT_EQ(alertText(), "Data export|Readings without a position, left out of the GPX file: 1");
    EXPECT_FALSE(done);
    plat::AlertView::frontmostAlert()->pressButton(0);
    EXPECT_TRUE(done);
    for (const auto& e : std::filesystem::directory_iterator(plat::DataFolder::documents())) std::filesystem::remove(e);

    const std::string csv = plat::file::read(exportAndWait(objects, 1)).value_or("");
    EXPECT_EQ(mailBody, "");  // a CSV file holds every reading
    EXPECT_NE(csv.find(",48.5,9.25,,No ele\r\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find(",,,,No fix\r\n"), std::string::npos) << csv;
    EXPECT_EQ(csv.find("-1"), std::string::npos) << csv;
}

TEST_F(ImportExportTest, ReadingsGoIntoTheSetsOfTheirLocalDays) {
    auto existing = makeSet(main(), qx::DateStrings::beginningOfDay(plat::Date(1796637600)));
    ASSERT_TRUE(main().save());
    const auto file = plat::DataFolder::documents() / "days.csv";
    // 23:30 UTC on the 7th is the 8th in Berlin, where the tests run.
    plat::file::writeAtomically(file,
                                "date,der,latitude,longitude\n2026-12-07T10:00:00Z,0.1,1,2\n"
                                "2026-12-07T23:30:00Z,0.2,1,2\n2026-12-07T12:00:00Z,0.3,,\n");
    EXPECT_EQ(importAndWait(file).imported, 3u);
    auto sets = main().fetch<qx::Set>(qx::FetchRequest::of<qx::Set>().sortedBy("date"));
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[0], existing);
    EXPECT_EQ(sets[0]->waypointsCount(), 1u);
    EXPECT_EQ(sets[0]->measurementsCount(), 2u);
    EXPECT_EQ(sets[1]->date(), qx::DateStrings::beginningOfDay(plat::Date(1796686200)));
    EXPECT_EQ(sets[1]->waypoints().at(0)->measurement()->der(), 0.2);
}

TEST_F(ImportExportTest, BrokenFilesAreReportedAndStoreNothingOrOnlyTheirGoodRows) {
    const auto gpx = plat::DataFolder::documents() / "cut.gpx";
    plat::file::writeAtomically(gpx, "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
                                     "<wpt lat=\"1\" lon=\"2\"><time>2026-12-07T10:00:00Z</time></wpt>\n"
                                     "<wpt lat=\"1\" lon=\"2\"><time>2026-12-07T11:00:00Z</time>\n");
    const auto broken = importAndWait(gpx);
    EXPECT_FALSE(broken.success);
    EXPECT_EQ(storedCount(qx::EntityKind::measurement), 0u);
    EXPECT_EQ(storedCount(qx::EntityKind::set), 0u);
    EXPECT_EQ(alertText(), "Data import|Nothing was imported.\nThe file is not well-formed XML\nLine 4");
    plat::AlertView::frontmostAlert()->pressButton(0);

    const auto csv = plat::DataFolder::documents() / "rows.csv";
    plat::file::writeAtomically(csv, "date,der\n2026-12-07T10:00:00Z,0.1\nyesterday,0.2\n2026-12-07T11:00:00Z,x\n");
    const auto partly = importAndWait(csv);
    EXPECT_TRUE(partly.success);
    EXPECT_EQ(partly.imported, 1u);
    EXPECT_EQ(storedCount(qx::EntityKind::measurement), 1u);
    EXPECT_EQ(alertText(), "Data import|Imported: 1\nSkipped: 2\nFirst unreadable row: line 3\nThe field \"date\" "
                           "could not be read; expected a date and time such as 2024-05-01T12:00:00Z");
    plat::AlertView::frontmostAlert()->pressButton(0);

    // A file of another program's making: the person hears what to change.
    const auto semicolons = plat::DataFolder::documents() / "semicolons.csv";
    plat::file::writeAtomically(semicolons, "date;der\n2026-12-07T10:00:00Z;0.1\n");
    importAndWait(semicolons);
    EXPECT_EQ(alertText(), "Data import|Nothing was imported.\nThe columns are separated by semicolons; the file "
                           "needs commas\nLine 1");
    plat::AlertView::frontmostAlert()->pressButton(0);
    const auto foreign = plat::DataFolder::documents() / "foreign.csv";
    plat::file::writeAtomically(foreign, "Time,Dose rate\n2026-12-07T10:00:00Z,0.1\n");
    importAndWait(foreign);
    EXPECT_EQ(alertText(), "Data import|Nothing was imported.\nThe file has no \"date\" column\nLine 1\n"
                           "Expected columns: date, der, variation, de, accumulation, latitude, longitude, altitude, "
                           "name\nFound columns: Time, Dose rate");
    EXPECT_EQ(storedCount(qx::EntityKind::measurement), 1u);
}

// A file of several batches is stored whole or not at all: cut short at its end, or meeting a
// full disk part-way, it leaves the store as it was; stored, it all reaches a live list.
TEST_F(ImportExportTest, AFileOfManyBatchesIsStoredWholeOrNotAtAll) {
    FullDisk disk;  // before the store opens, so that its files go through the full disk
    storeSamples();
    const auto before = storedRecords();
    constexpr std::size_t kRows = 3 * qx::kRecordBatch + 7;
    std::string gpx = "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\">\n", csv = "date,der,latitude,longitude\n";
    for (std::size_t i = 0; i < kRows; ++i) {
        char date[32];
        std::snprintf(date, sizeof date, "2026-11-%02zuT%02zu:%02zu:%02zuZ", 1 + i / 8640, i / 360 % 24, i / 6 % 60,
                      i % 6 * 10);
        gpx += std::string("<wpt lat=\"1\" lon=\"2\"><time>") + date + "</time></wpt>\n";
        csv += std::string(date) + ",0.1,1,2\n";
    }
    const auto cut = plat::DataFolder::documents() / "cut.gpx";
    plat::file::writeAtomically(cut, gpx);
    EXPECT_FALSE(importAndWait(cut).success);
    EXPECT_EQ(alertText(), "Data import|Nothing was imported.\nThe file is not well-formed XML\nLine " +
                               std::to_string(kRows + 2));
    plat::AlertView::frontmostAlert()->pressButton(0);
    EXPECT_EQ(storedRecords(), before);

    const auto rows = plat::DataFolder::documents() / "rows.csv";
    plat::file::writeAtomically(rows, csv);
    // A small page cache makes the batches reach the disk before the import ends.
    ASSERT_TRUE(store().saveWithBlockAndWait([](qx::Context& c) { c.connection().exec("PRAGMA cache_size = 8"); }));
    disk.fillAfter(std::size_t{1} << 20);
    EXPECT_FALSE(importAndWait(rows).success);
    EXPECT_GT(disk.refusedWrites(), 0u);
    disk.makeRoom();
    EXPECT_EQ(alertText(), "Data import|Nothing was imported.\nThe data could not be saved: the disk is full.");
    plat::AlertView::frontmostAlert()->pressButton(0);
    EXPECT_EQ(storedRecords(), before);

    auto list = qx::FetchedResultsController::fetchAll(qx::FetchRequest::of<qx::Waypoint>().sortedBy("latitude"), nullptr);
    const auto shown = list->numberOfObjects();
    EXPECT_EQ(importAndWait(rows).imported, kRows);
    EXPECT_EQ(storedRecords().size(), before.size() + kRows);
    EXPECT_EQ(list->numberOfObjects(), shown + kRows);
}

// Storing a file whose save throws part-way (memory running out) gives the exception to the
// caller: the thread reading the file, waiting for room by then, is stopped and joined first.
TEST_F(ImportExportTest, ASaveThatThrowsPartWayStopsTheFileReader) {
    struct ThrowOnSave : qx::ContextObserver {
        int saves = 0;
        void contextDidChange(qx::Context&, const qx::ChangeSet&) override {
            if (++saves == 1) throw std::bad_alloc();
        }
    };
    // More batches than the reader may have ahead, so that it cannot have finished.
    std::string csv = "date,der\n";
    for (std::size_t i = 0; i < 8 * qx::kRecordBatch; ++i) csv += "2026-11-01T10:00:00Z,0.1\n";
    const auto file = plat::DataFolder::documents() / "many.csv";
    plat::file::writeAtomically(file, csv);
    const auto observer = std::make_shared<ThrowOnSave>();
    main().addObserver(observer);
    EXPECT_THROW(qx::ImportManager::storeFile(file, main()), std::bad_alloc);
    EXPECT_EQ(observer->saves, 1);
    EXPECT_LT(storedCount(qx::EntityKind::measurement), 8 * qx::kRecordBatch);
}

TEST_F(ImportExportTest, TextsOfTheFileAreQuotedOnlyInPart) {
    std::string manyColumns = "c0";
    for (int i = 1; i < 100000; ++i) manyColumns += ",c" + std::to_string(i);
    const std::string longName(300, 'n');
    const std::string cut = std::string(77, 'n') + "...";  // 80 characters
    const struct {
        std::string file;
        std::string message;
    } cases[] = {
        {manyColumns + "\n", "Nothing was imported.\nThe file has no \"date\" column\nLine 1\nExpected columns: date, der, "
                             "variation, de, accumulation, latitude, longitude, altitude, name\nFound columns: c0, c1, "
                             "c2, c3, c4 and 99995 more"},
        {"x;" + longName + "\n", "Nothing was imported.\nThe columns are separated by semicolons; the file needs "
                                "commas\nLine 1\nExpected columns: date, der, variation, de, accumulation, latitude, "
                                "longitude, altitude, name\nFound columns: x, " + std::string(74, 'n') + "..."},
        {"date," + longName + "\n2026-12-07T10:00:00Z,1\n",
         "Imported: 1\nSkipped: 0\nColumns not recognised: " + cut + "\nExpected columns: date, der, variation, de, "
         "accumulation, latitude, longitude, altitude, name"},
        {"date,der,name\n2026-12-07T10:00:00Z,x,y\n", "Imported: 0\nSkipped: 1\nFirst unreadable row: line 2\nThe "
         "field \"der\" could not be read; expected a number such as 0.12"},
        // A row of four megabytes or more is dropped unread; the rows after it are still taken.
        {"date,name\n2026-12-07T10:00:00Z," + std::string(std::size_t{5} << 20, 'n') + "\n2026-12-07T11:00:00Z,b\n",
         "Imported: 1\nSkipped: 1\nFirst unreadable row: line 2\nThe row could not be read; expected a row of less "
         "than 4 MB"},
        {std::string(std::size_t{5} << 20, 'h') + ",date\n", "Nothing was imported.\nThe header row cannot be read\nLine 1"},
    };
    const auto path = plat::DataFolder::documents() / "hostile.csv";
    for (const auto& c : cases) {
        plat::file::writeAtomically(path, c.file);
        importAndWait(path);
        EXPECT_EQ(alertText(), "Data import|" + c.message) << c.file.substr(0, 40);
        plat::AlertView::frontmostAlert()->pressButton(0);
    }
}

TEST_F(ImportExportTest, ImportSummaryIsInTheInterfaceLanguage) {
    qx::Settings::sharedSettings().setLanguage("de");
    qx::Language::setCurrentLanguage();
    qx::ImportResult result;
    result.success = true;
    result.imported = 2;
    result.skipped = 1;
    result.firstBadLine = 9;
    EXPECT_EQ(qx::ImportManager::summaryText(result), "Importiert: 2\nÜbersprungen: 1\nErste unlesbare Zeile: Zeile 9");
}

TEST_F(ImportExportTest, EmptyListFinishesAtOnceAndFailedWriteIsShown) {
    bool done = false;
    qx::ExportManager::sharedInstance().exportWaypoints({}, 1, [&] { done = true; });
    EXPECT_TRUE(done);  // before the main loop ran

    const auto objects = storeSamples();
    std::filesystem::remove_all(plat::DataFolder::documents());
    plat::file::writeAtomically(plat::DataFolder::documents(), "a file where the folder should be");
    done = false;
    qx::ExportManager::sharedInstance().exportWaypoints(objects, 2, [&] { done = true; });
    drain();
    EXPECT_TRUE(done);
    EXPECT_EQ(alertText(), "Export failed|The file could not be written: Not a directory.");
    EXPECT_EQ(screen->presentedViewController(), nullptr);
}

// An export of more records than the manager reads at once, and more text than it writes at
// once, gives the file the single-piece writers make of the same records; a disk that fills up
// part way fails the export and leaves no file, whole or partial.
TEST_F(ImportExportTest, AnExportOfManyBatchesIsTheWholeFileOrNone) {
    std::vector<qx::WaypointRecord> many;
    for (int i = 0; i < 6000; ++i) {
        qx::WaypointRecord r = sampleRecords()[static_cast<std::size_t>(i % 2)];
        r.date = plat::Date(1796637600.0 + i * 7.25);
        r.der = 0.05 + i * 0.001;
        r.name = i % 3 ? "point " + std::to_string(i) : "";
        if (i % 5 == 0) r.latitude = r.longitude = r.altitude = std::nullopt;  // no position
        many.push_back(r);
    }
    qx::ImportManager::storeRecords(many, main());
    ASSERT_TRUE(main().save());
    auto all = main().fetch<qx::Measurement>(qx::FetchRequest::of<qx::Measurement>().sortedBy("date"));
    const std::vector<std::shared_ptr<qx::ManagedObject>> objects(all.begin(), all.end());
    const auto records = qx::ExportManager::recordsOf(objects);
    ASSERT_EQ(records.size(), many.size());

    for (unsigned format : {1u, 2u}) {
        std::size_t leftOut = 0;
        const std::string whole = format == 1 ? qx::CsvWaypointWriter::write(records)
                                              : qx::GpxWaypointWriter::write(records, &leftOut);
        const auto file = exportAndWait(objects, format);
        EXPECT_EQ(plat::file::read(file).value_or(""), whole) << format;
        if (format == 2) {
            EXPECT_EQ(mailBody, qx::ExportManager::leftOutNote(1200));
        }
        std::filesystem::remove(file);
    }
    ASSERT_GT(qx::GpxWaypointWriter::write(records).size(), 1500000u);  // more than one piece

    FullDisk disk;
    disk.fillAfter(1500000);
    bool done = false;
    qx::ExportManager::sharedInstance().exportWaypoints(objects, 2, [&] { done = true; });
    drain();
    EXPECT_TRUE(done);
    EXPECT_EQ(alertText(), "Export failed|The file could not be written: the disk is full.");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(plat::DataFolder::documents()), {}), 0);
}

TEST_F(ImportExportTest, AnExportOfDaysReadsTheirWaypointsInBatchesAndWritesTheSameFile) {
    // A day of more than one batch of its own waypoints and a track's, an empty day, a small day.
    auto big = makeSet(main(), plat::Date(1796601600));
    auto empty = makeSet(main(), plat::Date(1796688000));
    auto small = makeSet(main(), plat::Date(1796774400));
    auto track = main().insertNew<qx::Track>();
    big->addTracksObject(track);
    for (int i = 0; i < 4500; ++i) {
        const plat::Date at(1796605200.0 + i * 3.5);
        auto w = i < 2100 ? addPoint(main(), big, 0.01 * (i % 90), at, i % 4 ? "p" : nullptr)
                          : addPoint(main(), big, 0.02, at, nullptr, track);
        if (i % 7 == 0) continue;  // no position
        w->setLatitude(48 + i * 1e-4);
        w->setLongitude(9 - i * 1e-4);
    }
    addPoint(main(), small, 0.3, plat::Date(1796778000), "last");
    ASSERT_TRUE(main().save());
    const std::vector<std::shared_ptr<qx::ManagedObject>> days{big, empty, small};
    EXPECT_EQ(qx::ExportManager::waypointCountOfDays(days), 4501u);

    // What the History screen used to hand over: each day's waypoints, then its tracks'.
    std::vector<std::shared_ptr<qx::ManagedObject>> points;
    for (const auto& day : {big, empty, small}) {
        for (const auto& w : day->waypoints()) points.push_back(w);
        for (const auto& t : day->tracks())
            for (const auto& w : t->waypoints()) points.push_back(w);
    }
    for (unsigned format : {1u, 2u}) {
        const auto listed = exportAndWait(points, format);
        const std::string expected = plat::file::read(listed).value_or("");
        const std::string expectedNote = mailBody;
        std::filesystem::remove(listed);
        const auto file = exportAndWait(days, format, true);
        EXPECT_EQ(plat::file::read(file).value_or(""), expected) << format;
        EXPECT_EQ(mailBody, expectedNote);
        std::filesystem::remove(file);
    }

    // Days without waypoints finish at once and write nothing.
    bool done = false;
    qx::ExportManager::sharedInstance().exportWaypointsOfDays({empty}, 1, [&] { done = true; });
    EXPECT_TRUE(done);
    EXPECT_EQ(overlayTitle(), "");
    drain();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(plat::DataFolder::documents()), {}), 0);
}

TEST_F(ImportExportTest, WithoutMailTheFileStaysInDocumentsAndTheExportEnds) {
    plat::MailComposer::setCanSendMail(false);
    bool done = false;
    qx::ExportManager::sharedInstance().exportWaypoints(storeSamples(), 1, [&] { done = true; });
    drain();
    plat::MailComposer::setCanSendMail(true);
    EXPECT_TRUE(done);
    EXPECT_EQ(screen->presentedViewController(), nullptr);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(plat::DataFolder::documents()), {}), 1);
}

}  // namespace qxtest
