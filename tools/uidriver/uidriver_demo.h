// Resource and control ids of uidriver_demo, shared by its code and resource script.
#pragma once

#define IDD_FORM 100

#define IDC_FORM_WHEN 2001
#define IDC_FORM_FIXED 2002
#define IDC_FORM_AUTO 2003
#define IDC_FORM_MANUAL 2004
#define IDC_FORM_ID 2005
#define IDC_FORM_PASSWORD 2006
