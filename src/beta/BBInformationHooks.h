#pragma once

#include <functional>

// Ties from the information records to the upload side of the library, which builds on them and
// so registers itself here instead of being called by name.

namespace bb {

// Called after a cached information record was replaced by a patched copy, so that whoever keeps
// data built from the records (the start data of uploads) builds it again.
void bb_set_information_change_handler(std::function<void()> handler);
void bb_information_did_change();

// The reachability of the service: 0 not reachable, 1 over Wi-Fi, 2 over a cellular network.
// Without a source, nothing is reachable.
void bb_set_reachability_status_source(std::function<int()> source);
int bb_reachability_status();

}  // namespace bb
