// The install path before the install: free space on the download and the
// install drive, the move to the roomiest drive, the SSD suggestion, the
// browsed folder, the path fixed only once a check passes, pending renames,
// and the running-product check. Drives are folders of the test's own
// (mount points, as Linux names drives), so that the install folder the
// check makes stays inside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "unit/LogCapture.h"
#include "unit/MainWindowFixture.h"
#include "system/FuntionImpl.h"

namespace {

constexpr uint64_t kGB = 1ull << 30;
const std::wstring kSep(1, platform::kPathSep);

class InstallPathTest : public MainWindowTest {
 protected:
  // A fixed drive whose root is a folder of the test; returns the root.
  std::wstring AddDrive(const std::string& name, uint64_t freeBytes, int bus = 0, bool ssd = false) {
    std::filesystem::create_directories(bed_.temp.path() / name);
    const std::wstring root = (bed_.temp.path() / name).wstring() + kSep;
    bed_.fake.AddDrive(root, freeBytes, platform::kDriveFixed, bus, !ssd);
    return root;
  }
  // The download folder goes on the roomiest drive there is now.
  void SetUpDownloadFolder(const std::wstring& appDataRoot) {
    bed_.fake.SetEnv(L"APPDATA", appDataRoot + L"appdata");
    analytics_.SetupPaths(L"setup");
  }
  // A window whose configuration came from the server with a package of `size` bytes.
  std::unique_ptr<InstallUIMainWnd> OpenWithPackage(int64_t size,
                                                    const toolkit::ResourceArchive& archive = shipped_skin::Archive()) {
    auto window = Open(archive);
    window->Configure().source = CConfigure::kFromXml;
    window->Configure().loadState = CConfigure::kLoaded;
    window->Configure().fileSize = size;
    return window;
  }
  void SetBox(InstallUIMainWnd& window, const std::wstring& text) { window.Find("install_path_edit")->look.text = text; }
  std::wstring Box(InstallUIMainWnd& window) { return Text(window, "install_path_edit"); }
  bool Sent(const std::string& event) {
    const std::vector<std::string> events = Events();
    return std::find(events.begin(), events.end(), event) != events.end();
  }
  bool Funnel(const std::string& action) {
    for (const RecordingReport::Call& call : report_.Of("AddEvent"))
      if (call.json["actions"]["event_action"].asString() == action) return true;
    return false;
  }
  // Ends the next modal window with `answer` once it runs: a message to a
  // helper window is delivered only by the loop inside the box.
  void AnswerNextBox(int answer) {
    helper_ = bed_.loop.AddWindow(
        [this, answer](unsigned, intptr_t, intptr_t) {
          int box = helper_ + 1;
          while (!bed_.backend.State(box).created) ++box;
          answered_ = bed_.backend.State(box).spec.className;
          bed_.loop.EndModal(box, answer);
        },
        [](unsigned) {});
    bed_.loop.Post(helper_, 1);
  }

