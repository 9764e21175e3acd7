// The installer's callback server on a real named pipe: the fixed answers
// through a Thrift client, and peers that break the protocol (garbage, a
// message cut short, a huge length prefix) lose their connection while the
// server goes on serving the next client.
#include "tray/callback_server_win.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <ztray/ZTrayClient.h>

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>
#include <thrift/transport/TPipe.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "base/text.h"
#include "system/win_handle_win.h"

namespace lum {
namespace tray {
namespace {

using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::transport::TBufferedTransport;
using apache::thrift::transport::TPipe;

// Connects a raw client to `pipe`, writes `bytes`, and answers how the
// server reacted: "dropped" when it closed the connection, "answered" when
// bytes came back, "open" when neither happened within 15 s (a server that
// waits for the rest; the test then fails instead of hanging).
std::string SendRaw(const std::wstring& pipe, const std::string& bytes, bool closeAfterWrite) {
  UniqueFileHandle client;
  // Under wine64 on a loaded machine the server has been seen to open its
  // next instance up to ten seconds after clients that cut off their calls;
  // the tries span twenty, so what fails here is a server that stopped.
  for (int n = 0; n < 400 && !client; ++n) {
    client.Reset(CreateFileW(pipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OVERLAPPED, nullptr));
    // Between two instances the pipe name does not exist and WaitNamedPipe
    // fails at once: pause so the tries span the server's next instance.
    if (!client && !WaitNamedPipeW(pipe.c_str(), 200)) Sleep(50);
  }
  if (!client) return "not connected";
  UniqueHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  OVERLAPPED io = {};
  io.hEvent = done.Get();
  DWORD count = 0;
  if (!WriteFile(client.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &io) &&
      GetLastError() != ERROR_IO_PENDING)
    return "write failed";
  if (!GetOverlappedResult(client.Get(), &io, &count, TRUE)) return "write failed";
  if (closeAfterWrite) return "closed";
  char reply[64];
  ResetEvent(done.Get());
  io = {};
  io.hEvent = done.Get();
  if (ReadFile(client.Get(), reply, sizeof(reply), nullptr, &io)) return "answered";
  if (GetLastError() == ERROR_BROKEN_PIPE) return "dropped";
  if (GetLastError() != ERROR_IO_PENDING) return "dropped";
  if (WaitForSingleObject(done.Get(), 15000) != WAIT_OBJECT_0) {
    CancelIo(client.Get());
    return "open";
  }
  if (GetOverlappedResult(client.Get(), &io, &count, FALSE) && count > 0) return "answered";
  return "dropped";
}

std::string Int32(uint32_t v) {
  return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                     static_cast<char>(v >> 8), static_cast<char>(v)};
}

// A strict binary-protocol call header for `name`.
std::string CallHeader(const std::string& name) {
  return Int32(0x80010001u) + Int32(static_cast<uint32_t>(name.size())) + name + Int32(1);
}

// The server still answers a well-formed client.
void ExpectServing(const std::wstring& pipe) {
  auto transport = std::make_shared<TBufferedTransport>(std::make_shared<TPipe>(WideToUtf8(pipe)));
  ztray::ZTrayClientClient client(std::make_shared<TBinaryProtocol>(transport));
  transport->open();
  EXPECT_EQ(42, client.TestValueClient(42, 0));
  std::string data = "unset";
  client.GetTrayData(data, "key");
  EXPECT_EQ("", data);
  EXPECT_TRUE(client.SetTrayIcon(5769, "tip"));
  EXPECT_EQ(1, client.SkinMessageBox("text", "caption", 0));
  EXPECT_FALSE(client.HipsCreateNotifyWnd(ztray::ZEventInfo()));
  EXPECT_EQ(0, client.PostMessage(1, 2, 3));
  transport->close();
}

TEST(TrayCallbackServer, AnswersFixedValuesAndSurvivesBrokenPeers) {
  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_TRUE(StartCallbackServer());
  const std::wstring pipe = CallbackPipeName();
  ASSERT_EQ(0u, pipe.find(L"\\\\.\\pipe\\{"));
  for (int n = 0; n < 50 && CallbackPipeHandle() == nullptr; ++n) Sleep(20);
  const auto listening = std::chrono::steady_clock::now();
  EXPECT_NE(nullptr, CallbackPipeHandle());
  ExpectServing(pipe);
  const auto served = std::chrono::steady_clock::now();
  std::printf("callback server: listening after %.1f ms, first call round trip %.1f ms\n",
              std::chrono::duration<double, std::milli>(listening - t0).count(),
              std::chrono::duration<double, std::milli>(served - listening).count());

  // Not the protocol at all: a bad version word.
  EXPECT_EQ("dropped", SendRaw(pipe, "\xff\x13\x37garbage, not a call\r\n", false));
  ExpectServing(pipe);
  // A message name that claims almost 2 GB.
  EXPECT_EQ("dropped", SendRaw(pipe, Int32(0x80010001u) + Int32(0x7FFFFFF0u) + "Test", false));
  ExpectServing(pipe);
  // An old-style header whose first word is taken as a name length of 1.2 GB.
  EXPECT_EQ("dropped", SendRaw(pipe, "GARBAGE!", false));
  ExpectServing(pipe);
  // A well-formed call whose string argument claims 256 MB.
  EXPECT_EQ("dropped",
            SendRaw(pipe, CallHeader("GetTrayData") + std::string("\x0b\x00\x01", 3) +
                              Int32(0x10000000u) + "abc",
                    false));
  ExpectServing(pipe);
  // Calls cut off in the middle by clients that go away: more of them than
  // the pool has workers, so a worker kept by any of them would show.
  for (int n = 0; n < 6; ++n) {
    EXPECT_EQ("closed", SendRaw(pipe, CallHeader("TestValueClient") + std::string("\x08\x00", 2),
                                true));
  }
  const std::string call = CallHeader("TestValueClient") + std::string("\x08\x00\x01", 3) +
                           Int32(42) + std::string("\x08\x00\x02", 3) + Int32(0) +
                           std::string(1, '\0');
  ASSERT_EQ("answered", SendRaw(pipe, call, false));
  ExpectServing(pipe);

  const auto stopping = std::chrono::steady_clock::now();
  StopCallbackServer();
  std::printf("callback server: stopped in %.1f ms\n",
              std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                        stopping)
                  .count());
  EXPECT_TRUE(CallbackPipeName().empty());
  EXPECT_EQ(nullptr, CallbackPipeHandle());
}

}  // namespace
}  // namespace tray
}  // namespace lum
