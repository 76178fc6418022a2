// The common areas: the process-wide records that hold all state of the library.
// Each area is allocated once, zero-filled, and reached through one global
// pointer. Text fields are fixed-size NUL-terminated Shift-JIS byte arrays and are
// written only through the bounded helpers of fields.h.
#pragma once

#include <cstdint>
#include <cstdio>

#define ZR_API extern "C"

// The areas themselves never reach a file or the wire, so they keep the natural
// alignment of their fields (a misaligned pointer or counter would be undefined
// behaviour to reference). Records that do reach a file or the wire are packed
// and their sizes pinned with static asserts.

// ---- the current message record ------------------------------------------------

#pragma pack(push, 1)

constexpr int kMsgHeaderSize = 12;
constexpr int kMsgDataCap = 16372;  // data bytes of the built-in buffers

struct PHMSG_HDR {
  std::int16_t mid;   // message ID
  std::int16_t kd00;  // kind code or notification ID
  std::int32_t lng;   // whole frame: 12 + data length
  std::int32_t sts;   // status
};
static_assert(sizeof(PHMSG_HDR) == kMsgHeaderSize);

struct PHMSG {
  PHMSG_HDR hdr;
  char data[kMsgDataCap];  // heap replacements carry more
};
static_assert(sizeof(PHMSG) == 16384);
#pragma pack(pop)

// ---- zrenv: environment -------------------------------------------------------------

constexpr int kMemSlots = 4000;

struct ZR_MEM_TBL {
  void* mem_ptr[kMemSlots];
  std::int32_t mem_sz[kMemSlots];
};

struct ZRENV {
  char ver_txt[32];  // version text shown in fatal reports; neither program fills it
  char inst_dir[256];
  char inst_dir2[256];
  char exp_dir[256];
  std::int32_t env_no;  // environment number in data-file names; 0 in these programs
  std::uint8_t cert_ign;
  std::uint8_t quiet_mode;  // mode flags: never set by these programs
  std::uint8_t batch_mode;
  std::uint8_t thin_mode;
  void* cs_1;  // critical sections (opaque); only cs_3 is entered (TLS open)
  void* cs_2;
  void* cs_3;
  void* cs_4;
  ZR_MEM_TBL mem_tbl;
};

// ---- zrfile: the file table ------------------------------------------------------------

constexpr int kFileSlots = 16;

struct ZR_FILE_SLOT {
  std::FILE* fp;
  char fnm[256];
  char mode[4];
};

struct ZRFILE {
  ZR_FILE_SLOT slot[kFileSlots];
};

// ---- zrwork: process work area ---------------------------------------------------------

struct ZRWORK {
  char wk_txt[256];
  char fail_fnm[256];
  char mes_work[2048];
  std::uint8_t os_kd;
  std::uint8_t wow64;
  std::uint8_t webview2;
  char prg_nm[9];
  char rtn_nm[30];
  char mes_buf[397];
  std::int16_t kd_1, kd_2, kd_3, kd_4, kd_5;
  // -- data-file naming: base folders and codes of the names --
  char wrk_dir[256];  // work folder: the install folder in the checker, empty in the launcher
  char doc_dir[256];  // document-data folders; neither program sets them
  char doc_dir2[256];
  std::int16_t hist_kd;  // gazette-history variant of the history names (0, 1 or 2)
  std::int16_t kd_sub;   // the second code of the kind-table name; 0 in these programs
  std::uint8_t* io_buf;  // 65,536 bytes, allocated with the area
  PHMSG* snd_msg;
  PHMSG* p_msg;
  PHMSG* tnl_msg;
  std::int32_t p_msg_cap;    // data capacity of p_msg
  std::int32_t tnl_msg_cap;  // data capacity of tnl_msg
  std::int32_t mlng;         // data length of the current message
  void* tnl_work;            // further heap blocks attached by the transport
  void* ssl_work;
  // -- transport: socket layer and HTTP tunnel --
  std::int32_t hsock;           // socket of the exchange in progress (0: none)
  char* req_copy;               // the request text; the authenticated one after a challenge
  char* req_copy2;              // the request text as first built
  std::int32_t req_copy_cap;    // capacity of each copy (both live in tnl_work)
  std::int32_t http_sts;        // status code of the last HTTP answer header
  std::int32_t retry_proc_cnt;  // busy re-sends in the current exchange
  std::uint8_t keep_alive;      // the last 407 answer offered to keep the connection
  std::uint8_t ie_auth;         // an NTLM exchange has sent its final token
  std::uint8_t ie_auth_done;    // the system client has authenticated; re-send req_copy2
  std::uint8_t auth_kd;         // 1 Basic, 2 NTLM, 3 Negotiate
  std::uint8_t auth_active;     // a challenge conversation holds security handles
  char auth_line[512];          // the Basic authorization line repeated by later requests
  char hdr_copy[2048];          // the request header as first built, without its empty line
  // -- session: message envelope, requests and logon --
  std::int32_t drc_sock;  // direct framed connection (used only when sys_kd is not 2)
  PHMSG snd_area;         // built-in buffers
  PHMSG msg_area;
  PHMSG tnl_area;
};

