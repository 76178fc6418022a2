// Whole-file transfer over the real HTTP tunnel against the reference server,
// which keeps the files in a folder of its own: the pieces and their offsets,
// the empty transfers, a file the tunnel cannot carry, and a download failing
// midway that leaves the previous local copy as it was.
#include <gmock/gmock.h>

#include <filesystem>
#include <string>

#include "refserver.h"
#include "test_support.h"
#include "zrlib.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// Bytes without a NUL, different at every offset of a piece.
std::string content(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>('!' + (i * 7 + i / 251) % 90);
  return s;
}

// How many requests of a message ("mid=1031") the server received: its log
// names each request in a line "#N    mid=...".
int requests_of(const std::string& log, const char* mid) {
  const std::string line = std::string("    ") + mid + " ";
  int n = 0;
  for (std::size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) ++n;
  return n;
}

class FileTransfer : public qrt_test::AreasTest {
 protected:
  std::string world(const std::string& faults = "") {
    return "[user USER01]\npassword = pass01\n[files]\nfolder = " + store_.str() + "\n" +
           (faults.empty() ? "" : "[faults]\n" + faults + "\n");
  }
  void connect(const qrt_test::RefServer& server) {
    qrt_test::post_through(server);
    zr00->sys_kd = 2;  // the session's exchanges go through the tunnel
    zr::copy(zr01->user_id, "USER01");
    zr::copy(zrconn->host_nm[0], "h1.example");
    zr::copy(zrconn->obj_nm, "QRTSVR");
    zr::copy(zr01->http_host_nm, "h1.example");
    zr::copy(zr01->http_obj_nm, "QRTSVR");
  }
  // The local file of the client (a program path with backslashes).
  std::string local(const char* name) const { return dir.str() + "\\" + name; }
  std::string native(const char* name) const { return dir.join(name); }

  qrt_test::TempDir store_;
};

TEST_F(FileTransfer, UploadGoesInPiecesOfAHundredThousandBytes) {
  qrt_test::RefServer server(world());
  connect(server);
  const std::string bytes = content(200000);
  qrt_test::write_file(native("up.bin"), bytes);
  EXPECT_EQ(zr0930_copy_c2s(local("up.bin").c_str(), "IN\\UP.BIN"), 0);
  EXPECT_EQ(qrt_test::read_file(store_.join("IN/UP.BIN")), bytes);
  const std::string log = server.log();
  EXPECT_EQ(requests_of(log, "mid=1031"), 2);
  EXPECT_THAT(log, HasSubstr("text=\"00000000000000100000009IN\\\\UP.BIN"));
  EXPECT_THAT(log, HasSubstr("text=\"00001000000000100000009IN\\\\UP.BIN"));

  // An odd size: the remainder goes last; an empty file sends nothing.
  const std::string odd = content(100001);
  qrt_test::write_file(native("odd.bin"), odd);
  EXPECT_EQ(zr0930_copy_c2s(local("odd.bin").c_str(), "ODD.BIN"), 0);
  EXPECT_EQ(qrt_test::read_file(store_.join("ODD.BIN")), odd);
  EXPECT_THAT(server.log(), HasSubstr("text=\"00001000000000000001007ODD.BIN"));
  qrt_test::write_file(native("empty.bin"), "");
  EXPECT_EQ(zr0930_copy_c2s(local("empty.bin").c_str(), "EMPTY.BIN"), 0);
  EXPECT_EQ(requests_of(server.log(), "mid=1031"), 4);
  EXPECT_FALSE(std::filesystem::exists(store_.join("EMPTY.BIN")));
}

// The tunnel carries the request text only up to its first NUL: such a file
// is refused before anything is sent.
TEST_F(FileTransfer, UploadOfAFileWithANulSendsNothing) {
  qrt_test::RefServer server(world());
  connect(server);
  std::string bytes = content(150000);
  bytes[120000] = '\0';
  qrt_test::write_file(native("nul.bin"), bytes);
  EXPECT_EQ(zr0930_copy_c2s(local("nul.bin").c_str(), "NUL.BIN"), -2);
  EXPECT_EQ(requests_of(server.log(), "mid=1031"), 0);
  EXPECT_THAT(trace(), testing::Contains(HasSubstr("a NUL byte at offset 120000")));
}

