#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/BufferedInputStream.h"
#include "platform/FileInputStream.h"
#include "platform/HostResolver.h"
#include "platform/NetExceptions.h"
#include "platform/ServerSocket.h"
#include "platform/Socket.h"
#include "support/TempDir.h"

using namespace platform;

namespace {

std::string readToEnd(InputStream& in) {
  std::string text;
  char buffer[256];
  int n;
  while ((n = in.read(buffer, 0, sizeof buffer)) > 0) text.append(buffer, n);
  return text;
}

// A client socket that sends files the way a TLS socket must: by reading
// them and writing what was read.
class CopyingSocket : public Socket {
 public:
  using Socket::Socket;
  int64_t sendFile(int fileDescriptor, int64_t count) override { return copyFile(fileDescriptor, count); }
};

bool pipeSignalBlocked() {
  sigset_t mask;
  pthread_sigmask(SIG_BLOCK, nullptr, &mask);
  return sigismember(&mask, SIGPIPE) == 1;
}

}  // namespace

TEST(Socket, ExchangesBytesBothWaysAndSeesTheEnd) {
  ServerSocket server(0, 30, std::string("localhost"));
  ASSERT_GT(server.getLocalPort(), 0);
  Socket client("localhost", server.getLocalPort());
  std::unique_ptr<Socket> accepted = server.accept();
  EXPECT_EQ(client.getPort(), server.getLocalPort());
  EXPECT_EQ(accepted->getPort(), client.getLocalPort());

  client.getOutputStream().write("GET /\r\n\r\n");
  char request[9];
  accepted->getInputStream().readFully(request, 9);
  EXPECT_EQ(std::string(request, 9), "GET /\r\n\r\n");

  accepted->getOutputStream().write(std::string(100000, 'x'));
  accepted->getOutputStream().write('!');
  accepted->close();
  BufferedInputStream in(client.getInputStream());
  EXPECT_EQ(readToEnd(in), std::string(100000, 'x') + "!");
  EXPECT_EQ(client.getInputStream().read(), -1);
}

TEST(Socket, AbsentOrEmptyHostIsTheLoopbackAddress) {
  ServerSocket server(0, 30, std::string("127.0.0.1"));
  for (const std::optional<std::string>& host : {std::optional<std::string>(), std::optional<std::string>("")}) {
    Socket client(host, server.getLocalPort());
    auto accepted = server.accept();
    client.getOutputStream().write('a');
    EXPECT_EQ(accepted->getInputStream().read(), 'a');
  }
}

TEST(Socket, RefusedConnectionIsConnectException) {
  int port;
  {
    ServerSocket probe(0, 1, std::string("127.0.0.1"));
    port = probe.getLocalPort();
  }
  EXPECT_THROW(Socket("127.0.0.1", port), ConnectException);
}

// A listener whose queue is full: the kernel drops further connection requests, so a
// connect to it neither succeeds nor is refused. A loopback connect with room in the queue
// completes at once, so the first one that waits a whole second found it full.
class StalledListener {
 public:
  StalledListener() : server_(0, 1, std::string("127.0.0.1")) {
    for (int i = 0; i < 16; ++i) {
      try {
        queued_.push_back(std::make_unique<Socket>("127.0.0.1", port(), std::chrono::seconds(1)));
      } catch (const SocketTimeoutException&) {
        return;
      }
    }
    ADD_FAILURE() << "the listener's queue never filled";
  }
  int port() const { return server_.getLocalPort(); }

 private:
  ServerSocket server_;
  std::vector<std::unique_ptr<Socket>> queued_;
};

std::vector<HostResolver::Address> addressesOf(std::initializer_list<int> ports) {
  std::vector<HostResolver::Address> all;
  for (int port : ports) {
    for (const auto& address : HostResolver::resolve(std::string("127.0.0.1"), port)) all.push_back(address);
  }
  return all;
}

