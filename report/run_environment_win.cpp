#include "report/run_environment_win.h"

#include <windows.h>
// These headers build on windows.h.
#include <tlhelp32.h>
#include <wincrypt.h>

#include <cpuid.h>
#include <ctime>
#include <vector>

#include "base/system_dll_win.h"
#include "system/file_ops_win.h"
#include "system/win_handle_win.h"

namespace lum {
namespace {

bool HypervisorPresent() {
  unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  return (ecx >> 31) & 1;
}

DWORD ParentProcessId() {
  UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return 0;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  const DWORD self = ::GetCurrentProcessId();
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
       more = ::Process32NextW(snapshot.Get(), &entry)) {
    if (entry.th32ProcessID == self) return entry.th32ParentProcessID;
  }
  return 0;
}

std::wstring ProcessImagePath(DWORD pid) {
  UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  if (!process) return std::wstring();
  wchar_t path[MAX_PATH * 2] = {};
  DWORD size = MAX_PATH * 2;
  if (!::QueryFullProcessImageNameW(process.Get(), 0, path, &size)) return std::wstring();
  return std::wstring(path, size);
}

struct WindowSearch {
  DWORD pid;
  bool found;
};

BOOL CALLBACK FindOwnedWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<WindowSearch*>(parameter);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner == search->pid) {
    search->found = true;
    return FALSE;
  }
  return TRUE;
}

// The certificate library, loaded from the system folder when first needed.
struct CertApi {
  decltype(&::CryptQueryObject) queryObject = nullptr;
  decltype(&::CryptMsgGetParam) msgGetParam = nullptr;
  decltype(&::CryptMsgClose) msgClose = nullptr;
  decltype(&::CertFindCertificateInStore) findCertificate = nullptr;
  decltype(&::CertGetNameStringW) getName = nullptr;
  decltype(&::CertFreeCertificateContext) freeContext = nullptr;
  decltype(&::CertCloseStore) closeStore = nullptr;
  bool Ready() const {
    return queryObject && msgGetParam && msgClose && findCertificate && getName && freeContext &&
           closeStore;
  }
};

const CertApi& Cert() {
  static const CertApi api = [] {
    CertApi a;
    const wchar_t* dll = L"crypt32.dll";
    a.queryObject = SystemExport<decltype(a.queryObject)>(dll, "CryptQueryObject");
    a.msgGetParam = SystemExport<decltype(a.msgGetParam)>(dll, "CryptMsgGetParam");
    a.msgClose = SystemExport<decltype(a.msgClose)>(dll, "CryptMsgClose");
    a.findCertificate =
        SystemExport<decltype(a.findCertificate)>(dll, "CertFindCertificateInStore");
    a.getName = SystemExport<decltype(a.getName)>(dll, "CertGetNameStringW");
    a.freeContext = SystemExport<decltype(a.freeContext)>(dll, "CertFreeCertificateContext");
    a.closeStore = SystemExport<decltype(a.closeStore)>(dll, "CertCloseStore");
    return a;
  }();
  return api;
}

struct CertStoreTraits {
  using Handle = HCERTSTORE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { Cert().closeStore(h, 0); }
};
struct CryptMsgTraits {
  using Handle = HCRYPTMSG;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { Cert().msgClose(h); }
};
struct CertContextTraits {
  using Handle = PCCERT_CONTEXT;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { Cert().freeContext(h); }
};

}  // namespace

std::wstring FileSignerName(const std::wstring& path) {
  HCERTSTORE rawStore = nullptr;
  HCRYPTMSG rawMessage = nullptr;
  DWORD encoding = 0, content = 0, format = 0;
  const CertApi& cert = Cert();
  if (!cert.Ready()) return std::wstring();
  if (!cert.queryObject(CERT_QUERY_OBJECT_FILE, path.c_str(),
                        CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED, CERT_QUERY_FORMAT_FLAG_BINARY,
                        0, &encoding, &content, &format, &rawStore, &rawMessage, nullptr))
    return std::wstring();
  UniqueWinHandle<CertStoreTraits> store(rawStore);
  UniqueWinHandle<CryptMsgTraits> message(rawMessage);
  DWORD size = 0;
  if (!cert.msgGetParam(message.Get(), CMSG_SIGNER_INFO_PARAM, 0, nullptr, &size) || size == 0)
    return std::wstring();
  std::vector<BYTE> signerBytes(size);
  if (!cert.msgGetParam(message.Get(), CMSG_SIGNER_INFO_PARAM, 0, signerBytes.data(), &size))
    return std::wstring();
  const auto* signer = reinterpret_cast<const CMSG_SIGNER_INFO*>(signerBytes.data());
  CERT_INFO wanted = {};
  wanted.Issuer = signer->Issuer;
  wanted.SerialNumber = signer->SerialNumber;
  UniqueWinHandle<CertContextTraits> certificate(
      cert.findCertificate(store.Get(), encoding, 0, CERT_FIND_SUBJECT_CERT, &wanted, nullptr));
  if (!certificate) return std::wstring();
  wchar_t name[512] = {};
  const DWORD length =
      cert.getName(certificate.Get(), CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, 512);
  return length > 1 ? std::wstring(name) : std::wstring();
}

std::wstring FileCompanyName(const std::wstring& path) {
  return ReadVersionString(path, L"CompanyName");
}

EnvironmentFacts ReadEnvironmentFacts() {
  EnvironmentFacts facts;
  facts.virtualMachine = HypervisorPresent();
  facts.timestamp = static_cast<int64_t>(std::time(nullptr));
  const DWORD parent = ParentProcessId();
  const std::wstring path = parent != 0 ? ProcessImagePath(parent) : std::wstring();
  if (path.empty()) return facts;
  facts.parent = path;
  const std::wstring company = FileCompanyName(path);
  if (!company.empty()) facts.company = company;
  const std::wstring signer = FileSignerName(path);
  if (!signer.empty()) facts.signature = signer;
  WindowSearch search = {parent, false};
  ::EnumWindows(FindOwnedWindow, reinterpret_cast<LPARAM>(&search));
  facts.parentHasWindow = search.found;
  return facts;
}

}  // namespace lum
