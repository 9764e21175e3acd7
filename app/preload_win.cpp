// Loading the system libraries from the system folder before anything else
// runs, so that a DLL of the same name planted next to the installer (in a
// download folder) is never picked up by a later implicit load.
#include <windows.h>

#include "app/startup_win.h"
#include "base/install_log.h"
#include "base/system_dll_win.h"

namespace lum {

const std::vector<const wchar_t*>& PreloadLibraryNames() {
  static const std::vector<const wchar_t*> names = {L"api-ms-win-downlevel-shlwapi-l2-1-0.dll",
                                                    L"api-ms-win-downlevel-advapi32-l2-1-0.dll",
                                                    L"advapi32.dll",
                                                    L"lpk.dll",
                                                    L"usp10.dll",
                                                    L"profapi.dll",
                                                    L"userenv.dll",
                                                    L"authz.dll",
                                                    L"Secur32.dll",
                                                    L"nsi.dll",
                                                    L"WINNSI.DLL",
                                                    L"IPHLPAPI.DLL",
                                                    L"Cabinet.dll",
                                                    L"DEVRTL.dll",
                                                    L"ole32.dll",
                                                    L"WindowsCodecs.dll",
                                                    L"sfc_os.DLL",
                                                    L"ws2_32.dll",
                                                    L"rasman.dll",
                                                    L"RASAPI32.dll",
                                                    L"dhcpcsvc.DLL",
                                                    L"DNSAPI.dll",
                                                    L"rasadhlp.dll",
                                                    L"rtutils.dll",
                                                    L"dhcpcsvc6.dll",
                                                    L"CRYPTSP.dll",
                                                    L"RpcRtRemote.dll",
                                                    L"oleaut32.dll",
                                                    L"PROPSYS.dll",
                                                    L"Wldap32.dll",
                                                    L"ntmarta.dll",
                                                    L"VERSION.dll",
                                                    L"normaliz.dll",
                                                    L"iertutil.dll",
                                                    L"wininet.dll",
                                                    L"MPR.dll",
                                                    L"bcrypt.dll",
                                                    L"DWrite.dll",
                                                    L"pcacli.dll",
                                                    L"apphelp.dll",
                                                    L"MSIMG32.dll",
                                                    L"dbghelp.dll",
                                                    L"netutils.dll",
                                                    L"srvcli.dll",
                                                    L"wkscli.dll",
                                                    L"NETAPI32.dll",
                                                    L"dwmapi.dll",
                                                    L"winnlsres.dll",
                                                    L"sensapi.dll",
                                                    L"SspiCli.dll",
                                                    L"CRYPTBASE.dll",
                                                    L"peerdist.dll",
                                                    L"mlang.dll",
                                                    L"rsaenh.dll",
                                                    L"dssenh.dll",
                                                    L"atl.dll",
                                                    L"sppc.dll",
                                                    L"dpapi.dll",
                                                    L"ntasn1.dll",
                                                    L"winmmbase.dll",
                                                    L"samlib.dll",
                                                    L"msasn1.dll",
                                                    L"crypt32.dll",
                                                    L"schannel.dll",
                                                    L"tapi32.dll",
                                                    L"winmm.dll",
                                                    L"ws2help.dll",
                                                    L"wsock32.dll",
                                                    L"xpsp2res.dll",
                                                    L"bcryptprimitives.dll",
                                                    L"credssp.dll",
                                                    L"cryptnet.dll",
                                                    L"FWPUCLNT.DLL",
                                                    L"gpapi.dll",
                                                    L"uxtheme.dll",
                                                    L"ncrypt.dll",
                                                    L"mswsock.dll",
                                                    L"nlaapi.dll",
                                                    L"shell32.dll",
                                                    L"wintrust.dll",
                                                    L"wship6.dll",
                                                    L"WSHTCPIP.DLL",
                                                    L"psapi.dll",
                                                    L"webio.dll",
                                                    L"slc.dll",
                                                    L"winhttp.dll",
                                                    L"hnetcfg.dll"};
  return names;
}

int PreloadSystemLibraries(bool windows10) {
  if (SystemFolderPath(L"").empty()) {
    log::Note("startup", L"preload: system folder unknown, nothing preloaded");
    return 0;
  }
  // Kept loaded for the life of the process: that is the point of preloading.
  int loaded = 0;
  for (const wchar_t* name : PreloadLibraryNames())
    if (LoadSystemDll(name)) ++loaded;
  if (windows10 && LoadSystemDll(L"edputil.dll")) ++loaded;
  log::Action("startup", L"preload system libraries (" + std::to_wstring(loaded) + L" loaded)",
              SystemFolderPath(L""), 0);
  return loaded;
}

}  // namespace lum
