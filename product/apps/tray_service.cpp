// safemon\ZVTrayService.exe: the product's tray service, serving ZTrayService
// on the service pipe (named after the Windows drive's volume serial).
//
//   ZVTrayService.exe [/record:<file>]   serves until stopService; with
//                                        /record, appends one line per call
//   ZVTrayService.exe /peer:count|huge|silent [/record:<file>]
//       a hostile peer for the installer's tests, without the protocol: takes
//       one client on the service pipe and records how many bytes it sent;
//       "huge" answers the first request with a reply whose result announces
//       a string of 2 GB (and sends none of it); "silent" takes two clients
//       and never reads or answers a byte (it ends after 60 s)
//
// What it does for a client: accepts RegisterClient and calls the client back
// on its own pipe (TestValueClient(42), GetTrayData), starts the program of
// sendLaunchProcData2Srv (command 7) in this session, forwards SendMsg2Users
// to every top-level window of the named class (WM_COPYDATA carries the
// client's copy-data), and ends on stopService after answering it. Every
// other method answers the generated default (0, false or empty).
#include <windows.h>
#include <shellapi.h>

#include <ztray/ZTrayClient.h>
#include <ztray/ZTrayService.h>

#include <thrift/concurrency/ThreadFactory.h>
#include <thrift/concurrency/ThreadManager.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/server/TThreadPoolServer.h>
#include <thrift/transport/TBufferTransports.h>
#include <thrift/transport/TPipe.h>
#include <thrift/transport/TPipeServer.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <string>
#include <vector>

#include "base/text.h"
#include "tray/pipe_names.h"
#include "tray/volume_serial_win.h"

