// The tracked allocator: every live block taken through the library is recorded
// in a table of 4000 slots, so that leaks and double releases show in the trace
// and an exhausted heap ends the program with a clear report.
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/platform.h"
#include "runtime/zrcommon.h"

namespace {

// The checker allocates from three threads: the slot search and update are one
// step under this lock.
std::recursive_mutex g_table_lock;

void memory_status_dump() {
  plat::MemoryStatus s = plat::memory_status();
  _dbg_print("********** GlobalMemoryStatus [KB] ********** ");
  _dbg_print("MemoryLoad    :%d", static_cast<int>(s.load));
  _dbg_print("TotalPhys     :%d", static_cast<int>(s.total_phys / 1000));
  _dbg_print("AvailPhys     :%d", static_cast<int>(s.avail_phys / 1000));
  _dbg_print("TotalPageFile :%d", static_cast<int>(s.total_page / 1000));
  _dbg_print("AvailPageFile :%d", static_cast<int>(s.avail_page / 1000));
  _dbg_print("TotalVirtual  :%d", static_cast<int>(s.total_virtual / 1000));
  _dbg_print("AvailVirtual  :%d", static_cast<int>(s.avail_virtual / 1000));
  _dbg_print("********************************************* ");
}

}  // namespace

void* _malloc(std::int32_t size) {
  if (size < 1) {
    _dbg_print("Size Error of _malloc sz:%d", size);
    return nullptr;
  }
  char text[256];
  plat::MemoryStatus s = plat::memory_status();
  auto avail = static_cast<std::int32_t>(static_cast<std::uint32_t>(s.avail_virtual));
  if (s.avail_virtual > 0x7FFFFFFFull) avail = 0x7FFFFFFF;
  if (avail < size) {
    ZR_FMT(text, "Not Memory of _malloc  sz:%d, free:%d", size, avail);
    _dbg_print("%s", text);
    _err_mes(932, text);
  }

  std::lock_guard<std::recursive_mutex> lock(g_table_lock);
  ZR_MEM_TBL& tbl = zrenv->mem_tbl;
  int slot = 0;
  while (slot < kMemSlots && tbl.mem_ptr[slot]) ++slot;
  if (slot == kMemSlots) {
    _dbg_print("Not Memory table of _malloc  no:%d", kMemSlots);
    _malloc_disp("Not Memory table of _malloc");
    _err_mes(950, "Not Memory table of _malloc");
  }
  void* block = std::calloc(1, static_cast<std::size_t>(size));
  if (!block) {
    ZR_FMT(text, "No Memory _malloc  sz:%d  (Err:%d)", size, static_cast<int>(plat::last_error()));
    _dbg_print("%s", text);
    _malloc_disp("No Memory _malloc");
    memory_status_dump();
    _err_mes(950, text);
  }
  tbl.mem_ptr[slot] = block;
  tbl.mem_sz[slot] = size;
  return block;
}

void _free(void* block) {
  if (!block) return;
  std::lock_guard<std::recursive_mutex> lock(g_table_lock);
  ZR_MEM_TBL& tbl = zrenv->mem_tbl;
  for (int slot = 0; slot < kMemSlots; ++slot) {
    if (tbl.mem_ptr[slot] == block) {
      std::free(block);
      tbl.mem_ptr[slot] = nullptr;
      tbl.mem_sz[slot] = 0;
      return;
    }
  }
  _dbg_print("*** Error of _free ptr:%p ***", block);
}

void _malloc_disp(const char* caption) {
  std::lock_guard<std::recursive_mutex> lock(g_table_lock);
  const ZR_MEM_TBL& tbl = zrenv->mem_tbl;
  int count = 0;
  for (int slot = 0; slot < kMemSlots; ++slot)
    if (tbl.mem_ptr[slot]) ++count;
  _dbg_print("***** No of malloc (%s) CNT:%d *****", caption, count);
  if (count == 0) return;
  int number = 0, total_kb = 0;
  for (int slot = 0; slot < kMemSlots; ++slot) {
    if (!tbl.mem_ptr[slot]) continue;
    _dbg_print("   NO:%03d  PTR:%p SIZE:%9d [B]", ++number, tbl.mem_ptr[slot],
               static_cast<int>(tbl.mem_sz[slot]));
    total_kb += tbl.mem_sz[slot] / 1000;
  }
  _dbg_print("CNT:%d, Total Size:%d[KB]", count, total_kb);
}
