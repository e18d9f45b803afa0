// The kinds of message box the installer shows, and their answers.
#pragma once

enum EnumMsgType : int {
  kMsgReplace = 0,           // no current flow
  kMsgFinish = 1,            // the install has ended: closing asks nothing
  kMsgCancel = 2,            // closing while the install has not ended
  kMsgAppExist = 3,          // the product is running
  kMsgPathError = 4,         // invalid install path
  kMsgDownloadNotice = 5,    // "MessageBox_down.xml" as shipped; no current flow
  kMsgInstallTimeout = 6,    // the installer run timed out
  kMsgMd5Fail = 7,           // the package is damaged
  kMsgUrlFail = 8,           // the server could not be reached
  kMsgInternetFail = 9,      // no current flow
  kMsgInternetTimeout = 10,  // no current flow
  kMsgNoEnoughSpace = 11,    // not enough disk space
  kMsgClickShortcut = 12,    // no current flow
  kMsgNotSupportSystem = 13, // 32-bit system refused
  kMsgAgree = 14,            // licence not accepted on Install
  kMsgSuggestSsd = 15,       // SSD suggestion; the text argument is the drive letter
};

constexpr int kMsgResultYes = 1;
constexpr int kMsgResultNo = 2;  // also the close button
