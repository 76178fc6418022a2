// The socket layer: the address-literal rewrite, connects, the framed read and
// write primitives with their length checks, and the listening side.
#include <gmock/gmock.h>

#include <cstring>
#include <string>

#include "net_loopback.h"
#include "test_support.h"

namespace {

using qrt_test::frame;
using qrt_test::frame_header;
using qrt_test::LoopbackPeer;

class NetSocket : public qrt_test::AreasTest {
 protected:
  void SetUp() override {
    AreasTest::SetUp();
    zwsock_initial();
  }
  int open_peer(const LoopbackPeer& peer) {
    return zwsock_open(static_cast<unsigned short>(peer.port()), "127.0.0.1");
  }
};

TEST(NetAddressLiteral, RewritesDigitsAndDotsOnly) {
  struct Case {
    const char* in;
    const char* out;  // nullptr: not an address literal
  } cases[] = {
      {"192.168.001.010", "192.168.1.10"},
      {"12345", "12345.0.0.0"},
      {"1.2.3.4.5", "1.2.3.4"},
      {"10..1", "10.0.1.0"},
      {"99999999999999999999.1.1.1", "999999.1.1.1"},  // clamped, still out of range
      {"server-1", nullptr},
      {"", nullptr},
  };
  for (const Case& c : cases) {
    char out[256] = "untouched";
    bool literal = zrnet::rewrite_address_literal(c.in, out, sizeof out);
    EXPECT_EQ(literal, c.out != nullptr) << c.in;
    if (c.out) {
      EXPECT_STREQ(out, c.out) << c.in;
    }
  }
}

TEST_F(NetSocket, OutOfRangeAddressShowsTheAddressMessage) {
  for (const char* host : {"300.1.1.1", "12345", "255.255.255.255"}) {
    boxes.boxes.clear();
    EXPECT_EQ(zwsock_open(80, host), 0) << host;
    ASSERT_EQ(boxes.boxes.size(), 1u) << host;
    EXPECT_THAT(boxes.boxes[0].text, ::testing::HasSubstr("ＩＰアドレスの指定誤りです。"));
  }
  EXPECT_THAT(boxes.boxes[0].text, ::testing::HasSubstr("(255.255.255.255)"));
}

TEST_F(NetSocket, LeadingZerosConnectToTheRewrittenAddress) {
  LoopbackPeer peer({frame(1, 0, 0, "")}, false);
  int s = zwsock_open(static_cast<unsigned short>(peer.port()), "127.000.000.001");
  ASSERT_NE(s, 0) << zrwork->mes_buf;
  char buf[kFrameMax];
  EXPECT_EQ(zwsock_read(s, buf, sizeof buf), 12);
  zwsock_close(s);
}

TEST_F(NetSocket, RefusedConnectReportsTheWindowsSocketsCode) {
  // A port that was just free: nothing listens there any more.
  plat::Sock probe = plat::tcp_socket();
  plat::bind_any(probe, 0);
  unsigned short port = plat::local_port(probe);
  plat::close(probe);

  EXPECT_EQ(zwsock_open(port, "127.0.0.1"), 0);
  EXPECT_STREQ(zrwork->mes_buf, "Error of connect(10061)");

  zr00->connect_timeout = 2000;
  EXPECT_EQ(zwsock_open(port, "127.0.0.1"), 0);
  EXPECT_THAT(zrwork->mes_buf,
              ::testing::AnyOf(::testing::StrEq("NetworkEvents ErrorCode:10061"),
                               ::testing::StrEq("Error of connect_timeout(10061)")));
}

TEST_F(NetSocket, UnknownHostReportsTheResolutionFailure) {
  EXPECT_EQ(zwsock_open(80, "no-such-host.invalid"), 0);
  EXPECT_THAT(zrwork->mes_buf, ::testing::HasSubstr("ホストアドレスの取得に失敗しました。(Err:"));
  EXPECT_THAT(zrwork->mes_buf, ::testing::HasSubstr("host:no-such-host.invalid"));
  EXPECT_EQ(boxes.boxes.size(), 1u);
}

TEST_F(NetSocket, FramedReadChecksTheLength) {
  struct Case {
    std::string bytes;
    int result;
    bool length_error;
    int size = kFrameMax;  // the caller's buffer
  } cases[] = {
      {frame(5, 0, 0, ""), 12, false},
      {frame(5, 0, 0, std::string(16372, 'x')), 16384, false},
      {frame(5, 0, 0, std::string(100, 'x')), 0, true, 100},  // more than the caller holds
      {frame(5, 0, 0, std::string(88, 'x')), 100, false, 100},
      {frame_header(5, 16385, 0) + std::string(100, 'x'), 0, true},
      {frame_header(5, 11, 0), 0, true},
      {frame_header(5, -20, 0), 0, true},
      {frame_header(5, 0x7FFFFFFF, 0), 0, true},
      {frame(5, 0, 0, "abcdef").substr(0, 15), 0, false},  // closed in the data part
      {frame(5, 0, 0, "").substr(0, 7), 0, false},         // closed in the header
  };
  for (const Case& c : cases) {
    zrwork->mes_buf[0] = '\0';
    LoopbackPeer peer({c.bytes}, false);
    int s = open_peer(peer);
    ASSERT_NE(s, 0);
    // Guard bytes behind the caller's buffer show any write past it.
    std::string buf(kFrameMax + 16, 'G');
    EXPECT_EQ(zwsock_read(s, buf.data(), c.size), c.result);
    EXPECT_EQ(buf.substr(static_cast<std::size_t>(c.size)).find_first_not_of('G'),
              std::string::npos);
    EXPECT_EQ(
        std::string(zrwork->mes_buf).find("回線障害(Receive Length Error)") != std::string::npos,
        c.length_error)
        << zrwork->mes_buf;
    zwsock_close(s);
  }
}

TEST_F(NetSocket, HeaderInSmallPiecesGivesTheWholeFrame) {
  // The peer's answer arrives in one piece per send; the reader loops.
  LoopbackPeer peer({frame(7, 3, 0, "hello")}, false);
  int s = open_peer(peer);
  std::string buf(kFrameMax, '\0');
  ASSERT_EQ(zwsock_read2(s, buf.data(), kFrameMax), 17);
  EXPECT_EQ(buf.substr(12, 5), "hello");
  zwsock_close(s);
}

TEST_F(NetSocket, ParameterErrorOfRead2IsTracedAndReturned) {
  char buf[16] = "12";
  EXPECT_EQ(zwsock_read2(0, buf, 16), -1);
  std::string all;
  for (const std::string& l : trace()) all += l + "\n";
  EXPECT_THAT(all, ::testing::HasSubstr("Para Error of zwsock_read \nhsock:0\n"));
  EXPECT_THAT(all, ::testing::HasSubstr("mid  :12\n処理を打ち切ります。"));
}

TEST_F(NetSocket, WriteAndRawReadMoveExactBytes) {
  LoopbackPeer peer({"0123456789"}, false);
  int s = open_peer(peer);
  char buf[10];
  EXPECT_EQ(zwsock_read_ext(s, buf, 10), 10);
  EXPECT_EQ(std::string(buf, 10), "0123456789");
  EXPECT_EQ(zwsock_read_ext(s, buf, 1), -1);  // the peer has closed
  zwsock_close(s);
}

TEST_F(NetSocket, ListeningSideAcceptsAndNamesThePeer) {
  int ls = zwsock_create(0);
  ASSERT_NE(ls, 0);
  unsigned short port = plat::local_port(ls);
  int c = zwsock_open(port, "127.0.0.1");
  ASSERT_NE(c, 0);
  unsigned char addr[16] = {};
  int a = zwsock_connect(ls, addr);
  ASSERT_NE(a, 0);
  EXPECT_EQ(addr[0], 2);  // AF_INET, little-endian
  EXPECT_EQ(addr[4], 127);
  char name[22];
  zwsock_get_ipaddr(a, name);
  EXPECT_EQ(std::string(name), "127.0.0.1:" + std::to_string(plat::local_port(c)));

  EXPECT_EQ(zwsock_write(c, "abc", 3), 1);
  char got[3];
  EXPECT_EQ(zwsock_read_ext(a, got, 3), 3);
  EXPECT_EQ(std::string(got, 3), "abc");
  zwsock_close(a);
  zwsock_close(c);
  zwsock_close(ls);
}

TEST_F(NetSocket, ClientReadFailuresEndTheProcess) {
  using ::testing::HasSubstr;
  EXPECT_EXIT(
      {
        zr_message_box_handler(qrt_test::box_to_stderr);
        LoopbackPeer peer({frame_header(5, 20000, 0)}, false);
        int s = open_peer(peer);
        char buf[kFrameMax];
        zwsock_read_cli(s, buf, sizeof buf);
      },
      ::testing::ExitedWithCode(0), HasSubstr("** Receive Data Error p_msg->lng:20000 **"));
  EXPECT_EXIT(
      {
        zr_message_box_handler(qrt_test::box_to_stderr);
        LoopbackPeer peer({frame(5, 0, -9999, std::string("サーバ障害です。") + '\0')}, false);
        int s = open_peer(peer);
        char buf[kFrameMax];
        zwsock_read_cli(s, buf, sizeof buf);
      },
      ::testing::ExitedWithCode(0), HasSubstr("BOX[サーバ障害です。]"));
  EXPECT_EXIT(
      {
        zr_message_box_handler(qrt_test::box_to_stderr);
        LoopbackPeer peer({std::string(5, 'x')}, false);
        int s = open_peer(peer);
        char buf[kFrameMax];
        zwsock_read_cli(s, buf, sizeof buf);
      },
      ::testing::ExitedWithCode(0), HasSubstr("回線障害(Soket = 0)が発生しました。"));
}

}  // namespace