// The addresses of a name are tried in order. Under one time-out for all, a refused one
// passes the rest of the time on, one that never answers uses it up and the later ones are
// not tried; under a time-out for each, the next address gets a time-out of its own.
TEST(Socket, ConnectTimeOutForEachAddressOrAllTogether) {
  ServerSocket open(0, 30, std::string("127.0.0.1"));
  int refused;
  {
    ServerSocket gone(0, 1, std::string("127.0.0.1"));
    refused = gone.getLocalPort();
  }
  StalledListener stalled;
  const int reached = open.getLocalPort();
  const std::chrono::milliseconds timeout(300);
  using Deadline = Socket::Deadline;
  for (Deadline deadline : {Deadline::kAllAddresses, Deadline::kEachAddress}) {
    const bool each = deadline == Deadline::kEachAddress;
    SCOPED_TRACE(each ? "each address" : "all addresses");
    EXPECT_EQ(Socket(addressesOf({refused, reached}), std::chrono::seconds(30), deadline).getPort(), reached);
    EXPECT_THROW(Socket(addressesOf({refused, refused}), std::chrono::seconds(30), deadline), ConnectException);
    EXPECT_THROW(Socket(addressesOf({refused, stalled.port()}), timeout, deadline), SocketTimeoutException);
    if (each) {
      EXPECT_EQ(Socket(addressesOf({stalled.port(), reached}), timeout, deadline).getPort(), reached);
    } else {
      EXPECT_THROW(Socket(addressesOf({stalled.port(), reached}), timeout, deadline), SocketTimeoutException);
    }
  }
  // A name's own connect, as the service's SOAP and TLS connections make it, is bounded per address.
  EXPECT_EQ(Socket(addressesOf({stalled.port(), reached}), timeout).getPort(), reached);
}

TEST(Socket, PortOutsideRangeIsRejected) {
  for (int port : {-1, 65536}) {
    try {
      Socket client("127.0.0.1", port);
      ADD_FAILURE() << port;
    } catch (const IllegalArgumentException& e) {
      EXPECT_EQ(e.message(), "port out of range:" + std::to_string(port));
    }
    EXPECT_THROW(ServerSocket(port, 30, std::nullopt), IllegalArgumentException) << port;
  }
}

TEST(Socket, WritingToAVanishedPeerFailsWithoutKillingTheProcess) {
  ServerSocket server(0, 30, std::string("127.0.0.1"));
  Socket client("127.0.0.1", server.getLocalPort());
  server.accept()->close();
  const std::string block(65536, 'b');
  bool failed = false;
  for (int i = 0; i < 1000 && !failed; ++i) {
    try {
      client.getOutputStream().write(block);
    } catch (const SocketException&) {
      failed = true;
    }
  }
  EXPECT_TRUE(failed);
}

TEST(Socket, ClosingAStreamClosesTheSocket) {
  ServerSocket server(0, 30, std::string("127.0.0.1"));
  Socket client("127.0.0.1", server.getLocalPort());
  auto accepted = server.accept();
  client.getInputStream().close();
  EXPECT_TRUE(client.isClosed());
  EXPECT_EQ(accepted->getInputStream().read(), -1);
  try {
    client.getInputStream().read();
    ADD_FAILURE();
  } catch (const SocketException& e) {
    EXPECT_EQ(e.message(), "Socket closed");
  }
  EXPECT_THROW(client.getOutputStream().write('x'), SocketException);
  client.close();  // again: nothing happens
}

TEST(Socket, CloseWakesABlockedReaderAndAccept) {
  ServerSocket server(0, 30, std::string("127.0.0.1"));
  Socket client("127.0.0.1", server.getLocalPort());
  auto accepted = server.accept();
  // The reader either was blocked and sees the end, or came too late and is
  // told the socket is closed; it must not stay blocked.
  bool readerDone = false;
  std::thread reader([&] {
    try {
      readerDone = client.getInputStream().read() == -1;
    } catch (const SocketException&) {
      readerDone = true;
    }
  });
  client.close();
  reader.join();
  EXPECT_TRUE(readerDone);

  bool acceptFailed = false;
  std::thread acceptor([&] {
    try {
      server.accept();
    } catch (const SocketException&) {
      acceptFailed = true;
    }
  });
  server.close();
  acceptor.join();
  EXPECT_TRUE(acceptFailed);
}

TEST(ServerSocket, PortHeldByARunningListenerIsInUseUntilClosed) {
  ServerSocket first(0, 30, std::string("127.0.0.1"));
  const int port = first.getLocalPort();
  EXPECT_THROW(ServerSocket(port, 30, std::string("127.0.0.1")), SocketException);
  first.close();
  EXPECT_THROW(Socket("127.0.0.1", port), ConnectException);
  ServerSocket second(port, 30, std::string("127.0.0.1"));
  EXPECT_EQ(second.getLocalPort(), port);
}