// ---- zr00: master area ------------------------------------------------------------------

struct ZR_SYS_DATE {
  std::int16_t year, month, day;
  std::int32_t ymd;  // year * 10000 + month * 100 + day
};

typedef int (*ZR_MSG_FN)();

struct ZR00 {
  char sys_id[12];
  char kh_nm[32];
  std::uint8_t sys_kd;
  std::int16_t ver_no;
  char pc_nm[61];
  ZR_SYS_DATE sys_date;
  char dbg_fnm[260];
  char err_fnm[260];
  std::uint8_t mode_a;  // two mode flags never set in this system
  std::uint8_t mode_b;
  // gaiji tables (loaded by the conversions)
  void* gaiji_idx;
  void* gaiji_f24;
  void* gaiji_f32;
  std::int32_t gaiji_cnt;
  std::int32_t gaiji_size;
  void* gaiji_ptr;
  // CSV splitter work buffers
  char* csv_buf;
  std::int32_t csv_cap;
  std::int32_t csv_fld_cnt;
  char** csv_fld;
  // transport
  ZR_MSG_FN msg_fn;
  std::int32_t recv_timeout;  // seconds
  // settings from ZORAX.INI and PROXY.FIL
  std::uint8_t proxy_use;
  std::uint8_t ssl_use;
  std::uint8_t ssl_cert_ign;  // SSL_CERT_IGNORE: accept untrusted roots, name and date errors
  std::uint8_t zrhttp_cp;
  char http_proxy_host[64];
  std::uint16_t http_proxy_port;
  char pxy_user[128];
  char pxy_pass[128];
  std::uint8_t pxy_http11;
  std::uint8_t accept_hdr;
  std::uint8_t nocache_hdr;
  std::uint8_t keepalive_hdr;
  std::uint8_t connect_cls;
  std::uint8_t nohost_hdr;
  std::uint8_t ntlm_mode;
  std::uint8_t pxy_auth1st;
  std::uint16_t retry_count;
  std::uint16_t retry_interval;  // milliseconds
  char user_work[260];
  // -- transport: socket layer and HTTP tunnel --
  std::int16_t connect_timeout;            // milliseconds; 0: plain blocking connect
  int (*read_fn)(int, char*, int);         // framed read of a direct connection
  int (*write_fn)(int, const char*, int);  // framed write of a direct connection
  std::int64_t last_send_time;             // seconds since 1970 of the last client send
  // -- transport: the system HTTP client (opaque handles; null when closed) --
  void* zrhttp_session;
  void* zrhttp_conn;
  // -- session: message envelope, requests and logon --
  char mon_host[61];  // host of the monitor connection (empty in these programs)
  // -- data-file naming --
  char svr_work[256];  // server work folder; empty in these programs
};

