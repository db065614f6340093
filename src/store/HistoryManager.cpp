#include "store/HistoryManager.h"

#include "store/Measurement.h"
#include "store/Set.h"
#include "store/Track.h"

namespace qx {

HistoryManager& HistoryManager::sharedHistoryManager() {
    static HistoryManager* manager = new HistoryManager();
    return *manager;
}

bool HistoryManager::resetHistoryDataBase(StoreError* error) {
    Set::setCurrentSet(nullptr);
    Track::setCurrentTrack(nullptr);
    return Store::defaultStore().wipe(error);
}

void HistoryManager::saveHistoryRecords(std::vector<HistoryRecord> records, SaveCompletion completion) {
    Store::defaultStore().saveWithBlock(
        [records = std::move(records)](Context& context) {
            for (const auto& r : records) {
                auto serial = Key("deviceSerial");
                auto sameReading = Predicate::andPredicates(
                    {Key("date") == r.date, Key("waypoint").isNull(), Key("der") == r.der, Key("de") == r.de,
                     Key("deviceType") == r.deviceType,
                     r.deviceSerial.empty() ? serial.isNull() : serial == r.deviceSerial});
                if (context.count(FetchRequest::of<Measurement>().where(sameReading)).value_or(0) > 0) continue;
                auto m = context.insertNew<Measurement>();
                m->setDate(r.date);
                m->setDer(r.der);
                m->setDe(r.de);
                m->setDeviceType(r.deviceType);
                if (!r.deviceName.empty()) m->setDeviceName(r.deviceName);
                if (!r.deviceSerial.empty()) m->setDeviceSerial(r.deviceSerial);
                m->setUploaded(false);
                m->setSet(Set::setForDay(r.date, context));
            }
        },
        std::move(completion));
}

}  // namespace qx