TEST(Socket, TcpNoDelayCanBeSwitchedOn) {
  ServerSocket server(0, 30, std::string("127.0.0.1"));
  Socket client("127.0.0.1", server.getLocalPort());
  auto accepted = server.accept();
  accepted->setTcpNoDelay(true);
  EXPECT_TRUE(accepted->getTcpNoDelay());
  accepted->setTcpNoDelay(false);
  EXPECT_FALSE(accepted->getTcpNoDelay());
}

// A file goes out from where its stream stands, up to the count asked: a
// file longer than that (one that grew) gives no byte more, a shorter one
// (one that shrank) gives what it has. The stream reads on after them.
// Both the kernel's transfer and the copy through the process.
TEST(Socket, SendFileSendsFromTheStreamPositionUpToTheCount) {
  struct Case {
    const char* name;
    size_t size;     // of the file
    size_t skipped;  // read before the transfer
    int64_t count;
    int64_t sent;
  };
  const Case cases[] = {
      {"whole file", 300000, 0, 300000, 300000},
      {"file longer than the count", 300000, 0, 100001, 100001},
      {"file shorter than the count", 300000, 0, 400000, 300000},
      {"from the middle", 300000, 70000, 230000, 230000},
      {"from the middle, short", 300000, 70000, 300000, 230000},
      {"nothing asked", 1000, 10, 0, 0},
      {"at the end", 1000, 1000, 5, 0},
      {"empty file", 0, 0, 10, 0},
      {"one byte", 1, 0, 1, 1},
  };
  testsupport::TempDir dir;
  std::string bytes;
  for (size_t i = 0; i < 300000; ++i) bytes.push_back(static_cast<char>(i * 7 + i / 251));
  ServerSocket server(0, 30, std::string("127.0.0.1"));
  for (bool copying : {false, true}) {
    for (const Case& c : cases) {
      const std::string what = std::string(c.name) + (copying ? ", copied" : "");
      const std::string path = dir.write("f", bytes.substr(0, c.size));
      const int port = server.getLocalPort();
      std::unique_ptr<Socket> client = copying ? std::make_unique<CopyingSocket>("127.0.0.1", port)
                                               : std::make_unique<Socket>("127.0.0.1", port);
      auto accepted = server.accept();
      FileInputStream file(path);
      std::string head(c.skipped, '\0');
      file.readFully(head.data(), static_cast<int>(c.skipped));
      std::string received;
      std::thread reader([&] { received = readToEnd(accepted->getInputStream()); });
      EXPECT_EQ(file.transferTo(*client, c.count), c.sent) << what;
      client->close();
      reader.join();
      EXPECT_EQ(received, bytes.substr(c.skipped, static_cast<size_t>(c.sent))) << what;
      EXPECT_EQ(head + received + file.readAll(), bytes.substr(0, c.size)) << what;
      EXPECT_FALSE(pipeSignalBlocked()) << what;
    }
  }
}

// sendfile has no flag against SIGPIPE: a vanished peer must still be an
// exception, with no signal left pending and the signal mask as it was.
TEST(Socket, SendFileToAVanishedPeerFailsWithoutKillingTheProcess) {
  testsupport::TempDir dir;
  const std::string path = dir.write("f", std::string(1 << 20, 'f'));
  ServerSocket server(0, 30, std::string("127.0.0.1"));
  Socket client("127.0.0.1", server.getLocalPort());
  server.accept()->close();
  bool failed = false;
  for (int i = 0; i < 1000 && !failed; ++i) {
    FileInputStream file(path);
    try {
      file.transferTo(client, 1 << 20);
    } catch (const SocketException&) {
      failed = true;
    }
  }
  EXPECT_TRUE(failed);
  EXPECT_FALSE(pipeSignalBlocked());
  sigset_t pending;
  sigpending(&pending);
  EXPECT_FALSE(sigismember(&pending, SIGPIPE));
}

// A peer that stops reading: the send time-out ends the transfer with the
// same exception a write gets.
TEST(Socket, SendFileToAPeerThatStopsReadingTimesOut) {
  testsupport::TempDir dir;
  const std::string path = dir.file("big");
  {
    FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(::ftruncate(fileno(f), 256 << 20), 0);  // more than any socket buffers hold
    std::fclose(f);
  }
  ServerSocket server(0, 30, std::string("127.0.0.1"));
  Socket client("127.0.0.1", server.getLocalPort());
  auto accepted = server.accept();
  client.setSoTimeout(std::chrono::milliseconds(200));
  FileInputStream file(path);
  EXPECT_THROW(file.transferTo(client, 256 << 20), SocketTimeoutException);
}