namespace {

using apache::thrift::TException;
using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::protocol::TBinaryProtocolFactory;
using apache::thrift::transport::TBufferedTransport;
using apache::thrift::transport::TPipe;

constexpr int32_t kLaunchCommand = 7;
constexpr int32_t kCallbackProbe = 42;
constexpr DWORD kForwardTimeoutMs = 5000;

std::mutex g_recordLock;
std::wstring g_recordPath;
HANDLE g_stop = nullptr;

void Record(const std::string& line) {
  std::lock_guard<std::mutex> hold(g_recordLock);
  if (g_recordPath.empty()) return;
  HANDLE file = CreateFileW(g_recordPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string text = line + "\r\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

// Calls a registered client back on its pipe, as the real service does to
// see that the client serves its side.
void ProbeClient(const std::string& pipe) {
  if (pipe.empty()) {
    Record("callback skipped: no client pipe");
    return;
  }
  try {
    auto transport = std::make_shared<TBufferedTransport>(std::make_shared<TPipe>(pipe));
    ztray::ZTrayClientClient client(std::make_shared<TBinaryProtocol>(transport));
    transport->open();
    const int32_t echoed = client.TestValueClient(kCallbackProbe, 0);
    std::string data = "unset";
    client.GetTrayData(data, "");
    Record("callback TestValueClient(42)=" + std::to_string(echoed) + " GetTrayData=[" + data + "]");
    transport->close();
  } catch (const TException& e) {
    Record(std::string("callback failed: ") + e.what());
  }
}

struct ForwardRequest {
  std::wstring className;
  std::wstring title;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  COPYDATASTRUCT copy;
  bool copyData;
  int delivered;
};

BOOL CALLBACK ForwardToWindow(HWND wnd, LPARAM param) {
  auto* request = reinterpret_cast<ForwardRequest*>(param);
  wchar_t name[256] = {};
  GetClassNameW(wnd, name, 255);
  if (request->className != name) return TRUE;
  if (!request->title.empty()) {
    wchar_t title[256] = {};
    GetWindowTextW(wnd, title, 255);
    if (request->title != title) return TRUE;
  }
  if (request->copyData) {
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutW(wnd, WM_COPYDATA, request->wParam,
                            reinterpret_cast<LPARAM>(&request->copy), SMTO_ABORTIFHUNG,
                            kForwardTimeoutMs, &answer))
      ++request->delivered;
  } else if (PostMessageW(wnd, request->message, request->wParam, request->lParam)) {
    ++request->delivered;
  }
  return TRUE;
}

class TrayService : public ztray::ZTrayServiceNull {
 public:
  void RegisterClient(ztray::ZRegResult& result, const std::string& pipe, int32_t pid,
                      int32_t portHandle, int32_t clientType) override {
    Record("RegisterClient pipe=" + pipe + " pid=" + std::to_string(pid) +
           " handle=" + std::to_string(portHandle) + " type=" + std::to_string(clientType));
    ProbeClient(pipe);
    result.bSuccess = true;
    result.iClientId = pid;
  }

  int32_t sendLaunchProcData2Srv(int32_t command, const ztray::ZLaunchProcCopyData& data) override {
    if (command != kLaunchCommand) return 0;
    std::wstring line = lum::Utf8ToWide(data.u8StrCmd);
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');
    const std::wstring file = lum::Utf8ToWide(data.u8StrFile);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    int32_t answer = 1;
    if (CreateProcessW(file.empty() ? nullptr : file.c_str(), buffer.data(), nullptr, nullptr,
                       FALSE, 0, nullptr, nullptr, &startup, &info)) {
      CloseHandle(info.hThread);
      CloseHandle(info.hProcess);
    } else {
      answer = static_cast<int32_t>(GetLastError());
    }
    Record("launch cmd=" + data.u8StrCmd + " integrity=" + std::to_string(data.Integrity_Level) +
           " pid=" + std::to_string(data.Pid) + " answer=" + std::to_string(answer));
    return answer;
  }

  int32_t SendMsg2Users(int32_t sessionFrom, const std::string& className, const std::string& title,
                        int32_t message, int32_t wParam, int32_t lParam,
                        const ztray::ZWndCopyData& copy) override {
    ForwardRequest request = {lum::Utf8ToWide(className),
                              lum::Utf8ToWide(title),
                              static_cast<UINT>(message),
                              static_cast<WPARAM>(wParam),
                              static_cast<LPARAM>(lParam),
                              {},
                              message == WM_COPYDATA,
                              0};
    request.copy.dwData = static_cast<ULONG_PTR>(static_cast<uint32_t>(copy.dwMsgID));
    request.copy.cbData = static_cast<DWORD>(copy.blobBuffer.size());
    request.copy.lpData = copy.blobBuffer.empty() ? nullptr : const_cast<char*>(copy.blobBuffer.data());
    EnumWindows(ForwardToWindow, reinterpret_cast<LPARAM>(&request));
    char code[16] = {};
    std::snprintf(code, sizeof(code), "%08X", static_cast<unsigned>(copy.dwMsgID));
    Record("SendMsg2Users session=" + std::to_string(sessionFrom) + " class=" + className +
           " msg=" + std::to_string(message) + " code=" + code +
           " delivered=" + std::to_string(request.delivered));
    return 1;
  }

  int32_t stopService() override {
    Record("stopService");
    return 1;
  }
};

// Ends the service once the answer to stopService has been written and
// flushed, so the client hears success before the pipe goes away.
class StopAfterAnswer : public apache::thrift::TProcessorEventHandler {
 public:
  void postWrite(void*, const char* function, uint32_t) override {
    if (std::strcmp(function, "ZTrayService.stopService") == 0) SetEvent(g_stop);
  }
};

DWORD WINAPI ServeThread(void* server) {
  try {
    static_cast<apache::thrift::server::TThreadPoolServer*>(server)->serve();
  } catch (const TException& e) {
    Record(std::string("server ended: ") + e.what());
  }
  return 0;
}

// Serves until stopService, then ends the process; answers the exit code
// of a server that could not be set up.
int Serve() {
  const std::wstring name = lum::tray::ServicePipeName(lum::tray::SystemVolumeSerial());
  Record("serving " + lum::WideToUtf8(name));
  std::shared_ptr<apache::thrift::server::TThreadPoolServer> server;
  try {
    auto workers = apache::thrift::concurrency::ThreadManager::newSimpleThreadManager();
    workers->threadFactory(std::make_shared<apache::thrift::concurrency::ThreadFactory>());
    workers->start();
    auto processor = std::make_shared<ztray::ZTrayServiceProcessor>(std::make_shared<TrayService>());
    processor->setEventHandler(std::make_shared<StopAfterAnswer>());
    server = std::make_shared<apache::thrift::server::TThreadPoolServer>(
        processor,
        std::make_shared<apache::thrift::transport::TPipeServer>(
            lum::WideToUtf8(name), 1024, PIPE_UNLIMITED_INSTANCES, "D:(A;;FA;;;SY)(A;;FA;;;BA)"),
        std::make_shared<apache::thrift::transport::TBufferedTransportFactory>(),
        std::make_shared<TBinaryProtocolFactory>(64 * 1024, 4096, false, true), workers);
  } catch (const TException& e) {
    Record(std::string("not served: ") + e.what());
    return 2;
  }
  HANDLE thread = CreateThread(nullptr, 0, ServeThread, server.get(), 0, nullptr);
  if (thread == nullptr) return 3;
  WaitForSingleObject(g_stop, INFINITE);
  Record("stopped");
  // Connected clients keep their pipes open, and taking the server down
  // waits for every one of them: the process ends here instead.
  TerminateProcess(GetCurrentProcess(), 0);
  return 0;
}

// Waits for an overlapped operation on `pipe` at most `ms`; the bytes moved,
// or -1 when it failed or did not finish in time (it is then cancelled).
long Overlapped(HANDLE pipe, OVERLAPPED* overlap, BOOL started, DWORD ms) {
  if (!started && GetLastError() != ERROR_IO_PENDING) return -1;
  if (WaitForSingleObject(overlap->hEvent, ms) != WAIT_OBJECT_0) {
    CancelIoEx(pipe, overlap);
    DWORD ignored = 0;
    GetOverlappedResult(pipe, overlap, &ignored, TRUE);
    return -1;
  }
  DWORD moved = 0;
  return GetOverlappedResult(pipe, overlap, &moved, FALSE) ? static_cast<long>(moved) : -1;
}

HANDLE RawPipeInstance() {
  const std::wstring name =
      L"\\\\.\\pipe\\" + lum::tray::ServicePipeName(lum::tray::SystemVolumeSerial());
  return CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                          PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES,
                          4096, 4096, 0, nullptr);
}

// Waits at most `ms` for a client on `pipe`.
bool AcceptClient(HANDLE pipe, OVERLAPPED* overlap, DWORD ms) {
  ResetEvent(overlap->hEvent);
  const BOOL started = ConnectNamedPipe(pipe, overlap);
  return (!started && GetLastError() == ERROR_PIPE_CONNECTED) ||
         Overlapped(pipe, overlap, started, ms) >= 0;
}

// The raw peer of /peer: every wait bounded.
int ServeRaw(const std::wstring& mode) {
  const bool hugeAnswer = mode == L"huge";
  OVERLAPPED overlap = {};
  overlap.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Record("serving raw " + lum::WideToUtf8(mode));
  if (mode == L"silent") {
    std::vector<HANDLE> taken;
    const ULONGLONG until = GetTickCount64() + 60000;
    while (taken.size() < 2 && GetTickCount64() < until) {
      HANDLE next = RawPipeInstance();
      if (next == INVALID_HANDLE_VALUE) return 2;
      if (AcceptClient(next, &overlap, 60000)) {
        taken.push_back(next);
        Record("client " + std::to_string(taken.size()) + " connected");
      } else {
        CloseHandle(next);
      }
    }
    Sleep(static_cast<DWORD>(until > GetTickCount64() ? until - GetTickCount64() : 0));
    for (HANDLE pipe : taken) CloseHandle(pipe);
    return 0;
  }
  HANDLE pipe = RawPipeInstance();
  if (pipe == INVALID_HANDLE_VALUE) return 2;
  if (!AcceptClient(pipe, &overlap, 60000)) {
    Record("no client");
    return 3;
  }
  Record("client connected");
  // The reply to the first call: strict header (version 1, reply),
  // "RegisterClient", sequence 0, then field 0 as a string of 2^31 - 1 bytes.
  const unsigned char reply[] = {0x80, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x0E, 'R', 'e', 'g',
                                 'i',  's',  't',  'e',  'r',  'C',  'l',  'i',  'e', 'n', 't',
                                 0x00, 0x00, 0x00, 0x00, 0x0B, 0x00, 0x00, 0x7F, 0xFF, 0xFF, 0xFF};
  long received = 0;
  bool answered = false;
  char buffer[4096];
  for (;;) {
    ResetEvent(overlap.hEvent);
    const long read = Overlapped(
        pipe, &overlap, ReadFile(pipe, buffer, sizeof(buffer), nullptr, &overlap), 5000);
    if (read <= 0) break;  // the client left, or sent nothing more for 5 s
    received += read;
    if (hugeAnswer && !answered) {
      ResetEvent(overlap.hEvent);
      answered = Overlapped(pipe, &overlap,
                            WriteFile(pipe, reply, sizeof(reply), nullptr, &overlap), 5000) ==
                 static_cast<long>(sizeof(reply));
      Record(answered ? "answered 2 GB" : "answer not written");
    }
  }
  Record("received " + std::to_string(received) + " bytes");
  CloseHandle(overlap.hEvent);
  CloseHandle(pipe);
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::wstring peer;
  for (int i = 1; argv != nullptr && i < argc; ++i) {
    if (_wcsnicmp(argv[i], L"/record:", 8) == 0) g_recordPath = argv[i] + 8;
    if (_wcsnicmp(argv[i], L"/peer:", 6) == 0) peer = argv[i] + 6;
  }
  LocalFree(argv);
  if (!peer.empty()) return ServeRaw(peer);
  g_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (g_stop == nullptr) return 1;
  return Serve();
}
