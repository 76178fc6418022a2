// _lha and _lha_mem: the codec core (lha_codec.h) over whole files and caller
// buffers, with the work record and buffers taken from the tracked allocator, the
// size limit reported in the trace, and the results written through the runtime.
#include "lha/lha.h"

#include <climits>
#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "lha/lha_codec.h"
#include "platform/platform.h"
#include "runtime/zrcommon.h"

namespace {

namespace lha = zr::lha;

// Largest buffer the tracked allocator can hand out with the 256 spare bytes.
constexpr long long kMaxBuffer = INT_MAX - 512;

// A block of the tracked allocator, released at the end of the scope. Memory
// exhaustion ends the process with the entry point's report.
class Block {
 public:
  explicit Block(long long size) {
    p_ = static_cast<std::uint8_t*>(_malloc(static_cast<std::int32_t>(size < 1 ? 1 : size)));
    if (!p_) {
      _mes_print("_lha Error ret:%d", lha::kNoMemory);
      zr_exit();
    }
  }
  ~Block() { _free(p_); }
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;
  std::uint8_t* get() const { return p_; }

 private:
  std::uint8_t* p_;
};

bool starts_as_lh6(const std::uint8_t* p, long long len) {
  return len >= 7 && std::memcmp(p + 2, "-lh6-", 5) == 0;
}

// The archive's first member header, refused when its expansion would be too
// large to hold.
int read_member(std::span<const std::uint8_t> in, lha::Member& m) {
  int rc = lha::parse_header(in, m);
  if (rc != lha::kOk) return rc;
  if (m.original >= lha::kSizeLimit) {
    _dbg_print("*** ZWLHA *** 展開後のサイズが大きすぎます (%u Byte)", m.original);
    return lha::kBadMethod;
  }
  return lha::kOk;
}

// Compresses (mode 0) or expands (mode 1) `in` into a new block held by
// `holder`; out_len is the result's length. Returns 0 or a negative code.
int code(int mode, std::span<const std::uint8_t> in, std::string_view name,
         std::optional<Block>& holder, std::size_t& out_len, lha::Work& work) {
  out_len = 0;
  if (mode == 0) {
    std::size_t cap = std::max(in.size() + 256, lha::pack_capacity(in.size(), name.size()));
    holder.emplace(static_cast<long long>(cap));
    out_len = lha::pack(in, name, holder->get(), work.enc);
    return lha::kOk;
  }
  if (mode != 1) return lha::kBadMethod;
  lha::Member m;
  if (int rc = read_member(in, m); rc != lha::kOk) return rc;
  holder.emplace(static_cast<long long>(m.original) + 256);
  return lha::unpack(in, m, holder->get(), work.dec, out_len);
}

// The streamed expansion's output: a new file beside the target.
struct FileSink {
  plat::TempFile* file;
  std::size_t written = 0;
  static bool put(const std::uint8_t* data, std::size_t len, void* self) {
    auto* s = static_cast<FileSink*>(self);
    if (!plat::temp_write(s->file, data, len)) return false;
    s->written += len;
    return true;
  }
};

// Expands the archive in into out_path through a new file beside it, which
// replaces the target once complete (also after a CRC error, with what was
// produced). Returns 0 or a negative code; out_len the bytes produced.
int expand_to_file(std::span<const std::uint8_t> in, const char* out_path, lha::DecoderWork& work,
                   std::size_t& out_len) {
  out_len = 0;
  lha::Member m;
  int rc = read_member(in, m);
  if (rc != lha::kOk) return rc;
  std::string tmp;
  plat::TempFile* file = plat::temp_create_beside(out_path, false, &tmp);
  if (!file) {
    _dbg_print("_lha cannot write a new file beside %s", out_path);
    return lha::kWriteFailed;
  }
  Block buf(static_cast<long long>(lha::stream_buffer_size(m.original)));
  FileSink sink{file};
  rc = lha::unpack_stream(in, m, buf.get(), FileSink::put, &sink, work, out_len);
  if (rc == lha::kWriteFailed || (out_len == 0 && rc != lha::kOk)) {
    plat::temp_discard(file);
    return rc;
  }
  if (!plat::temp_finish(file) || zr_replace_with(tmp.c_str(), out_path) != 0)
    return lha::kWriteFailed;
  return rc;
}

void set_routine(const char* name) {
  if (zrwork) zr::copy(zrwork->rtn_nm, sizeof zrwork->rtn_nm, name);
}

}  // namespace

