#include "services/VNZENETManager.h"

#include "model/Language.h"
#include "model/Settings.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/SecretStore.h"
#include "platform/ui/AlertView.h"
#include "services/NetworkFailure.h"
#include "services/UtcDate.h"
#include "services/ZENETEnvelope.h"
#include "services/ZENETReply.h"
#include "store/Measurement.h"
#include "store/Predicate.h"
#include "store/Store.h"
#include "store/Waypoint.h"

namespace qx {

namespace {

bool present(const std::optional<std::string>& text) { return text && !text->empty(); }

void report(const VNZENETManager::Completion& completion, bool success) {
    if (completion) completion(success);
}

// The service carried the operation out: it answered 200 with its SOAP reply. Anything else that
// answers 200 (a network's sign-in page in front of the server) did not.
bool carriedOut(const plat::HttpResponse& reply) {
    return reply.status == 200 && ZENETReply::read(reply.body).soapReply;
}

FetchRequest pendingWaypoints() {
    return FetchRequest::of<Waypoint>().where(Key("measurement.uploaded") == false).sortedBy("measurement.date");
}

FetchRequest pendingMeasurements() {
    return FetchRequest::of<Measurement>()
        .where(Key("uploaded") == false && Key("waypoint").isNull())
        .sortedBy("date");
}

// What a person waiting on the exchange is told it is for.
std::string purposeOf(unsigned action) {
    switch (action) {
        case VNZENETManager::kSubmitLogin: return "ZENET login";
        case VNZENETManager::kSubmitLogout: return "ZENET logout";
        default: return "ZENET upload of a reading";
    }
}

}  // namespace

VNZENETManager& VNZENETManager::sharedInstance() {
    static VNZENETManager* manager = new VNZENETManager();  // lives until the process ends
    return *manager;
}

std::string VNZENETManager::VNZENETActionAddress(unsigned action) {
    const std::string operation = ZENETEnvelope::operationName(action);
    if (operation.empty()) return {};
    return std::string(ZENETEnvelope::kServiceNamespace) + "IDeviceService/" + operation;
}

std::optional<plat::HttpRequest> VNZENETManager::createRequestForAction(unsigned action) {
    const std::string& address = Settings::sharedSettings().ZENETServerAddress();
    const std::string soapAction = VNZENETActionAddress(action);
    if (address.empty() || soapAction.empty()) return std::nullopt;
    plat::HttpRequest request;
    request.method = "POST";
    request.url = address;
    request.headers = {{"Content-Type", "text/xml; charset=utf-8"}, {"SOAPAction", soapAction}};
    request.acceptEncoding = "gzip, deflate";
    return request;
}

std::string VNZENETManager::dateString() { return dateString(plat::Date::now()); }

std::string VNZENETManager::dateString(plat::Date date) { return utcDateText(date, "%Y-%m-%dT%H:%M:%S"); }

std::optional<std::string> VNZENETManager::storedUsername() {
    const auto& user = Settings::sharedSettings().ZENETUsername();
    return present(user) ? user : std::nullopt;
}

std::optional<std::string> VNZENETManager::storedPassword() {
    const auto user = storedUsername();
    if (!user) return std::nullopt;
    auto password = plat::SecretStore::standard().passwordForService(kKeychainService, *user);
    return present(password) ? password : std::nullopt;
}

void VNZENETManager::post(unsigned action, const std::string& envelope,
                          std::function<void(const plat::HttpResponse& reply)> done) {
    auto request = createRequestForAction(action);
    if (!request) {
        plat::Log::line(std::string("VNZENETManager ") + ZENETEnvelope::operationName(action) +
                        ": no server address, nothing sent");
        return;
    }
    request->body = envelope;
    request->purpose = purposeOf(action);
    const std::string operation = ZENETEnvelope::operationName(action);
    plat::HttpClient::shared().send(std::move(*request), [operation, done = std::move(done)](const plat::HttpResponse& r) {
        plat::Log::line("VNZENETManager " + operation + ": status " + std::to_string(r.status) +
                        (r.error.empty() ? "" : " (" + r.error + ")"));
        done(r);
    });
}

void VNZENETManager::submitLoginWithUsername(const std::optional<std::string>& username,
                                             const std::optional<std::string>& password, Completion completion) {
    if (!present(username) || !present(password)) return report(completion, false);
    ZENETEnvelope::Fields fields{"None", dateString(), *username, *password, {}, {}, {}, {}};
    post(kSubmitLogin, ZENETEnvelope::build(kSubmitLogin, fields),
         [this, completion](const plat::HttpResponse& reply) {
             const bool success = carriedOut(reply);
             if (success) createPendingLists();
             const auto faults = parseLoginReply(reply.body);
             loginFailure_ = success || !faults.empty() ? std::string() : failureText(reply);
             report(completion, success);
             for (const auto& fault : faults) {
                 plat::AlertView::show(Language::get("Login Error!"), fault, Language::get("OK"), {}, {});
             }
         });
}

void VNZENETManager::submitLogoutWithUsername(const std::optional<std::string>& username,
                                              const std::optional<std::string>& password, Completion completion) {
    if (!present(username) || !present(password)) return report(completion, false);
    ZENETEnvelope::Fields fields{"Alarm", dateString(), *username, *password, {}, {}, {}, {}};
    post(kSubmitLogout, ZENETEnvelope::build(kSubmitLogout, fields), [this, completion](const plat::HttpResponse& reply) {
        const bool success = carriedOut(reply);
        if (success) dropPendingLists();
        report(completion, success);
    });
}

void VNZENETManager::submitWaypoint(const std::shared_ptr<Waypoint>& waypoint,
                                    const std::optional<std::string>& username,
                                    const std::optional<std::string>& password, Completion completion) {
    if (!waypoint || !waypoint->measurement() || !present(username) || !present(password)) {
        return report(completion, false);
    }
    submitRecord(waypoint, waypoint->measurement(), *username, *password, std::move(completion));
}

void VNZENETManager::submitMeasure(const std::shared_ptr<Measurement>& measurement,
                                   const std::optional<std::string>& username,
                                   const std::optional<std::string>& password, Completion completion) {
    if (!measurement || !present(username) || !present(password)) return report(completion, false);
    submitRecord(nullptr, measurement, *username, *password, std::move(completion));
}

void VNZENETManager::submitRecord(const std::shared_ptr<Waypoint>& waypoint,
                                  const std::shared_ptr<Measurement>& measurement, const std::string& username,
                                  const std::string& password, Completion completion) {
    // A reading without a position (no waypoint, or one taken without a fix) goes out at 0, 0,
    // the service's mark for "no position".
    const bool positioned = waypoint && waypoint->hasPosition();
    ZENETEnvelope::Fields fields{"Manual",
                                 dateString(measurement->date()),
                                 username,
                                 password,
                                 positioned ? ZENETEnvelope::decimal(waypoint->latitude()) : "0",
                                 positioned ? ZENETEnvelope::decimal(waypoint->longitude()) : "0",
                                 "gamma",
                                 ZENETEnvelope::threeDecimals(measurement->der())};
    post(kSubmitMeasure, ZENETEnvelope::build(kSubmitMeasure, fields),
         [completion = std::move(completion)](const plat::HttpResponse& reply) {
             report(completion, carriedOut(reply));
         });
}

void VNZENETManager::createPendingLists() {
    dropPendingLists();
    StoreError error;
    waypoints_ = FetchedResultsController::fetchAll(pendingWaypoints(), this, &error);
    measurements_ = FetchedResultsController::fetchAll(pendingMeasurements(), this, &error);
}

void VNZENETManager::dropPendingLists() {
    if (waypoints_) waypoints_->setDelegate(nullptr);
    if (measurements_) measurements_->setDelegate(nullptr);
    waypoints_.reset();
    measurements_.reset();
    arrived_.clear();
}

std::vector<std::string> VNZENETManager::parseLoginReply(const std::string& body) {
    ZENETReply reply = ZENETReply::read(body);
    errorString_ = reply.lastText;
    return std::move(reply.faults);
}

std::string VNZENETManager::failureText(const plat::HttpResponse& reply) {
    if (reply.status == 0) return NetworkFailure::text(reply.failure);
    if (reply.status == 200) {
        return Language::get(
            "The answer did not come from the ZENET service; the network may first need a sign-in in a web "
            "browser.");
    }
    return Language::get("The server did not accept the login.") + " (HTTP " + std::to_string(reply.status) + ")";
}

void VNZENETManager::uploadAll() {
    plat::RunLoop::main().post([this] {
        const auto username = storedUsername();
        const auto password = storedPassword();
        if (!username || !password || !Settings::sharedSettings().ZENETLoggedIn()) return;
        auto records = std::make_shared<std::vector<ObjectID>>();
        for (const auto* list : {&waypoints_, &measurements_}) {
            if (!*list) continue;
            for (const auto& object : (*list)->fetchedObjects()) records->push_back(object->objectID());
        }
        uploadStep(std::move(records), 0);
    });
}

void VNZENETManager::uploadStep(std::shared_ptr<std::vector<ObjectID>> records, std::size_t next) {
    if (next >= records->size() || !Settings::sharedSettings().ZENETLoggedIn()) return;
    const auto username = storedUsername();
    const auto password = storedPassword();
    if (!username || !password) return;
    uploadRecord((*records)[next], *username, *password);
    // One record per turn of the run loop, so that a logout in between ends the run.
    plat::RunLoop::main().post([this, records = std::move(records), next] { uploadStep(records, next + 1); });
}

void VNZENETManager::uploadRecord(const ObjectID& id, const std::string& username, const std::string& password) {
    if (inFlight_.count(id)) return;
    auto object = Store::defaultStore().mainContext().existingObjectWithID(id);
    if (!object || object->isDeleted()) return;
    std::shared_ptr<Waypoint> waypoint;
    std::shared_ptr<Measurement> measurement;
    if (id.entity == EntityKind::waypoint) {
        waypoint = std::static_pointer_cast<Waypoint>(object);
        measurement = waypoint->measurement();
    } else if (id.entity == EntityKind::measurement) {
        measurement = std::static_pointer_cast<Measurement>(object);
    }
    if (!measurement || measurement->uploaded()) return;  // taken meanwhile
    inFlight_.insert(id);
    submitRecord(waypoint, measurement, username, password, [this, id](bool success) {
        if (!success) {
            inFlight_.erase(id);
            return;
        }
        markUploaded(id);
    });
}

void VNZENETManager::markUploaded(const ObjectID& id) {
    Store::defaultStore().saveWithBlock(
        [id](Context& context) {
            auto object = context.existingObjectWithID(id);
            if (!object) return;
            if (id.entity == EntityKind::waypoint) {
                if (auto m = std::static_pointer_cast<Waypoint>(object)->measurement()) m->setUploaded(true);
            } else if (id.entity == EntityKind::measurement) {
                std::static_pointer_cast<Measurement>(object)->setUploaded(true);
            }
        },
        [id](bool success, const StoreError*) {
            if (!success) plat::Log::line("VNZENETManager: an uploaded reading could not be marked; it stays pending");
            sharedInstance().inFlight_.erase(id);
        });
}

void VNZENETManager::controllerDidChangeObject(FetchedResultsController& controller, const ObjectChange& change) {
    // A reading stored while logged in arrives as an insertion, one changed later as an update:
    // both go out. (A reading marked uploaded leaves its list; that removal is not one.)
    if ((change.type != ChangeType::insert && change.type != ChangeType::update) || !change.object) return;
    if (&controller != waypoints_.get() && &controller != measurements_.get()) return;
    arrived_.push_back(change.object->objectID());
}

void VNZENETManager::controllerDidChangeContent(FetchedResultsController&) {
    if (arrived_.empty()) return;
    auto records = std::make_shared<std::vector<ObjectID>>(std::move(arrived_));
    arrived_.clear();
    const Settings& settings = Settings::sharedSettings();
    if (!settings.ZENETLoggedIn() || !settings.ZENETAutoApload()) return;
    // A save of many readings at once (an import) goes out as a full upload does, one per turn.
    uploadStep(std::move(records), 0);
}

}  // namespace qx