// ---- zr01: large work area ------------------------------------------------------------

struct ZR01 {
  char fnm_work[512];
  char mes_work2[512];
  char cli_nm[9];
  std::int32_t pd_f;
  std::int32_t pd_t;
  char user_id[9];
  char user_pass[9];
  char http_host_nm[61];
  char http_obj_nm[61];
  void* zrhttp_req;  // the system HTTP client's request of the exchange in progress
  // -- checker program: SDI cycle --
  std::int32_t disp_max;  // the largest hit count whose result page may be opened
  // The server information (message 112) and update information (message 113)
  // kept for the library's users; of all this only recv_timeout of zr00 changes
  // what the programs do. Numeric fields are named after their offset in the
  // answer of tm0930_svr_inf_net.
  struct ZR_SVR_INF {
    char db_first[1604];   // database block 1 (zr0930_ variants)
    char db_more[8][800];  // database blocks 2-9 (block 5 by all, block 9 by tm0930_)
    std::uint8_t v1608;
    std::int16_t v1609;
    std::int32_t v1615, v1619, v1623;
    std::uint8_t v1627[4];
    char t1633[32];
    std::int32_t v1664;
    std::uint8_t v1668, v1669;
    std::int32_t v1670;
    std::uint8_t v1674;
    char t1675[41];
    char t1715[201];
    std::int32_t v1915[5];
    std::uint8_t ext[866];  // bytes 1600 on of the longer records, as received
    std::int32_t ext_len;
    void* thr_blk;       // 506-byte heap block of the _thr variants, kept for the process
    char upd_inf[9658];  // update information as received
  } svr_inf;
  // -- transport: socket layer and HTTP tunnel --
  std::uint8_t ua_c;  // attempt tag: the C field of the User-Agent line (ua_l/ua_p/ua_r below)
  // -- session: logon data and server information --
  std::int16_t ua_l;  // session number from the last full logon (User-Agent L field)
  std::int32_t ua_p;  // request counter with retries (User-Agent P field)
  std::int32_t ua_r;  // request counter (User-Agent R field)
};

// ---- zrconn: connection settings ---------------------------------------------------------

constexpr int kHostMax = 5;

struct ZRCONN {
  char term_nm[21];
  std::uint8_t vup_use;
  char exe_dir[260];
  char exe_dir2[260];
  char host_nm[kHostMax][31];
  char obj_nm[31];
  char cur_host[31];
  char cur_obj[31];
  char pxy_host[64];
  std::uint8_t http_use;
  std::uint16_t pxy_port;
  std::uint8_t vup_sno;
  std::uint8_t zrhttp_use;
  std::uint8_t socks_use;
  std::uint8_t pxy_keep;
  std::uint8_t os_proxy;  // set by the OS proxy discovery
  std::uint8_t vup_mode;
  char srv_txt[256];
  std::int16_t host_cnt;
  std::int16_t host_idx;
  std::int16_t user_ok;
  std::uint8_t sdi_stop;
  std::int32_t kind_idx;
  std::uint8_t launch_mode;
};

// ---- zrsdi: SDI settings and state (filled by the SDI store and the checker) -------------

constexpr int kSdiRsltMax = 1000;  // requests of one loaded result
constexpr int kSdiCalMax = 240;    // issue dates of the parsed calendar
constexpr int kSdiKindMax = 20;    // kind codes of the user master
constexpr int kSdiPdlvMax = 8;     // delivery windows per cycle

// One search request of the loaded result.
struct ZR_SDI_RSLT {
  std::int32_t rslt_no;  // result number on the server (selects the result page)
  char exp_nm[69];       // the request's name or search expression
  std::int32_t inq_cnt;  // number of hits
  std::uint8_t vwd_fg;   // 1 once the user has looked at it
};

// A delivery window: the first and last issue date inside it, 0 when none.
struct ZR_SDI_PDLV {
  std::int32_t pd_f;
  std::int32_t pd_t;
};

