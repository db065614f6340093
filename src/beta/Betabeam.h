#pragma once

#include <optional>
#include <string>

#include "beta/BBValue.h"

namespace bb {

// The library's public face. A host application takes off once with its application token; from
// then on the application's active periods are the sessions (or the host starts and ends them by
// hand), checkpoints and feedback are recorded in them, events are flushed on a timer, crashes are
// reported, and what earlier processes left behind is uploaded. Misuse is reported through the
// library's log only; nothing is thrown and nothing is returned.
//
// takeOff, setOptions and the ends of sessions wait for the library's queue, so they must not be
// called from it; the other operations return at once.
class Betabeam {
public:
    static void takeOff(const std::optional<std::string>& applicationToken);
    // Keys: "reinstallCrashHandlers", "BBOptionReportCrashes", "BBOptionLogOnCheckpoint",
    // "logToConsole", "logToSTDERR", "sendLogOnlyOnCrash", "BBOptionManualSessions",
    // "disableInAppUpdates", "BBOptionSessionKeepAliveTimeout", "BBOptionFlushSecondsInterval".
    static void setOptions(const BBDictionary& options);
    static void passCheckpoint(const std::optional<std::string>& checkpointName);
    static void submitFeedback(const std::optional<std::string>& feedback);
    static void addCustomEnvironmentInformationForKey(const std::optional<std::string>& information,
                                                      const std::string& key);
    static void manuallyStartSession();
    static void manuallyEndSession();
    // Hands every queued event to the upload queue.
    static void flush();
    // Accepted for compatibility; the identifier is not used.
    static void setDeviceIdentifier(const std::string& identifier);

    // Readies the calling thread for crash reports: a crash handler needs a stack of its own to
    // run on when the thread's stack has overflowed, and each thread has to set that up for
    // itself. The thread that takes off and the library's own threads are readied already; call
    // this first thing on every other thread the host starts (it keeps a large enough signal
    // stack the thread has already, and releases the one it gives when the thread ends).
    static void prepareCurrentThreadForCrashReports();

    // The host's active state changes (also observed as notifications after take-off).
    static void _automaticStartSession();
    static void _automaticEndSession();
    static void _startSession(bool manual);
    static void _endSession(bool manual);

    // The facade's state, read on the library's queue.
    static bool tookOff();
    static bool isInSession();
    static unsigned long flushInterval();
    static bool hasFlushTimer();

    static constexpr unsigned long kDefaultFlushInterval = 60;
    static constexpr unsigned long kShortestFlushInterval = 30;
};

}  // namespace bb
