// The data-file names of the product family: one operation per data file. Each
// composes its file's full path from a base folder of the common areas, a fixed
// pattern, its arguments and a few code values (kd_1 to kd_4, hist_kd and
// kd_sub of zrwork, sys_kd of zr00, env_no of zrenv), writes it into fnm_work
// of zr01 and returns fnm_work. None of them touches the file system except
// _fnmset_ipar, which reads the current directory.
//
// The bases: I and I2 the install folder (inst_dir, inst_dir2), E the export
// folder (exp_dir), W the work folder (wrk_dir), D and D2 the document-data
// folders (doc_dir, doc_dir2), S the server work folder (svr_work of zr00).
//
// A path that would not fit fnm_work (511 bytes) is not written cut short:
// fnm_work is left empty and a trace line names the path, so that an open of it
// fails instead of reaching another file. Where an operation has no name for a
// code, fnm_work is left as it was, except for _fnmset_kwd_wk, which empties it.
#pragma once

#include <cstdint>

#include "runtime/areas.h"

// "i" is a row index of the data-kind table (its folder names the kind's data);
// "kind" is a kind code; "n" and "m" are numbers of the patterns.

ZR_API char* _fnmset_abs();
ZR_API char* _fnmset_qrt_hist_ctl();
ZR_API char* _fnmset_qrt_hist_dat(std::int32_t n);
ZR_API char* _fnmset_qrt_hist_dno(std::int32_t n);
ZR_API char* _fnmset_cit_map();
ZR_API char* _fnmset_client_ini();
ZR_API char* _fnmset_cmd_list();
ZR_API char* _fnmset_connect_ini();
ZR_API char* _fnmset_cpy();
ZR_API char* _fnmset_ctl(std::int16_t i);
ZR_API char* _fnmset_ctl_kwd(std::int16_t i);
ZR_API char* _fnmset_ctl_ulog(std::int16_t i);
ZR_API char* _fnmset_ctt(std::int16_t i);
ZR_API char* _fnmset_ctt_ci(std::int32_t n);
ZR_API char* _fnmset_ctti(std::int16_t i);
ZR_API char* _fnmset_dbgdata(const char* prg);
ZR_API char* _fnmset_dialog_config();
ZR_API char* _fnmset_disp();
ZR_API char* _fnmset_dno_inq(std::int16_t n);
ZR_API char* _fnmset_dnoidx(std::int16_t i);
// The document's file below its kind folder, in the folders of its number.
ZR_API char* _fnmset_doc(std::int16_t i, std::int32_t doc_no, const char* ext);
ZR_API char* _fnmset_doc2(std::int16_t i, std::int32_t n, std::int32_t m);
ZR_API char* _fnmset_dwncsv2_log();
ZR_API char* _fnmset_dwncsv_log();
ZR_API char* _fnmset_dwndno_log();
ZR_API char* _fnmset_dwnl();
ZR_API char* _fnmset_dwnl_csv2_old();
ZR_API char* _fnmset_dwnl_csv2_prm();
ZR_API char* _fnmset_dwnl_link();
ZR_API char* _fnmset_dwnl_old();
ZR_API char* _fnmset_dwnl_sdi(const char* text);
ZR_API char* _fnmset_dwnl_tmp_svr();
ZR_API char* _fnmset_dwnl_txt();
ZR_API char* _fnmset_dwnl_ul();
ZR_API char* _fnmset_dwnl_xls();
ZR_API char* _fnmset_dwnlnk_log();
ZR_API char* _fnmset_dwnref_log();
ZR_API char* _fnmset_dwnsdi_log();
ZR_API char* _fnmset_dwntxt_log();
ZR_API char* _fnmset_dwnxls_log();
ZR_API char* _fnmset_dwnxlsx_log();
ZR_API char* _fnmset_exp_log();
ZR_API char* _fnmset_expc();
ZR_API char* _fnmset_expd();
ZR_API char* _fnmset_expsave();
ZR_API char* _fnmset_flt(std::int32_t n);
ZR_API char* _fnmset_font(const char* ext);
ZR_API char* _fnmset_form_config();
ZR_API char* _fnmset_formset();
ZR_API char* _fnmset_freetype_bmp(std::int16_t flag, const char* text);
ZR_API char* _fnmset_gai();
ZR_API char* _fnmset_guid(const char* name);
ZR_API char* _fnmset_guid_ctl(const char* name, std::uint8_t type);
ZR_API char* _fnmset_guid_dat(const char* name, std::uint8_t type);
ZR_API char* _fnmset_gxti_expc();
ZR_API char* _fnmset_gxti_expd();
ZR_API char* _fnmset_hkw(const char* name);
ZR_API char* _fnmset_hkw_log();
ZR_API char* _fnmset_hlt(std::int32_t n);
ZR_API char* _fnmset_hlt_ini(std::int16_t kind);
ZR_API char* _fnmset_hlt_ini_o(std::int16_t kind);
ZR_API char* _fnmset_hlt_rslt();
ZR_API char* _fnmset_hlt_thm(std::int16_t kind);
ZR_API char* _fnmset_hst_ctl(std::uint8_t cmd);
ZR_API char* _fnmset_hst_dno(std::int32_t n);
ZR_API char* _fnmset_hst_para(std::uint8_t cmd, std::int32_t n);
ZR_API char* _fnmset_imgtmpt(const char* text);
ZR_API char* _fnmset_inq(std::int32_t n, std::int16_t m);
ZR_API char* _fnmset_inqed(std::int32_t n);
ZR_API char* _fnmset_inqed_bmap(std::int32_t n);
ZR_API char* _fnmset_inqed_rslt(std::int32_t n);
ZR_API char* _fnmset_ipar();
ZR_API char* _fnmset_ix(std::int16_t i);
ZR_API char* _fnmset_ix_kwd(std::int16_t i);
ZR_API char* _fnmset_ix_ulog(std::int16_t i);
ZR_API char* _fnmset_zr0100();
ZR_API char* _fnmset_zw0200();
ZR_API char* _fnmset_kd2tbl();
ZR_API char* _fnmset_key_config();
ZR_API char* _fnmset_kwd(std::int16_t i);
ZR_API char* _fnmset_kwd_dic();
ZR_API char* _fnmset_kwd_dic2(std::int16_t kind, const char* ext);
ZR_API char* _fnmset_kwd_inprec(std::int16_t value);
ZR_API char* _fnmset_kwd_ref();
// The key is a text; the kinds that name their files by number read it as a
// decimal number.
ZR_API char* _fnmset_kwd_wk(std::int16_t m, const char* key);
ZR_API char* _fnmset_kwdcsv_evt();
ZR_API char* _fnmset_kwdcsv_log(std::int16_t value);
ZR_API char* _fnmset_kwdcsv_rslt();
ZR_API char* _fnmset_kwdcsv_upd();
ZR_API char* _fnmset_kwdcsv_wk();
ZR_API char* _fnmset_kwdlock_cli();
ZR_API char* _fnmset_kwdlock_svr();
ZR_API char* _fnmset_kwdttl();
ZR_API char* _fnmset_kwdttl_wk_svr(const char* prg);
ZR_API char* _fnmset_kwdwk_svr(std::int16_t i, std::int32_t n, const char* prg);
ZR_API char* _fnmset_kwdwkidx_svr(const char* prg);
ZR_API char* _fnmset_layout_free(std::int16_t flag);
ZR_API char* _fnmset_logdata(const char* prg);
ZR_API char* _fnmset_memo(std::int16_t i, std::int32_t n, std::int32_t m);
ZR_API char* _fnmset_memo_ctl();
ZR_API char* _fnmset_para_rslt();
ZR_API char* _fnmset_pre_rslt();
ZR_API char* _fnmset_sdi_kwd();
ZR_API char* _fnmset_sdigrp(std::int16_t value);
ZR_API char* _fnmset_sdilst();
ZR_API char* _fnmset_sdittl(std::int16_t value);
ZR_API char* _fnmset_server_ini();
ZR_API char* _fnmset_src_base();
// The inquiry file below the kind folder and the inquiry key's abbreviation.
ZR_API char* _fnmset_utx(std::int16_t i, std::int16_t inq_code, std::int16_t type, std::int32_t n);
ZR_API char* _fnmset_vtx2();
ZR_API char* _fnmsetx_formset();
