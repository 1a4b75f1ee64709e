// Socket and Buffer: block sizes, byte orders, partial takes, time-outs and
// connection set-up over loopback.
#include <gtest/gtest.h>
#include <malloc.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <thread>

#include "net/buffer.h"
#include "net_fixtures.h"
#include "support/test_support.h"

using namespace net_test;

TEST(Buffer, PartialTakesKeepTheFrontBlock) {
  SocketPair pair;
  Buffer buffer;
  buffer.dsocket.Attach(pair.take(0));
  SendAll(pair.fd[1], std::vector<uint8_t>(1024, 7));
  uint8_t six[6];
  ASSERT_TRUE(buffer.Read(six, 6));
  EXPECT_EQ(buffer.IncomingCount(), 1018u);
  std::vector<uint8_t> rest(1018);
  ASSERT_TRUE(buffer.Read(rest.data(), 1018));
  EXPECT_EQ(buffer.IncomingCount(), 0u);
  SendAll(pair.fd[1], {1, 2});
  uint16_t value = 0;
  buffer >> value;
  EXPECT_EQ(value, 0x0201); // little-endian after construction
}

TEST(Buffer, BytesArrivingOneAtATimeHoldNoWholeChunkEach) {
  // A peer that sends a long item a byte at a time: every byte is its own
  // receive and stays queued until the item is complete.
  SocketPair pair;
  Buffer buffer;
  buffer.dsocket.Attach(pair.take(0));
  constexpr int kBytes = 2000;
  const size_t heapBefore = mallinfo2().uordblks;
  for (int i = 0; i < kBytes; ++i) {
    SendAll(pair.fd[1], {static_cast<uint8_t>(i)});
    ASSERT_TRUE(buffer.ReadBlock());
  }
  const size_t heapGrowth = mallinfo2().uordblks - heapBefore;
  EXPECT_LT(heapGrowth, size_t{kBytes} * 256) << "bytes of heap per queued byte: "
                                              << heapGrowth / kBytes;
  std::vector<uint8_t> item(kBytes);
  ASSERT_TRUE(buffer.Read(item.data(), kBytes));
  for (int i = 0; i < kBytes; ++i)
    ASSERT_EQ(item[i], static_cast<uint8_t>(i)) << i;
}

