#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/foundation/Date.h"
#include "platform/foundation/HttpClient.h"
#include "store/FetchedResultsController.h"
#include "store/ObjectID.h"

namespace qx {

class Measurement;
class Waypoint;

// The client of the maker's monitoring service: SOAP 1.1 over HTTP to the endpoint of
// Settings::ZENETServerAddress, with the device account's user name and password in every
// envelope. Once logged in it follows the readings not uploaded yet in two live lists (waypoints
// by their reading's date, readings of no waypoint by date), uploads them all on request and,
// with automatic upload on, each one stored or changed while logged in. A reading counts as
// uploaded only once the service answered its submission with status 200.
//
// Whether uploads may run is Settings::ZENETLoggedIn, which the callers set after a successful
// login and clear on logout or when the network goes; this client only reads it.
// Main thread only; completions run there with true exactly when the status was 200.
class VNZENETManager : public FetchedResultsControllerDelegate {
public:
    using Completion = std::function<void(bool success)>;

    enum Action : unsigned { kSubmitLogin = 0, kSubmitLogout = 1, kSubmitMeasure = 2 };

    // Where the password is kept: the secret store under this service, the user name as account.
    static constexpr const char* kKeychainService = "ZENET";

    static VNZENETManager& sharedInstance();

    // The SOAPAction value of an action; "" for any other number.
    static std::string VNZENETActionAddress(unsigned action);
    // A POST to the server address with the service's headers; none when the address is empty
    // or the action unknown.
    static std::optional<plat::HttpRequest> createRequestForAction(unsigned action);
    // Now, as the envelopes write dates (UTC, "yyyy-MM-dd'T'HH:mm:ss").
    static std::string dateString();
    static std::string dateString(plat::Date date);

    // The stored user name and its password, when both are there.
    static std::optional<std::string> storedUsername();
    static std::optional<std::string> storedPassword();

    void submitLoginWithUsername(const std::optional<std::string>& username,
                                 const std::optional<std::string>& password, Completion completion);
    void submitLogoutWithUsername(const std::optional<std::string>& username,
                                  const std::optional<std::string>& password, Completion completion);
    void submitWaypoint(const std::shared_ptr<Waypoint>& waypoint, const std::optional<std::string>& username,
                        const std::optional<std::string>& password, Completion completion);
    void submitMeasure(const std::shared_ptr<Measurement>& measurement, const std::optional<std::string>& username,
                       const std::optional<std::string>& password, Completion completion);

    // Submits every pending reading, one per turn of the main run loop, without waiting for the
    // replies; returns at once. The run ends early once ZENETLoggedIn is false.
    void uploadAll();

    // The live lists of pending readings; none while logged out.
    const std::shared_ptr<FetchedResultsController>& waypointsFetchResultsController() const { return waypoints_; }
    const std::shared_ptr<FetchedResultsController>& measurementsFetchResultsController() const {
        return measurements_;
    }
    // Drops the live lists (after a logout, or before the store closes).
    void dropPendingLists();

    // The last text read from a login reply, the fault's text after a refused login.
    const std::string& errorString() const { return errorString_; }
    // Why the last login failed when the service sent no fault (whose alert this client shows
    // itself): the server could not be reached or did not answer as the service does. Empty
    // after a success or a fault. Read by the login's caller, which decides whether to tell.
    const std::string& loginFailure() const { return loginFailure_; }

    // Automatic upload of a pending reading stored or changed: collected per change, sent when
    // the list has taken in the whole save.
    void controllerDidChangeObject(FetchedResultsController& controller, const ObjectChange& change) override;
    void controllerDidChangeContent(FetchedResultsController& controller) override;

private:
    VNZENETManager() = default;

    void createPendingLists();
    // The fault texts of a login reply (none for a reply without a fault).
    std::vector<std::string> parseLoginReply(const std::string& body);
    // Why a login failed when no fault came: no reply, or one that is not the service's.
    static std::string failureText(const plat::HttpResponse& reply);
    // Sends one envelope; the completion hears the reply.
    void post(unsigned action, const std::string& envelope, std::function<void(const plat::HttpResponse& reply)> done);
    void submitRecord(const std::shared_ptr<Waypoint>& waypoint, const std::shared_ptr<Measurement>& measurement,
                      const std::string& username, const std::string& password, Completion completion);
    // Submits a pending reading and marks it uploaded when the service took it; a reading whose
    // submission is under way is not sent again meanwhile.
    void uploadRecord(const ObjectID& id, const std::string& username, const std::string& password);
    void uploadStep(std::shared_ptr<std::vector<ObjectID>> records, std::size_t next);
    static void markUploaded(const ObjectID& id);

    std::shared_ptr<FetchedResultsController> waypoints_;
    std::shared_ptr<FetchedResultsController> measurements_;
    std::string errorString_;
    std::string loginFailure_;
    std::set<ObjectID> inFlight_;
    std::vector<ObjectID> arrived_;  // pending readings stored or changed by the save being reported
};

}  // namespace qx
