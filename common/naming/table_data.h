// The static code tables behind the constants record (internal to this folder).
// Each ends with its row of code -1, except the gazette table.
#pragma once

#include "naming/code_tables.h"

extern const ZR_INQKEY* const zr_inqkey_tbl;
extern const ZR_MIDINF zr_midinf_tbl[kMidInfRows + 1];
extern const ZR_CTCD zr_ctcd_tbl[kCtcdRows + 1];
extern const ZR_KD2INF zr_kd2inf_tbl[kKd2InfRows + 1];
extern const ZR_KD7INF zr_kd7inf_tbl[kKd7InfRows];
extern const ZR_KD00INF zr_kd00inf_tbl[];
extern const ZR_PUBCLS zr_pubcls_tbl[];
extern const ZR_KD1INF zr_kd1inf_tbl[];
extern const ZR_AULBL zr_aulbl_tbl[];
extern const ZR_KD3INF zr_kd3inf_tbl[];
extern const ZR_RGTKD zr_rgtkd_tbl[];
extern const ZR_PRNINF zr_prninf_tbl[kPrnInfRows + 1];
extern const ZR_DLKD zr_dlkd_tbl[];
extern const ZR_ENOKEY zr_enokey_tbl[kEnoKeyRows + 1];
extern const ZR_WATCH* const zr_prj_wat_tbl;
extern const ZR_WATCH* const zr_srm_wat_tbl;

extern const ZR_CASE_TBL zr_case_low_upr;
extern const ZR_CASE_TBL zr_case_upr_low;
extern const char zr_legal_forms1[kLegalForms1][21];
extern const char zr_legal_forms2[kLegalForms2][30];
