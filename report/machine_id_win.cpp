#include "report/machine_id_win.h"

#include <windows.h>
// These headers build on windows.h.
#include <intrin.h>
#include <nb30.h>
#include <winioctl.h>

#include <cpuid.h>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "base/install_log.h"
#include "base/text.h"
#include "report/http_get_win.h"
#include "report/machine_id.h"
#include "session/session_settings.h"
#include "system/registry_win.h"
#include "system/system_library_win.h"
#include "system/win_handle_win.h"
#include "vendor/base_module_win.h"

namespace lum {
namespace {

constexpr const char* kLog = "report";
constexpr int kDevices = 16;
constexpr DWORD kSmartGetVersion = 0x74080;
constexpr DWORD kSmartReceiveDriveData = 0x7C088;
constexpr DWORD kScsiMiniport = 0x4D008;
constexpr DWORD kScsiMiniportIdentify = 0x1B0501;
constexpr DWORD kStorageQueryProperty = 0x2D1400;
constexpr DWORD kNdisQueryGlobalStats = 0x170002;
constexpr DWORD kOidPermanentAddress = 0x01010101;
constexpr BYTE kIdentifyDevice = 0xEC;
constexpr BYTE kIdentifyPacketDevice = 0xA1;
constexpr size_t kIdentifySize = 512;

#pragma pack(push, 1)
struct IdeRegisters {
  BYTE features, sectorCount, sectorNumber, cylinderLow, cylinderHigh, driveHead, command, reserved;
};
struct SendCommandIn {  // SENDCMDINPARAMS without its one-byte buffer
  DWORD bufferSize;
  IdeRegisters registers;
  BYTE driveNumber;
  BYTE reserved[3];
  DWORD reserved2[4];
};
struct SendCommandOutHeader {  // SENDCMDOUTPARAMS without its buffer
  DWORD bufferSize;
  BYTE driverError, ideError, reserved[2];
  DWORD reserved2[2];
};
struct SmartVersion {  // GETVERSIONINPARAMS
  BYTE version, revision, reserved, ideDeviceMap;
  DWORD capabilities;
  DWORD reserved2[4];
};
struct SrbIoControl {
  ULONG headerLength;
  UCHAR signature[8];
  ULONG timeout;
  ULONG controlCode;
  ULONG returnCode;
  ULONG length;
};
#pragma pack(pop)
static_assert(sizeof(SendCommandIn) == 32, "SENDCMDINPARAMS layout");
static_assert(sizeof(SendCommandOutHeader) == 16, "SENDCMDOUTPARAMS layout");
static_assert(sizeof(SrbIoControl) == 28, "SRB_IO_CONTROL layout");

UniqueFileHandle OpenDevice(const std::wstring& name, DWORD access, DWORD share) {
  return UniqueFileHandle(
      ::CreateFileW(name.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr));
}

std::wstring DriveName(int n) { return L"\\\\.\\PhysicalDrive" + std::to_wstring(n); }

// Identify data through SMART; `command` 0 picks IDENTIFY or IDENTIFY PACKET
// from the version's device map.
std::string SmartSerial(HANDLE drive, int n, bool choosePacket) {
  SmartVersion version = {};
  DWORD returned = 0;
  if (!::DeviceIoControl(drive, kSmartGetVersion, nullptr, 0, &version, sizeof(version), &returned,
                         nullptr) ||
      version.ideDeviceMap == 0)
    return std::string();
  const bool packet = choosePacket && ((version.ideDeviceMap >> n) & 0x10) != 0;
  SendCommandIn in = {};
  in.bufferSize = kIdentifySize;
  in.registers.sectorCount = 1;
  in.registers.sectorNumber = 1;
  in.registers.driveHead = static_cast<BYTE>(0xA0 | ((n & 1) << 4));
  in.registers.command = packet ? kIdentifyPacketDevice : kIdentifyDevice;
  in.driveNumber = static_cast<BYTE>(n);
  std::vector<BYTE> out(sizeof(SendCommandOutHeader) + kIdentifySize);
  if (!::DeviceIoControl(drive, kSmartReceiveDriveData, &in, sizeof(in), out.data(),
                         static_cast<DWORD>(out.size()), &returned, nullptr) ||
      returned < out.size())
    return std::string();
  return SerialFromIdentify(out.data() + sizeof(SendCommandOutHeader));
}

std::string SerialBySmart(DWORD share, bool choosePacket) {
  for (int n = 0; n < kDevices; ++n) {
    UniqueFileHandle drive = OpenDevice(DriveName(n), GENERIC_READ | GENERIC_WRITE, share);
    if (!drive) continue;
    const std::string serial = SmartSerial(drive.Get(), n, choosePacket);
    if (!serial.empty()) return serial;
  }
  return std::string();
}

std::string SerialByScsiMiniport() {
  for (int port = 0; port < kDevices; ++port) {
    UniqueFileHandle adapter = OpenDevice(L"\\\\.\\Scsi" + std::to_wstring(port) + L":",
                                          GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!adapter) continue;
    for (int target = 0; target < 2; ++target) {
      std::vector<BYTE> buffer(sizeof(SrbIoControl) + sizeof(SendCommandOutHeader) + kIdentifySize +
                               1);
      auto* srb = reinterpret_cast<SrbIoControl*>(buffer.data());
      srb->headerLength = sizeof(SrbIoControl);
      memcpy(srb->signature, "SCSIDISK", 8);
      srb->timeout = 10000;
      srb->controlCode = kScsiMiniportIdentify;
      srb->length = sizeof(SendCommandOutHeader) + 1 + kIdentifySize;  // 529
      auto* in = reinterpret_cast<SendCommandIn*>(buffer.data() + sizeof(SrbIoControl));
      in->registers.command = kIdentifyDevice;
      in->driveNumber = static_cast<BYTE>(target);
      DWORD returned = 0;
      if (!::DeviceIoControl(adapter.Get(), kScsiMiniport, buffer.data(),
                             static_cast<DWORD>(sizeof(SrbIoControl) + sizeof(SendCommandIn) + 1),
                             buffer.data(), static_cast<DWORD>(buffer.size()), &returned, nullptr) ||
          returned < sizeof(SrbIoControl) + sizeof(SendCommandOutHeader) + kIdentifySize)
        continue;
      const std::string serial =
          SerialFromIdentify(buffer.data() + sizeof(SrbIoControl) + sizeof(SendCommandOutHeader));
      if (!serial.empty()) return serial;
    }
  }
  return std::string();
}

std::string SerialByStorageProperty() {
  for (int n = 0; n < kDevices; ++n) {
    UniqueFileHandle drive = OpenDevice(DriveName(n), 0, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!drive) continue;
    STORAGE_PROPERTY_QUERY query = {};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    std::vector<BYTE> out(10000);
    DWORD returned = 0;
    if (!::DeviceIoControl(drive.Get(), kStorageQueryProperty, &query, sizeof(query), out.data(),
                           static_cast<DWORD>(out.size()), &returned, nullptr) ||
        returned < sizeof(STORAGE_DEVICE_DESCRIPTOR))
      continue;
    const auto* descriptor = reinterpret_cast<const STORAGE_DEVICE_DESCRIPTOR*>(out.data());
    const DWORD offset = descriptor->SerialNumberOffset;
    if (offset == 0 || offset >= returned) continue;
    std::string serial(reinterpret_cast<const char*>(out.data() + offset),
                       strnlen(reinterpret_cast<const char*>(out.data() + offset), returned - offset));
    while (!serial.empty() && serial.back() == ' ') serial.pop_back();
    if (!serial.empty()) return serial;
  }
  return std::string();
}

std::string DiskPart() {
  std::string serial = SerialBySmart(FILE_SHARE_READ | FILE_SHARE_WRITE, true);
  if (serial.empty()) serial = SerialByScsiMiniport();
  if (serial.empty()) serial = SerialByStorageProperty();
  if (serial.empty())
    serial = SerialBySmart(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, false);
  return serial;
}

std::string AddressByNdis() {
  RegKey cards;
  if (!cards.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards",
                  KEY_READ))
    return std::string();
  std::string smallest;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD length = 256;
    if (::RegEnumKeyExW(cards.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    RegKey card;
    std::wstring service;
    if (!card.Open(cards.Get(), name, KEY_QUERY_VALUE) || !card.ReadString(L"ServiceName", &service))
      continue;
    UniqueFileHandle device = OpenDevice(L"\\\\.\\" + service, 0, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!device) continue;
    DWORD oid = kOidPermanentAddress;
    BYTE address[6] = {};
    DWORD returned = 0;
    if (!::DeviceIoControl(device.Get(), kNdisQueryGlobalStats, &oid, sizeof(oid), address,
                           sizeof(address), &returned, nullptr) ||
        returned < sizeof(address))
      continue;
    const std::string text = MacText(address);
    if (smallest.empty() || ::lstrcmpA(text.c_str(), smallest.c_str()) < 0) smallest = text;
  }
  return smallest;
}

std::string AddressByNetbios() {
  using NetbiosCall = UCHAR(WINAPI*)(PNCB);
  static UniqueModule netapi;
  static NetbiosCall call = nullptr;
  static std::once_flag once;
  std::call_once(once, [] {
    netapi.Reset(LoadSystemLibrary(L"Netapi32.dll"));
    if (netapi)
      call = reinterpret_cast<NetbiosCall>(
          reinterpret_cast<void*>(::GetProcAddress(netapi.Get(), "Netbios")));
  });
  if (!call) return std::string();
  LANA_ENUM lanas = {};
  NCB ncb = {};
  ncb.ncb_command = NCBENUM;
  ncb.ncb_buffer = reinterpret_cast<PUCHAR>(&lanas);
  ncb.ncb_length = sizeof(lanas);
  if (call(&ncb) != NRC_GOODRET || lanas.length == 0) return std::string();
  ncb = NCB{};
  ncb.ncb_command = NCBRESET;
  ncb.ncb_lana_num = lanas.lana[0];
  if (call(&ncb) != NRC_GOODRET) return std::string();
  BYTE status[600] = {};
  ncb = NCB{};
  ncb.ncb_command = NCBASTAT;
  ncb.ncb_lana_num = lanas.lana[0];
  memset(ncb.ncb_callname, ' ', NCBNAMSZ);
  ncb.ncb_callname[0] = '*';
  ncb.ncb_buffer = status;
  ncb.ncb_length = sizeof(status);
  if (call(&ncb) != NRC_GOODRET) return std::string();
  return MacText(status);
}

std::string NetworkPart() {
  const std::string address = AddressByNdis();
  return address.empty() ? AddressByNetbios() : address;
}

std::string ReadStoredMid(bool* exists) {
  RegKey key;
  std::wstring value;
  *exists = key.Open(HKEY_LOCAL_MACHINE, kMidKey, KEY_QUERY_VALUE) && key.ReadString(L"mid", &value);
  if (value.size() > 512) value.resize(512);  // at most 1024 bytes are read
  return WideToUtf8(value);
}

}  // namespace

std::string ProcessorPartOnce() {
  static std::mutex lock;
  static std::string part;
  std::lock_guard<std::mutex> hold(lock);
  if (part.empty()) {
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    __get_cpuid(0, &eax, &ebx, &ecx, &edx);
    const unsigned int vendorEbx = ebx, vendorEdx = edx, vendorEcx = ecx;
    eax = ebx = ecx = edx = 0;
    __get_cpuid(1, &eax, &ebx, &ecx, &edx);
    part = ProcessorPart(vendorEbx, vendorEdx, vendorEcx, edx);
  }
  return part;
}

std::string HardwareDescription() {
  std::string description = ProcessorPartOnce() + DiskPart() + NetworkPart();
  if (description.size() > 4095) description.resize(4095);
  return description;
}

// The disk and network queries go to drivers, and a driver may never
// answer; whoever needs the identifier first (a report thread, the install
// worker writing a record) would wait with it, and every later caller too.
// So the queries run on a thread of their own under one bound; a late
// thread is left to end on its own, and the identifier is then made from no
// hardware part and not stored.
constexpr unsigned kHardwareQueryWaitMs = 5000;

std::string BoundedHardwareDescription() {
  struct Answer {
    std::string description;
    std::atomic<bool> done{false};
  };
  auto answer = std::make_shared<Answer>();
  const bool started = RunBounded(
      [answer] {
        answer->description = HardwareDescription();
        answer->done.store(true, std::memory_order_release);
      },
      kHardwareQueryWaitMs, L"hardware queries of the machine identifier");
  if (!started) return HardwareDescription();
  return answer->done.load(std::memory_order_acquire) ? answer->description : std::string();
}

std::string ComputeMid() {
  bool exists = false;
  const std::string stored = ReadStoredMid(&exists);
  std::string mid;
  if (exists && AcceptStoredMid(stored, &mid)) return mid;
  const std::string description = BoundedHardwareDescription();
  mid = MidFromDescription(description);
  if (description.empty()) {
    log::Note(kLog, L"no hardware part readable: machine identifier not stored");
    return mid;
  }
  const std::wstring value = Utf8ToWide(StoredMidValue(mid));
  RegKey key;
  if (!key.Create(HKEY_LOCAL_MACHINE, kMidKey, KEY_QUERY_VALUE | KEY_SET_VALUE)) {
    log::Action(kLog, L"store machine identifier", kMidKey, key.LastError());
    return mid;
  }
  if (exists && Utf8ToWide(stored) != value) {
    const bool moved = key.WriteString(L"mid_old", Utf8ToWide(stored));
    log::Action(kLog, L"keep the earlier machine identifier as mid_old", kMidKey,
                moved ? 0 : key.LastError());
  }
  const bool written = key.WriteString(L"mid", value);
  log::Action(kLog, L"store machine identifier", kMidKey, written ? 0 : key.LastError());
  return mid;
}

namespace {

// Never destroyed: report threads that outlive the run still read it.
const std::string& CachedMid() {
  static std::once_flag once;
  static const std::string* mid = nullptr;
  std::call_once(once, [] { mid = new std::string(ComputeMid()); });
  return *mid;
}

}  // namespace

void GetMid(char* buffer, size_t size) {
  if (!buffer || size < 32) return;
  const std::string& mid = CachedMid();
  memcpy(buffer, mid.data(), 32);
  if (size > 32) buffer[32] = '\0';
}

bool GetMid(wchar_t* buffer, size_t size) {
  if (!buffer || size == 0) return false;
  const std::wstring mid = Utf8ToWide(CachedMid());
  const size_t count = mid.size() < size - 1 ? mid.size() : size - 1;
  mid.copy(buffer, count);
  buffer[count] = L'\0';
  return true;
}

std::wstring MidText() { return Utf8ToWide(CachedMid()); }

std::wstring GetMachineIdentity() {
  static std::once_flag once;
  static const std::wstring* identity = nullptr;
  std::call_once(once, [] { identity = new std::wstring(MidText() + BaseIdentityText()); });
  return *identity;
}

std::wstring GetProfileIdentity() {
  const std::wstring first = Session().clientId;
  std::wstring second;
  RegKey profile;
  const bool opened =
      profile.Open(HKEY_CURRENT_USER, L"software\\LumBastion\\UserProfile", KEY_QUERY_VALUE);
  if (opened) profile.ReadString(L"ClientUid", &second);
  if (!opened || (first.empty() && second.empty())) return GetMachineIdentity();
  BYTE data[1040] = {};
  DWORD size = sizeof(data);
  DWORD type = 0;
  if (::RegQueryValueExW(profile.Get(), L"Param", nullptr, &type, data, &size) != ERROR_SUCCESS)
    return GetMachineIdentity();
  const std::string record =
      UnscrambleProfileRecord(std::string(reinterpret_cast<char*>(data), size), "Param");
  std::wstring identity;
  if (ProfileIdentityFromRecord(record, first, second, &identity)) return identity;
  return GetMachineIdentity();
}

}  // namespace lum