TEST(Buffer, WriteGathersBlocksAndFlushSendsThemInOrder) {
  SocketPair pair;
  Buffer buffer;
  buffer.dsocket.Attach(pair.take(0));
  std::vector<uint8_t> bytes(40000);
  for (size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<uint8_t>(i * 31);
  buffer.Write(bytes.data(), 40000);
  EXPECT_EQ(buffer.OutgoingCount(), 40000u);
  std::vector<uint8_t> received;
  std::thread reader([&] { received = ReceiveUpTo(pair.fd[1], 40000); });
  EXPECT_TRUE(buffer.Flush());
  reader.join();
  EXPECT_EQ(buffer.OutgoingCount(), 0u);
  EXPECT_EQ(received, bytes);
  EXPECT_TRUE(buffer.Flush()); // nothing left to send
}

TEST(Buffer, SendBinarySendsTheWholeBlockToASlowReader) {
  SocketPair pair;
  int small = 4096;
  setsockopt(pair.fd[0], SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
  Socket socket;
  socket.Attach(pair.take(0));
  std::vector<uint8_t> block(2 << 20);
  for (size_t i = 0; i < block.size(); ++i)
    block[i] = static_cast<uint8_t>(i >> 7);
  std::vector<uint8_t> received;
  std::thread reader([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    received = ReceiveUpTo(pair.fd[1], block.size());
  });
  EXPECT_TRUE(socket.SendBinary(block.data(), block.size()));
  reader.join();
  EXPECT_EQ(received, block);
}

TEST(Buffer, ByteOrdersAndMoves) {
  Buffer out, in;
  out.SetOutgoingEndian(Buffer::kBigEndian);
  out << uint8_t{1} << uint16_t{0x0203} << uint32_t{0x04050607};
  LogCapture log;
  EXPECT_FALSE(out.MoveOut(in, 8));
  EXPECT_TRUE(log.Contains("ERROR, Buffer::MoveOut, Outsize<Byte"));
  EXPECT_EQ(out.OutgoingCount(), 7u);
  Buffer middle;
  ASSERT_TRUE(out.MoveOut(middle, 3));
  ASSERT_TRUE(out.MoveOut(middle, 4));
  EXPECT_EQ(middle.OutgoingCount(), 7u);
  SocketPair pair;
  Buffer link;
  link.dsocket.Attach(pair.take(0));
  link.SetIncomingEndian(Buffer::kBigEndian);
  SendAll(pair.fd[1], {1, 2, 3, 4, 5, 6, 7});
  uint8_t b = 0;
  uint16_t s = 0;
  uint32_t l = 0;
  link >> b >> s >> l;
  EXPECT_EQ(b, 1);
  EXPECT_EQ(s, 0x0203);
  EXPECT_EQ(l, 0x04050607u);
  SendAll(pair.fd[1], {8, 9, 10});
  std::vector<uint8_t> value{7};
  ASSERT_TRUE(link.MoveIn(value, 3));
  EXPECT_EQ(value, (std::vector<uint8_t>{7, 8, 9, 10}));
  EXPECT_EQ(link.IncomingCount(), 0u);
}

TEST(Buffer, FragmentsMovedOutAcrossBlocksKeepEveryByteInOrder) {
  // P-DATA fragments do not line up with the 32600-byte blocks: each move takes
  // the rest of one block and the start of the next. What is not moved out is
  // flushed from where the moves stopped.
  std::vector<uint8_t> message(100000);
  for (size_t i = 0; i < message.size(); ++i) message[i] = uint8_t(i * 7 + i / 251);
  SocketPair valuePair, linkPair;
  Buffer value, link;
  value.dsocket.Attach(valuePair.take(0));
  link.dsocket.Attach(linkPair.take(0));
  value.Write(message.data(), static_cast<uint32_t>(message.size()));
  const size_t movedBytes = 4 * 16378;
  std::vector<uint8_t> moved, rest;
  std::thread movedReader([&] { moved = ReceiveUpTo(linkPair.fd[1], movedBytes); });
  std::thread restReader([&] { rest = ReceiveUpTo(valuePair.fd[1], message.size() - movedBytes); });
  bool sent = true;
  for (int i = 0; i < 4 && sent; ++i) sent = value.MoveOut(link, 16378) && link.Flush();
  EXPECT_EQ(value.OutgoingCount(), message.size() - movedBytes);
  sent = value.Flush() && sent;
  movedReader.join();
  restReader.join();
  EXPECT_TRUE(sent);
  EXPECT_EQ(moved, std::vector<uint8_t>(message.begin(), message.begin() + movedBytes));
  EXPECT_EQ(rest, std::vector<uint8_t>(message.begin() + movedBytes, message.end()));
}

TEST(Socket, ReceiveTimeOutsAndPeerClose) {
  LogCapture log;
  {
    SocketPair pair;
    Socket socket;
    socket.Attach(pair.take(0));
    socket.SetTimeout(1);
    uint8_t byte;
    EXPECT_EQ(socket.ReadBinary(&byte, 1), -1);
    EXPECT_TRUE(log.Contains("ERROR, Socket::ReadBinary, Timed out"));
    EXPECT_FALSE(socket.IsConnected());
  }
  {
    SocketPair pair;
    Buffer buffer;
    buffer.dsocket.Attach(pair.take(0));
    buffer.dsocket.SetTimeout(0);
    uint8_t byte;
    EXPECT_EQ(buffer.dsocket.ReadBinary(&byte, 1), 0);
    EXPECT_FALSE(buffer.dsocket.IsConnected());
    EXPECT_FALSE(buffer.ReadBlock());
    EXPECT_TRUE(log.Contains("ERROR, Buffer::ReadBlock, Error from ReadBinary()"));
  }
  {
    SocketPair pair;
    Socket socket;
    socket.Attach(pair.take(0));
    close(pair.take(1));
    uint8_t byte;
    size_t before = log.Lines().size();
    EXPECT_EQ(socket.ReadBinary(&byte, 1), -1);
    EXPECT_FALSE(socket.IsConnected());
    EXPECT_EQ(log.Lines().size(), before);
    EXPECT_FALSE(socket.SendBinary(&byte, 1)); // silently
  }
}

TEST(Socket, ListenAcceptConnect) {
  LogCapture log;
  int port = testing_support::FreePort();
  Socket listener;
  ASSERT_TRUE(listener.Listen(std::to_string(port)));
  Socket client;
  std::thread connector([&] { EXPECT_TRUE(client.Connect("127.0.0.1", std::to_string(port))); });
  ASSERT_TRUE(listener.Accept());
  connector.join();
  EXPECT_TRUE(log.Contains("INFO, Socket::Accept, remote IP: 127.0.0.1"));
  int noDelay = 0;
  socklen_t size = sizeof noDelay;
  getsockopt(listener.ConnectedHandle(), IPPROTO_TCP, TCP_NODELAY, &noDelay, &size);
  EXPECT_NE(noDelay, 0);
  int handle = listener.TakeConnected();
  EXPECT_FALSE(listener.IsConnected());
  Socket worker;
  worker.Attach(handle);
  EXPECT_TRUE(client.SendBinary("x", 1));
  char c = 0;
  EXPECT_EQ(worker.ReadBinary(&c, 1), 1);
  EXPECT_EQ(c, 'x');

  Socket unused;
  EXPECT_FALSE(unused.Accept());
  EXPECT_TRUE(log.Contains("ERROR Socket:Accept not Listened"));
  EXPECT_FALSE(unused.Listen("0")); // "0" is looked up as a service name
  EXPECT_TRUE(log.Contains("ERROR, could not resolve port"));
  int closedPort = testing_support::FreePort();
  EXPECT_FALSE(unused.Connect("127.0.0.1", std::to_string(closedPort)));
  EXPECT_TRUE(log.Contains("ERROR, Connecting to Socket: 127.0.0.1:" + std::to_string(closedPort) +
                           ", " + std::to_string(ECONNREFUSED)));
}
