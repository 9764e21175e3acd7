// The product's tray service interfaces. ZTrayService is served by the tray
// service on its pipe; ZTrayClient is served by each registered client (the
// installer) on the client's own callback pipe. Method order, argument ids and
// argument types are the wire contract with the installed product: never
// renumber, reorder or retype them. Results travel in field 0 ("success").

namespace cpp ztray

struct ZTrayUSERINFO {
  1: i32 cbSize,
  2: i32 dwUserid,
  3: string szPartnerID,
  4: string szComputerID,
}

struct ZFileTime {
  1: i32 dwLowDateTime,
  2: i32 dwHighDateTime,
}

struct ZEventInfo {
  1: i32 cbSize,
  2: i32 nRef,
  3: i32 dwEventID,
  4: i32 dwLevel,
  5: i32 ept,
  6: ZFileTime tEventTime,
  7: string szKeyName,
  8: binary lpData,
  9: i32 cbDataSize,
  10: i32 dwWndFlag,
  11: i32 dwTimeout,
  12: i32 hEvent,
  13: i32 pfnCallback,
  14: i32 dwResult,
  15: i32 _i32EventID,
}

struct ZCopyData {
  1: string cbMD5,
  2: i32 dwFileSize,
  3: bool bBlock,
}

struct ZLaunchProcCopyData {
  1: i32 Pid,
  2: i32 Integrity_Level,
  3: bool bSrvSession,
  4: string u8StrFile,
  5: string u8StrCmd,
}

struct ZWndCopyData {
  1: i32 dwMsgID,
  2: i32 dwBufferSize,
  3: binary blobBuffer,
}

// The registration answer; clients read only bSuccess.
struct ZRegResult {
  1: bool bSuccess,
  2: i32 iClientId,
  3: i32 iSessionId,
}

service ZTrayService {
  ZRegResult RegisterClient(1: string u8StrClientPipe, 2: i32 iPid, 3: i32 i32PipePortHandle,
                            4: i32 i32ClientType),
  i32 SetAuthKey(1: i32 iPID, 2: i32 iAuthKey),
  i32 AttachMessage(1: i32 pTrayClintPtr, 2: i32 nStartMsg, 3: i32 nEndMsg, 4: bool bBypassVista),
  i32 AddEventLog(1: i32 lpInfo),
  i32 GetAutoliveState(),
  i32 GetUserInfo(1: ZTrayUSERINFO lpInfo),
  i32 QueryClientObject(1: string lpName, 2: i32 ppObject),
  i32 OnMessage(1: i32 uMsg, 2: i32 wParam, 3: i32 lParam, 4: string lResult),
  i32 AVMessageToSrv(1: string messagebody, 2: i32 i32AuthKey),
  i32 TestValue(1: i32 iValue, 2: i32 i32MagicKey),
  i32 ping(1: i32 iValue),
  i32 HipsFnCallBack(1: ZEventInfo lpEventInfo, 2: i32 lpSrvZEventInfo),
  bool setAppMonState2Srv(1: bool bEnable),
  bool setDrvMonState2Srv(1: bool bEnable),
  bool setSBNetworkState2Srv(1: bool bEnable),
  i32 setCommonState2Srv(1: i32 iModule, 2: i32 iMsgType, 3: i32 iValue),
  i32 stopService(),
  i32 sendMsg2Srv(1: i32 iMsg),
  i32 sendMsg2SrvEx(1: i32 iMsg, 2: i32 wParam, 3: i32 lParam),
  i32 sendTrayData2Srv(1: string strKey, 2: string strValue),
  i32 sendSBLaunchData2Srv(1: string filepath, 2: string cmdline),
  i32 sendCMD2Srv(1: i32 iCMD, 2: ZCopyData icbData),
  i32 UDiskMessageToSrv(1: string messagebody, 2: i32 iProcId),
  i32 ReplyMessage2Srv(1: i32 Msg, 2: i32 lResult, 3: i32 iMsgInfoId),
  i32 sendWndCopyDataMsg2Srv(1: i32 iCopyDataMsgId, 2: ZWndCopyData copyDataMsg),
  i32 sendWmCopyData2Srv(1: i32 iCopyDataMsgId, 2: ZWndCopyData copyDataMsg),
  i32 sendLaunchProcData2Srv(1: i32 iCMD, 2: ZLaunchProcCopyData icbData),
  i32 ScanMessageToSrv(1: string messagebody),
  i32 SendMsg2Users(1: i32 iSessionFrom, 2: string strClass, 3: string strWnd, 4: i32 iMsgId,
                    5: i32 wParam, 6: i32 lParam, 7: ZWndCopyData stCopyData),
}

service ZTrayClient {
  bool SetTrayIcon(1: i32 iIconId, 2: string strTip),
  bool SetTipText(1: string strTip),
  bool ShowBallon(1: string strTitle, 2: string strText, 3: i32 iTimeout, 4: i32 iFlags),
  i32 SkinMessageBox(1: string strText, 2: string strCaption, 3: i32 uType),
  void SetTrayData(1: string strKey, 2: string strValue),
  string GetTrayData(1: string strKey),
  i32 AVMessageToCli(1: string messagebody),
  i32 TestValueClient(1: i32 iValue, 2: i32 i32MagicKey),
  bool HipsCreateNotifyWnd(1: ZEventInfo lpEventInfo),
  i32 SetAuthKey(1: i32 iAuthKey),
  i32 PostMessage(1: i32 uMsg, 2: i32 wParam, 3: i32 lParam),
  i32 SendMessage(1: i32 uMsg, 2: i32 wParam, 3: i32 lParam),
  i32 UDiskMessageToCli(1: string messagebody, 2: i32 iProcId),
  i32 PostCopyDataMessage(1: i32 iCopyDataMsgId, 2: ZWndCopyData copyDataMsg),
  i32 ScanMessageToCli(1: string messagebody),
}
