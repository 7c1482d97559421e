#pragma once

namespace testsupport {

// A connected TCP socket to 127.0.0.1:port, or -1 when nothing listens.
int connectLoopback(int port);
// A port of 127.0.0.1 that was free a moment ago, for a server to listen on.
int freeLoopbackPort();
// Waits, ten seconds at most, until something listens on 127.0.0.1:port.
void waitForLoopback(int port);

}  // namespace testsupport
