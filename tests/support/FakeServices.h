#pragma once

#include <string>

#include "FakeHttpServer.h"

namespace qxtest {

// The services' side of the web clients, for a FakeHttpServer's handler.
//
// The reporting service: its login page redirects at once to "quorix://authorize" with the code
// "c0de" and the state the page was asked with (as a person's login would end); the token
// endpoint answers `tokens`, the event list `events`, a field survey 200.
FakeHttpServer::Handler radResponderService(std::string tokens, std::string events);
// The reporting service out of order until its second code exchange (the next session): the
// event list answers 500 and every field survey goes unanswered (the connection closes); the
// login page and the token endpoint work. From the second code exchange on it works as
// radResponderService does.
FakeHttpServer::Handler radResponderRecovering();
// The reporting service failing one login after another, each its own way: the first code
// exchange gets the connection closed, the second a reply that is no JSON, the third login page
// redirects with "error=access_denied", the fourth with a state that is not the page's, and the
// first event list fails (500); from then on it works as radResponderService does.
FakeHttpServer::Handler radResponderRefusing();

// The monitoring service: every envelope is answered 200 with an empty SOAP body, a login whose
// password is not `password` (as the envelope writes it, XML-escaped) with 500 and a SOAP fault.
FakeHttpServer::Handler zenetService(std::string password);

// A network's sign-in page in front of the monitoring service: every request to the path
// "/portal" gets the page (200, HTML); elsewhere logins reach the service and are answered, and
// everything after them gets the page, as when the network's session ran out after the login.
FakeHttpServer::Handler zenetBehindPortal();

// A server in the monitoring service's place that answers every request with a bare page, as
// HTTP/0.9 did: no status line, no headers.
FakeHttpServer::Handler zenetAncientServer();

// The monitoring service's answer to an operation it carried out: 200 with an empty SOAP body.
FakeReply zenetAnswer();

// The social networks' web pages: the feed dialog answers a page to look at (the redirect that
// ends a real one needs a person's post); anything else is not found.
FakeHttpServer::Handler socialNetworkPages();

// Both networks' pages (the feed dialog) and the reporting service's login page answered with a
// page nested deeper than any browser nests: 20,000 <div> around its text, then a table whose
// cell spans an absurd number of columns.
FakeHttpServer::Handler deepPages();

// The feed dialog answered, in turn, by a page in windows-1252 declared by the reply's header,
// the same declared by its <meta>, then a page in Shift_JIS declared each way (the pages say
// "Café au lait à 3 €" and "日本語のページ" in their own encodings), then a page of loose markup:
// a head without its end tag, comments and a DOCTYPE ended as browsers end them, named and
// numbered references, a table with a caption, text outside its cells and a paragraph in a cell.
FakeHttpServer::Handler feedPages();

// A token reply and an event list as the reporting service sends them.
extern const char* const kFakeTokens;
extern const char* const kFakeEvents;

}  // namespace qxtest
