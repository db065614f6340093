#pragma once

#include <optional>
#include <string>

// The crash-time upload. Inside a crash handler the library may not allocate, resolve names or
// use its transport, so at take-off, while the process is healthy, it keeps the digest of its
// application token in "app_token_sha1.mpack", resolves the crash host and opens a socket. In a
// crash the handler only connects that socket, writes one hand-built HTTP/1.1 POST of the crash
// file and reads the status line of the reply; only "200 OK" counts as delivered.
//
// The crash host is the token digest, a dot and the service's SDK host, on the "http" port. The
// service host's connection overrides apply to it as to every other request: "HOST:80:TO:PORT"
// makes the socket connect to TO:PORT while the request still names HOST.

namespace bb {

inline constexpr const char* kBBTokenDigestFileName = "app_token_sha1.mpack";

// When the service allows crash reports, continues in the background: writes the token's digest
// file, then prepares the sender with the digest. Otherwise does nothing.
void bb_save_token_digest(const std::string& applicationToken);
// Resolves the crash host and keeps a socket for it (with send and receive time-outs). Nothing is
// kept when the name does not resolve or no socket can be made.
void bb_prepare_crash_sender(const std::optional<std::string>& digest);
// Whether a socket is kept (mostly for the process's own checks).
bool bb_crash_sender_prepared();

// Posts the crash file: 0 when the service took it, -1 otherwise. Nothing is sent unless the
// token digest file holds exactly 40 hexadecimal digits; once connected, the kept socket is used
// up either way. Safe inside a signal handler.
int bb_send_crash_file(int crashFileDescriptor, const char* libraryDirectory);
// Writes the request and the file to the socket, then reads the reply: 1 when its status line
// was OK, else 0.
int bb_http_post_file(int socket, int fileDescriptor, const char* digest);
// Feeds one received, terminated chunk of the reply to the reply's parser: 1 once the head of
// the reply is over (the reading may stop), else 0.
int bb_http_status_ok(const char* chunk);
// Whether the status line read so far was OK; the parser's state is cleared before each post.
bool bb_http_reply_status_ok();
void bb_http_reply_reset();

}  // namespace bb