  int helper_ = 0;
  std::wstring answered_;
};

// 1 GB package, download folder and install path on a 2.9 GB drive beside
// a 200 GB one and a larger USB disk: the install drive needs 3 GB, so the
// path moves to the 200 GB drive, where the second check passes.
TEST_F(InstallPathTest, ATooFullInstallDriveMovesToTheRoomiestFixedDriveAndThePathIsFixedThere) {
  const std::wstring c = AddDrive("c", 29 * kGB / 10);
  SetUpDownloadFolder(c);
  const std::wstring d = AddDrive("d", 200 * kGB);
  AddDrive("e", 2000 * kGB, platform::kBusTypeUsb);
  auto window = OpenWithPackage(kGB);
  SetBox(*window, c + L"Programs" + kSep + L"Vantrel");
  LogCapture log;

  ASSERT_TRUE(window->IsCorrectInstallPath());
  EXPECT_EQ(log.Count(" PC space not enough2: " + std::to_string(29 * kGB / 10) + "<=" + std::to_string(3 * kGB)), 1);
  EXPECT_EQ(Box(*window), d + L"Programs" + kSep + L"Vantrel");
  const std::wstring installed = d + L"Programs" + kSep + L"Vantrel" + kSep + L"Quenlo";
  EXPECT_EQ(window->GetInstallPath(), installed);
  EXPECT_TRUE(std::filesystem::is_directory(installed));
  EXPECT_FALSE(Sent("Other/FlowError/DL008"));
  EXPECT_TRUE(Funnel("DownloadEnvReady"));
  EXPECT_EQ(window->Find("main_tablayout")->state.selectedIndex, 1);
  EXPECT_EQ(window->Find("page_layout")->state.selectedIndex, 1);
  EXPECT_TRUE(window->Find("closebtn")->state.enabled);

  SetBox(*window, c + L"Elsewhere");  // the install has its folder now
  EXPECT_EQ(window->GetInstallPath(), installed);
}

// Twice the package on another drive, three times where the download is;
// free space equal to the need is too little.
TEST_F(InstallPathTest, TheInstallDriveNeedsTwiceThePackageOrThriceBesideTheDownload) {
  const std::wstring c = AddDrive("c", 3 * kGB);
  SetUpDownloadFolder(c);
  const std::wstring d = AddDrive("d", 2 * kGB + 1);
  auto window = OpenWithPackage(kGB);
  analytics_.State().SetBackgroundMode();

  SetBox(*window, d + L"Vantrel");  // 2 GB needed, one byte more free
  EXPECT_TRUE(window->IsCorrectInstallPath());
  EXPECT_EQ(Box(*window), d + L"Vantrel");

  auto again = OpenWithPackage(kGB);
  SetBox(*again, c + L"Vantrel");  // 3 GB needed, 3 GB free; c is also the roomiest
  EXPECT_FALSE(again->IsCorrectInstallPath());
  EXPECT_EQ(again->AutoAnsweredKind(), kMsgNoEnoughSpace);
  EXPECT_TRUE(Sent("Other/FlowError/DL008"));
  EXPECT_TRUE(Sent("Other/NoEnoughSpace/install_" + std::to_string(3 * kGB)));
  EXPECT_FALSE(std::filesystem::exists(c + L"Vantrel"));
}

TEST_F(InstallPathTest, ADownloadDriveWithExactlyThePackageFreeIsTooFull) {
  const std::wstring c = AddDrive("c", kGB);
  SetUpDownloadFolder(c);
  const std::wstring d = AddDrive("d", 100 * kGB);
  auto window = OpenWithPackage(kGB);
  analytics_.State().SetBackgroundMode();
  SetBox(*window, d + L"Vantrel");
  EXPECT_FALSE(window->IsCorrectInstallPath());
  EXPECT_TRUE(Sent("Other/NoEnoughSpace/download_" + std::to_string(kGB)));
  EXPECT_EQ(window->AutoAnsweredKind(), kMsgNoEnoughSpace);
  EXPECT_EQ(Box(*window), d + L"Vantrel");
}

// A size from the server of 0 or less is unknown: no check. A size whose
// threefold passes the largest count must not wrap round to a small need
// (here for the SSD that also holds the download).
TEST_F(InstallPathTest, UnknownAndHugeSizes) {
  const auto& archive = bed_.ChangedSkin(WindowTestBed::Entries({{"SuggestSSD", "1"}}));
  const std::wstring ssd = AddDrive("ssd", 500 * kGB, 0, true);
  SetUpDownloadFolder(ssd);
  const std::wstring c = AddDrive("c", 1);
  analytics_.State().SetBackgroundMode();
  auto unknown = OpenWithPackage(-1);
  SetBox(*unknown, c + L"Vantrel");
  EXPECT_TRUE(unknown->IsCorrectInstallPath());

  auto huge = OpenWithPackage(6148914691236517206, archive);  // three times it is 2^64 + 2
  SetBox(*huge, c + L"Vantrel");
  EXPECT_FALSE(huge->IsCorrectInstallPath());
  EXPECT_EQ(huge->AutoAnsweredKind(), kMsgNoEnoughSpace);
  EXPECT_EQ(Box(*huge), c + L"Vantrel");  // no SSD was suggested
  EXPECT_TRUE(Sent("Other/NoEnoughSpace/download_" + std::to_string(500 * kGB)));
}

// After a failed check the box decides again; a too-full drive that is no
// candidate (here a USB disk, while the only fixed drive cannot tell its
// free space) keeps its path instead of losing the drive's root.
TEST_F(InstallPathTest, AFailedCheckFixesNothingAndWithoutACandidateTheBoxStays) {
  const std::wstring c = AddDrive("c", 100 * kGB);
  SetUpDownloadFolder(c);
  bed_.fake.FindDrive(c)->freeReadable = false;
  const std::wstring usb = AddDrive("u", kGB, platform::kBusTypeUsb);
  auto window = OpenWithPackage(kGB);
  analytics_.State().SetBackgroundMode();

  SetBox(*window, usb + L"Vantrel");
  EXPECT_FALSE(window->IsCorrectInstallPath());
  EXPECT_EQ(Box(*window), usb + L"Vantrel");
  EXPECT_TRUE(Sent("Other/NoEnoughSpace/install_" + std::to_string(kGB)));

  const std::wstring d = AddDrive("d", 100 * kGB);
  SetBox(*window, d + L"Apps");
  EXPECT_TRUE(window->IsCorrectInstallPath());
  EXPECT_EQ(window->GetInstallPath(), d + L"Apps" + kSep + L"Quenlo");
}

// Only with the configuration's switch; the box's drive is a hard disk.
TEST_F(InstallPathTest, AnSsdWithRoomIsSuggestedAndNoKeepsThePath) {
  const auto& archive = bed_.ChangedSkin(WindowTestBed::Entries({{"SuggestSSD", "1"}}));
  const std::wstring c = AddDrive("c", 50 * kGB);
  SetUpDownloadFolder(c);
  AddDrive("usb", 900 * kGB, platform::kBusTypeUsb, true);  // never suggested
  AddDrive("small", 2 * kGB, 0, true);  // needs more than 2 GB
  const std::wstring ssd = AddDrive("ssd", 100 * kGB, 0, true);
  const std::wstring onHdd = c + L"Programs" + kSep + L"Vantrel";
  LogCapture log;

  auto no = OpenWithPackage(kGB, archive);
  SetBox(*no, onHdd);
  AnswerNextBox(kMsgResultNo);
  EXPECT_TRUE(no->IsCorrectInstallPath());
  EXPECT_EQ(answered_, L"MESSAGEBOX_UI_Frame");
  EXPECT_TRUE(log.Has(" ShowMsgBox: 15"));
  EXPECT_TRUE(log.Has(" Judge space ok, can use ssd: " + platform::WideToUtf8(ssd)));
  EXPECT_EQ(no->GetInstallPath(), onHdd + kSep + L"Quenlo");

  analytics_.State().SetBackgroundMode();  // answers Yes
  auto yes = OpenWithPackage(kGB, archive);
  SetBox(*yes, onHdd);
  EXPECT_TRUE(yes->IsCorrectInstallPath());
  EXPECT_EQ(yes->AutoAnsweredKind(), kMsgSuggestSsd);
  EXPECT_EQ(Box(*yes), ssd + L"Programs" + kSep + L"Vantrel");

  auto onSsd = OpenWithPackage(kGB, archive);
  SetBox(*onSsd, ssd + L"Other");
  EXPECT_TRUE(onSsd->IsCorrectInstallPath());
  EXPECT_EQ(onSsd->AutoAnsweredKind(), -1);
  EXPECT_TRUE(log.Has(" CurInstallPath is ssd"));
}

// A path whose drive cannot be judged would pass the space check unread:
// a relative one, a drive-relative one and a network path are refused with
// the path box, and nothing is made.
TEST_F(InstallPathTest, PathsWhoseDriveCannotBeJudgedAreRefused) {
  const std::wstring c = AddDrive("c", kGB / 2);
  SetUpDownloadFolder(c);
  analytics_.State().SetBackgroundMode();
  for (const wchar_t* path : {L"foo", L"\\\\srv\\x", L"C:foo"}) {
    auto window = OpenWithPackage(kGB);
    SetBox(*window, path);
    EXPECT_FALSE(window->IsCorrectInstallPath()) << platform::WideToUtf8(path);
    EXPECT_EQ(window->AutoAnsweredKind(), kMsgPathError);
    EXPECT_FALSE(std::filesystem::exists(path));
  }
  EXPECT_TRUE(Sent("Other/FlowError/DL009"));
}

// The first try ran before the configuration came from the server (no space
// check); the retry's check moves the box to the roomiest drive, and the
// install goes there, not to the folder of the first try.
TEST_F(InstallPathTest, ARetryInstallsWhereItsOwnCheckMovedThePath) {
  const std::wstring c = AddDrive("c", 29 * kGB / 10);
  SetUpDownloadFolder(c);
  const std::wstring d = AddDrive("d", 200 * kGB);
  std::vector<std::wstring> workerPaths;
  context_.runInstall = [&](InstallHost& host) {
    workerPaths.push_back(host.InstallPath());
    return -1;
  };
  auto window = Open();
  SetBox(*window, c + L"Vantrel");
  ASSERT_EQ(window->BeginInstallTask(), 0);
  ASSERT_TRUE(window->WaitForAllThreadExit(10000));
  window->Configure().source = CConfigure::kFromXml;
  window->Configure().loadState = CConfigure::kLoaded;
  window->Configure().fileSize = kGB;
  ASSERT_EQ(window->BeginInstallTask(), 0);
  ASSERT_TRUE(window->WaitForAllThreadExit(10000));
  const std::wstring quenlo = kSep + std::wstring(L"Quenlo");
  EXPECT_EQ(workerPaths, (std::vector<std::wstring>{c + L"Vantrel" + quenlo, d + L"Vantrel" + quenlo}));
  EXPECT_EQ(window->GetInstallPath(), d + L"Vantrel" + quenlo);
}

TEST_F(InstallPathTest, TheBrowsedFolderAndTheBoxNameTheInstallFolder) {
  const std::wstring apps = L"E:" + kSep + L"Apps";
  EXPECT_EQ(InstallUIMainWnd::BrowsedInstallFolder(apps), apps + kSep + L"Vantrel");
  EXPECT_EQ(InstallUIMainWnd::BrowsedInstallFolder(apps + kSep), apps + kSep + L"Vantrel");
  EXPECT_EQ(InstallUIMainWnd::BrowsedInstallFolder(apps + kSep + L"Vantrel2"), apps + kSep + L"Vantrel2");

  auto window = Open();
  SetBox(*window, InstallUIMainWnd::BrowsedInstallFolder(apps));
  EXPECT_EQ(window->GetInstallPath(), apps + kSep + L"Vantrel" + kSep + L"Quenlo");
  SetBox(*window, L"D:" + kSep + L"My Quenlo");  // holds the product name: used as it is
  EXPECT_EQ(window->GetInstallPath(), L"D:" + kSep + L"My Quenlo");
}

TEST_F(InstallPathTest, ARenameWaitingInTheInstallFolderIsReported) {
  const std::wstring c = AddDrive("c", 100 * kGB);
  SetUpDownloadFolder(c);
  const std::wstring folder = c + L"Vantrel" + kSep + L"Quenlo";
  bed_.fake.SetRegMultiString(L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", L"PendingFileRenameOperations",
                              {c + L"other.dll", L"", L"\\??\\" + folder + kSep + L"old.dll", L""});
  EXPECT_FALSE(FuntionImpl::IsPendingRename(c + L"Vantrel" + kSep + L"Quen"));  // a sibling's prefix
  auto window = Open();
  SetBox(*window, c + L"Vantrel");
  EXPECT_TRUE(window->IsCorrectInstallPath());
  EXPECT_TRUE(Sent("Other/ProcessNeedRestartSign/"));
}

// The first entry is the system's idle process; names compare exactly.
TEST_F(InstallPathTest, ARunningProductStopsTheInstallAndAnUnreadableListDoesNot) {
  std::vector<platform::ProcessEntry> running = {{0, L"Quenlo PDF Editor.exe"}, {7, L"quenlo pdf editor.exe"}};
  bool readable = true;
  context_.listProcesses = [&](std::vector<platform::ProcessEntry>* processes) {
    *processes = running;
    return readable;
  };
  analytics_.State().SetBackgroundMode();
  auto window = Open();
  EXPECT_TRUE(window->AppIsRunning());
  EXPECT_EQ(window->AutoAnsweredKind(), -1);

  running.push_back({42, L"Quenlo PDF Editor.exe"});
  EXPECT_FALSE(window->AppIsRunning());
  EXPECT_EQ(window->AutoAnsweredKind(), kMsgAppExist);

  readable = false;
  LogCapture log;
  EXPECT_TRUE(window->AppIsRunning());
  EXPECT_TRUE(log.Contains("the process list cannot be read"));
}

}  // namespace