int _lha(int mode, const char* in_path, const char* out_path) {
  set_routine("_lha");
  std::FILE* fp = plat::open_stream(in_path, "rb");
  if (!fp) return lha::kNoInput;
  long long len = -1;
  if (std::fseek(fp, 0, SEEK_END) == 0) len = std::ftell(fp);
  std::rewind(fp);

  if (len < 0 || len >= static_cast<long long>(lha::kSizeLimit)) {
    std::uint8_t head[7] = {};
    bool lh6 = mode == 1 && len >= 0 && len <= kMaxBuffer &&
               std::fread(head, 1, sizeof head, fp) == sizeof head && starts_as_lh6(head, 7);
    std::rewind(fp);
    if (!lh6) {
      std::fclose(fp);
      if (mode == 1) {
        _dbg_print("*** ZWLHA *** データが圧縮されていません！！！");
        _dbg_print("*** ZWLHA *** 解凍せずにファイルをコピーします！！！ ");
      } else {
        _dbg_print("*** ZWLHA *** 圧縮するデータのサイズが５００ＭＢを超えました。(%d Byte) \n",
                   static_cast<int>(len));
        _dbg_print("*** ZWLHA *** 圧縮せずにファイルをコピーします！！！ ");
      }
      _copy(in_path, out_path);
      return static_cast<int>(len);
    }
  }

  Block input(len);
  std::size_t got = len ? std::fread(input.get(), 1, static_cast<std::size_t>(len), fp) : 0;
  std::fclose(fp);
  if (got != static_cast<std::size_t>(len)) return lha::kNoInput;

  std::size_t out_len = 0;
  const std::span<const std::uint8_t> data(input.get(), static_cast<std::size_t>(len));
  int rc;
  if (mode == 1) {
    // Expanded in pieces straight into the new file: the output is never held
    // whole, and its writing overlaps the expansion. The expander's tables are
    // all the work it needs.
    Block work_block(static_cast<long long>(sizeof(lha::DecoderWork)));
    rc = expand_to_file(data, out_path, *reinterpret_cast<lha::DecoderWork*>(work_block.get()),
                        out_len);
  } else {
    Block work_block(static_cast<long long>(sizeof(lha::Work)));
    auto* work = reinterpret_cast<lha::Work*>(work_block.get());
    std::optional<Block> out;
    rc = code(mode, data, in_path, out, out_len, *work);
    if (rc == lha::kOk && out && zr_replace_file(out_path, out->get(), out_len) != 0)
      rc = lha::kWriteFailed;
  }
  return rc != lha::kOk ? rc : static_cast<int>(out_len);
}

int _lha_mem(int mode, char* buf, int len, int cap) {
  set_routine("_lha_mem");
  if (!buf || len < 0) return lha::kNoInput;
  auto* bytes = reinterpret_cast<std::uint8_t*>(buf);
  if (static_cast<long long>(len) >= static_cast<long long>(lha::kSizeLimit) &&
      !(mode == 1 && starts_as_lh6(bytes, len))) {
    if (mode == 1) {
      _dbg_print("*** ZWLHA_MEM *** データが圧縮されていません！！！");
      _dbg_print("*** ZWLHA_MEM *** 解凍せずに終了します！！！ ");
    } else {
      _dbg_print("*** ZWLHA_MEM *** 圧縮するデータのサイズが５００ＭＢを超えました。(%d Byte) \n",
                 len);
      _dbg_print("*** ZWLHA_MEM *** 圧縮せずに終了します！！！ ");
    }
    return len;
  }

  Block input(len);
  if (len) std::memcpy(input.get(), buf, static_cast<std::size_t>(len));
  Block work_block(static_cast<long long>(sizeof(lha::Work)));
  auto* work = reinterpret_cast<lha::Work*>(work_block.get());
  std::optional<Block> out;
  std::size_t out_len = 0;
  int rc =
      code(mode, {input.get(), static_cast<std::size_t>(len)}, "LHA_FILE.TMP", out, out_len, *work);
  int result;
  if (cap < 0 || out_len > static_cast<std::size_t>(cap)) {
    result = lha::kNoInput;
  } else if (rc != lha::kOk) {
    result = rc;
  } else {
    if (out_len) std::memcpy(buf, out->get(), out_len);
    result = static_cast<int>(out_len);
  }
  return result;
}