TEST_F(FileTransfer, RefusedUploadPieceFails) {
  qrt_test::RefServer server(world("mid=1031 skip=1 count=* sts=-1 text=満杯です。"));
  connect(server);
  qrt_test::write_file(native("up.bin"), content(250000));
  EXPECT_EQ(zr0930_copy_c2s(local("up.bin").c_str(), "UP.BIN"), -1);
  EXPECT_EQ(requests_of(server.log(), "mid=1031"), 2);
  // A name that would leave the server's folder is refused there.
  EXPECT_EQ(zr0930_copy_c2s(local("up.bin").c_str(), "..\\OUT.BIN"), -1);
  EXPECT_FALSE(std::filesystem::exists(store_.path().parent_path() / "OUT.BIN"));
}

TEST_F(FileTransfer, DownloadGoesInPiecesOfTwoMillionBytes) {
  qrt_test::RefServer server(world());
  connect(server);
  const std::string bytes = content(2000001);
  qrt_test::write_file(store_.join("BIG.BIN"), bytes);
  EXPECT_EQ(zr0930_copy_s2c(2000001, "BIG.BIN", local("big.bin").c_str()), 0);
  EXPECT_EQ(qrt_test::read_file(native("big.bin")), bytes);
  const std::string log = server.log();
  EXPECT_EQ(requests_of(log, "mid=1032"), 2);
  EXPECT_THAT(log, HasSubstr("text=\"00000000000002000000007BIG.BIN\""));
  EXPECT_THAT(log, HasSubstr("text=\"00020000000000000001007BIG.BIN\""));

  // Size 0 asks for nothing and leaves an empty local file.
  qrt_test::write_file(native("zero.bin"), "old");
  EXPECT_EQ(zr0930_copy_s2c(0, "BIG.BIN", local("zero.bin").c_str()), 0);
  EXPECT_EQ(qrt_test::read_file(native("zero.bin")), "");
  EXPECT_EQ(requests_of(server.log(), "mid=1032"), 2);
}

// A download that does not complete leaves the previous local file whole; a
// refused piece also leaves no partial file beside it.
TEST_F(FileTransfer, RefusedDownloadKeepsThePreviousFile) {
  struct Case {
    const char* name;
    std::string faults;
    int size;
  } cases[] = {
      {"second piece refused", "mid=1032 skip=1 count=* sts=-1 text=障害です。", 2500000},
      {"server file shorter than asked", "", 2600000},
      {"first piece shorter than asked", "mid=1032 count=* binary=10", 3000},
  };
  for (const Case& c : cases) {
    qrt_test::RefServer server(world(c.faults));
    connect(server);
    qrt_test::write_file(store_.join("DATA.BIN"), content(2500000));
    qrt_test::write_file(native("data.bin"), "the previous copy");
    EXPECT_EQ(zr0930_copy_s2c(c.size, "DATA.BIN", local("data.bin").c_str()), -1) << c.name;
    EXPECT_EQ(qrt_test::read_file(native("data.bin")), "the previous copy") << c.name;
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
      if (e.path().filename().string().find("data.bin") != std::string::npos) ++files;
    EXPECT_EQ(files, 1) << c.name;
  }
  EXPECT_THAT(trace(), testing::Contains(HasSubstr("copy_s2c")));
}

// A connection lost in the middle of a download ends the program, as every
// failed exchange of the plain tunnel does; the previous copy survives it.
TEST_F(FileTransfer, DownloadEndedMidwayKeepsThePreviousFile) {
  for (const char* fault :
       {"mid=1032 skip=1 count=* drop=request", "mid=1032 skip=1 count=* truncate=5000"}) {
    qrt_test::RefServer server(world(fault));
    qrt_test::write_file(store_.join("DATA.BIN"), content(2500000));
    qrt_test::write_file(native("data.bin"), "the previous copy");
    EXPECT_EXIT(
        {
          zr_message_box_handler(qrt_test::box_to_stderr);
          connect(server);
          zr0930_copy_s2c(2500000, "DATA.BIN", local("data.bin").c_str());
          std::fprintf(stderr, "returned\n");
        },
        ::testing::ExitedWithCode(0), Not(HasSubstr("returned")))
        << fault;
    EXPECT_EQ(qrt_test::read_file(native("data.bin")), "the previous copy") << fault;
  }
}

}  // namespace