struct ZRSDI {
  // settings (DLV\CONFIG.INI)
  std::uint8_t dlv_type;     // 0 every issue, 1 weekly, 2 half-monthly, 3 monthly
  char check_time[9];        // HH:MM:SS
  std::int16_t disp_cycle;   // 0-4
  std::int32_t disp_period;  // seconds of disp_cycle
  std::uint8_t auto_start;
  std::uint8_t zero_disp;
  std::uint8_t disp_first;
  // result counters (DLV\RESULT\LIST_NO.FIL)
  std::int32_t list_no_f;
  std::int32_t list_no_t;
  std::int32_t list_no_cnt;
  // the loaded result
  ZR_SDI_RSLT rslt[kSdiRsltMax];
  std::int32_t rslt_cnt;
  char sdi_date[11];
  char sdi_time[9];
  char inq_date_f[11];
  char inq_date_t[12];
  // the issue calendar parsed from DLV\UPDATE_TM
  std::int32_t upd_cnt;
  std::int32_t upd_pd[kSdiCalMax];
  // the user master (message 118)
  std::int32_t mst_val;
  std::uint8_t mst_flg;
  std::int16_t kind_cd[kSdiKindMax];
  std::int16_t kind_cnt;
  // checker state
  std::uint8_t checker_status;  // 0 waiting, 1 checking, 9 stop arrived while checking
  std::uint8_t checking;
  std::uint8_t new_state;  // 0 nothing, 1 new result not shown, 2 dialog opened for it
  std::uint8_t config_changing;
  std::int32_t last_check_day;
  void* open_dialog;
  void* main_wnd;
  std::int32_t qrt100_svr_last_pd;
  ZR_SDI_PDLV pdlv_week[kSdiPdlvMax];
  ZR_SDI_PDLV pdlv_half[kSdiPdlvMax];
  ZR_SDI_PDLV pdlv_month[kSdiPdlvMax];
  // -- checker program: tray window, schedule and new-arrivals dialog --
  void* tray_rec;                   // the notification-area record while the icon exists
  std::uint8_t disp_size[50 * 17];  // window sizes of DISPSIZE.FIL: 50 entries of 17 bytes
  std::uint32_t u_color_ref;        // colour stored by u_color (COLORREF)
  std::int32_t u_color_val;         // value stored with it
  // -- checker program: SDI cycle --
  std::int32_t sdi_last_pdt;  // last issue date covered by an earlier run (LAST_PD.FIL)
};

// ---- zrcnst: constants tables ---------------------------------------------------------

#include "naming/code_tables.h"

// The global pointers, valid from _zrcmna_make to _zrcmna_kill.
extern ZRENV* zrenv;
extern ZRFILE* zrfile;
extern ZRWORK* zrwork;
extern ZR00* zr00;
extern ZR01* zr01;
extern ZRCONN* zrconn;
extern ZRSDI* zrsdi;
// zrcnst: naming/code_tables.h

// Which program builds the areas: qrt100 puts its construction defaults in.
enum ZR_PROGRAM { ZR_PRG_QRT000 = 0, ZR_PRG_QRT100 = 1 };

// Selects the program whose construction order and defaults _zrcmna_make
// follows; each program calls it once before _zrcmna_make.
void zr_program_set(ZR_PROGRAM prg);
ZR_PROGRAM zr_program();

// Whether a message record is one of the two built into zrwork (never freed)
// rather than a heap block that replaced it.
bool zr_msg_builtin(const PHMSG* msg);
// The data of a message record addressed through its block: a heap block that
// replaced a built-in record holds more bytes than the array type of data says,
// so a byte beyond that array is reached through this pointer, never by
// indexing data itself.
inline char* zr_msg_data(PHMSG* msg) { return reinterpret_cast<char*>(msg) + sizeof(PHMSG_HDR); }

ZR_API void _zrcmna_make();
ZR_API void _zrcmna_kill();
ZR_API ZRCNST* _zrcnst_make();
ZR_API void _zrcnst_kill();
