#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "platform/BufferedInputStream.h"
#include "platform/NetExceptions.h"
#include "platform/ServerSocket.h"
#include "platform/Socket.h"

using namespace platform;

namespace {

std::string readToEnd(InputStream& in) {
  std::string text;
  char buffer[256];
  int n;
  while ((n = in.read(buffer, 0, sizeof buffer)) > 0) text.append(buffer, n);
  return text;
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
