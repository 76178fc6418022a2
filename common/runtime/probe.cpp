// The platform probe: the operating-system code sent with the logon, and its name.
#include "runtime/zrcommon.h"

int zr_os_code(bool known, unsigned major, unsigned minor, unsigned build, bool workstation,
               bool nt_platform) {
  if (!known) return 0;
  if (major == 10) {
    if (workstation) return build < 22000 ? 11 : 12;
    if (build < 17763) return 31;
    return build < 20348 ? 32 : 33;
  }
  if (major == 6) {
    if (minor > 3) return 0;
    return static_cast<int>((workstation ? 7 : 27) + minor);
  }
  if (major == 5) {
    switch (minor) {
      case 0:
        return 6;
      case 1:
        return 5;
      case 2:
        return 26;
      default:
        return 0;
    }
  }
  if (major <= 4) {
    if (nt_platform) return 4;
    switch (minor) {
      case 0:
        return 1;
      case 10:
        return 2;
      case 90:
        return 3;
      default:
        return 0;
    }
  }
  return 0;
}

void _os_name_get(int code, char* out) {
  const char* name = "Illegal OS Version";
  switch (code) {
    case 1:
      name = "Windows 95";
      break;
    case 2:
      name = "Windows 98";
      break;
    case 3:
      name = "Windows ME";
      break;
    case 4:
      name = "Windows NT";
      break;
    case 5:
      name = "Windows XP";
      break;
    case 6:
      name = "Windows 2000";
      break;
    case 7:
      name = "Windows Vista";
      break;
    case 8:
      name = "Windows 7";
      break;
    case 9:
      name = "Windows 8";
      break;
    case 10:
      name = "Windows 8.1";
      break;
    case 11:
      name = "Windows 10";
      break;
    case 12:
      name = "Windows 11";
      break;
    case 26:
      name = "Windows Server 2003";
      break;
    case 27:
      name = "Windows Server 2008";
      break;
    case 28:
      name = "Windows Server 2008 R2";
      break;
    case 29:
      name = "Windows Server 2012";
      break;
    case 30:
      name = "Windows Server 2012 R2";
      break;
    case 31:
      name = "Windows Server 2016";
      break;
    case 32:
      name = "Windows Server 2019";
      break;
    case 33:
      name = "Windows Server 2022";
      break;
    default:
      break;
  }
  // Callers pass a buffer of at least 64 bytes.
  zr::copy(out, 64, name);
}
