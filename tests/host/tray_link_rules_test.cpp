// The tray link's portable rules (pipe names, launch command, integrity,
// retries) and the wire layout of the calls the installer makes, read back
// from the bytes the generated client writes.
#include <gtest/gtest.h>
#include <ztray/ZTrayService.h>

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include <utility>
#include <vector>

#include "tray/launch_rules.h"
#include "tray/pipe_names.h"
#include "tray/service_image.h"

namespace lum {
namespace tray {
namespace {

using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::protocol::TMessageType;
using apache::thrift::protocol::TType;
using apache::thrift::transport::TMemoryBuffer;

TEST(TrayPipeNames, BothNamesFollowTheVolumeSerial) {
  // Worked by hand from the rule: V + 0x3F793C2A, V - 0x7D11, (V >> 16) +
  // 0x4BCF, (V - 0x632B0070) >> 16, V - 0x70, V - 0x35AD6AC8, modulo 2^32.
  EXPECT_EQ(L"{51ADE7F7-2EBC-5E03-AF09-AB5DDC874105}_", ServicePipeName(kFallbackVolumeSerial));
  EXPECT_EQ(L"\\\\.\\pipe\\{000001F4-82EF-4BCF-AF09-AB5DDC874105}_",
            CallbackPipeName(500, kFallbackVolumeSerial));
  // Wrap-around at both ends, and 16-bit fields keep their low half.
  EXPECT_EQ(L"{3F793C2A-82EF-4BCF-9CD4-FF90CA529538}_", ServicePipeName(0));
  EXPECT_EQ(L"{3F793C29-82EE-4BCE-9CD4-FF8FCA529537}_", ServicePipeName(0xFFFFFFFFu));
  EXPECT_EQ(L"\\\\.\\pipe\\{FFFFFFFF-82EF-4BCF-9CD4-FF90CA529538}_",
            CallbackPipeName(0xFFFFFFFFu, 0));
}

TEST(TrayServiceImage, OnlyTheServiceProgramOfTheInstallFolder) {
  const std::wstring service = L"C:\\Program Files\\Lum\\Bastion\\safemon\\ZVTrayService.exe";
  for (const wchar_t* folder : {L"C:\\Program Files\\Lum\\Bastion", L"c:\\program files\\lum\\bastion\\"})
    EXPECT_TRUE(IsServiceImageOf(service, folder)) << folder;
  // Another folder with the same layout, another program, a folder that only
  // starts like it, no install folder at all.
  EXPECT_FALSE(IsServiceImageOf(L"C:\\Users\\u\\AppData\\safemon\\ZVTrayService.exe",
                                L"C:\\Program Files\\Lum\\Bastion"));
  EXPECT_FALSE(IsServiceImageOf(L"C:\\Program Files\\Lum\\Bastion\\safemon\\ZVSafeTray.exe",
                                L"C:\\Program Files\\Lum\\Bastion"));
  EXPECT_FALSE(IsServiceImageOf(L"C:\\Program Files\\Lum\\Bastion2\\safemon\\ZVTrayService.exe",
                                L"C:\\Program Files\\Lum\\Bastion"));
  EXPECT_FALSE(IsServiceImageOf(service, L""));
}

TEST(TrayLaunchRules, CommandIntegrityAndRetries) {
  EXPECT_EQ(L"\"C:\\P\\ZVSafeMain.exe\" /install",
            LaunchCommandLine(L"C:\\P\\ZVSafeMain.exe", L"/install"));
  EXPECT_EQ(2, LaunchIntegrityLevel(true, false));
  EXPECT_EQ(3, LaunchIntegrityLevel(true, true));
  // No shell found: medium, never high.
  EXPECT_EQ(2, LaunchIntegrityLevel(false, false));
  EXPECT_EQ(2, LaunchIntegrityLevel(false, true));

  std::vector<int> answers = {5, kTrayTransportError, kTraySuccess, 9};
  size_t calls = 0;
  int pauses = 0;
  auto attempt = [&] { return answers[calls++]; };
  auto pause = [&] { ++pauses; };
  EXPECT_EQ(kTraySuccess, RetryUntilSuccess(attempt, 3, pause));
  EXPECT_EQ(3u, calls);
  EXPECT_EQ(2, pauses);

  answers = {7, 8, 2, kTraySuccess};
  calls = 0;
  pauses = 0;
  EXPECT_EQ(2, RetryUntilSuccess(attempt, 3, pause));  // the last failure
  EXPECT_EQ(3u, calls);
  EXPECT_EQ(2, pauses);
}

// (field id, type) of each field of the call's argument struct, in order.
std::vector<std::pair<int16_t, TType>> ReadCall(TMemoryBuffer& buffer, std::string* name) {
  TBinaryProtocol in(std::shared_ptr<TMemoryBuffer>(&buffer, [](TMemoryBuffer*) {}));
  TMessageType kind;
  int32_t seq = 0;
  in.readMessageBegin(*name, kind, seq);
  EXPECT_EQ(apache::thrift::protocol::T_CALL, kind);
  std::string structName;
  in.readStructBegin(structName);
  std::vector<std::pair<int16_t, TType>> fields;
  for (;;) {
    std::string fieldName;
    TType type;
    int16_t id = 0;
    in.readFieldBegin(fieldName, type, id);
    if (type == apache::thrift::protocol::T_STOP) break;
    fields.emplace_back(id, type);
    in.skip(type);
    in.readFieldEnd();
  }
  return fields;
}

TEST(TrayWireLayout, CallsTheInstallerMakesCarryTheServiceFieldIds) {
  using namespace apache::thrift::protocol;
  auto buffer = std::make_shared<TMemoryBuffer>();
  ztray::ZTrayServiceClient client(std::make_shared<TBinaryProtocol>(buffer));
  std::string name;

  client.send_RegisterClient("\\\\.\\pipe\\x", 500, 4, 1);
  EXPECT_EQ((std::vector<std::pair<int16_t, TType>>{{1, T_STRING}, {2, T_I32}, {3, T_I32},
                                                    {4, T_I32}}),
            ReadCall(*buffer, &name));
  EXPECT_EQ("RegisterClient", name);

  ztray::ZLaunchProcCopyData launch;
  launch.u8StrCmd = "\"C:\\P\\ZVSafeMain.exe\" /install";
  client.send_sendLaunchProcData2Srv(7, launch);
  EXPECT_EQ((std::vector<std::pair<int16_t, TType>>{{1, T_I32}, {2, T_STRUCT}}),
            ReadCall(*buffer, &name));
  EXPECT_EQ("sendLaunchProcData2Srv", name);

  ztray::ZWndCopyData exit;
  exit.dwMsgID = 0x45584954;
  client.send_SendMsg2Users(-1, "ZLumSafeMonClass", "", 74, 0, 0, exit);
  EXPECT_EQ((std::vector<std::pair<int16_t, TType>>{{1, T_I32}, {2, T_STRING}, {3, T_STRING},
                                                    {4, T_I32}, {5, T_I32}, {6, T_I32},
                                                    {7, T_STRUCT}}),
            ReadCall(*buffer, &name));
  EXPECT_EQ("SendMsg2Users", name);

  client.send_stopService();
  EXPECT_TRUE(ReadCall(*buffer, &name).empty());
  EXPECT_EQ("stopService", name);
}

}  // namespace
}  // namespace tray
}  // namespace lum
