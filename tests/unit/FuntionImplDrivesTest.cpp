// FuntionImpl drive queries on FakeSystem machines.
#include <gtest/gtest.h>

#include "FakeSystem.h"
#include "system/FuntionImpl.h"
#include "platform/Platform.h"

namespace {

constexpr uint64_t kGB = 1ull << 30;

class FuntionImplDrives : public ::testing::Test {
 protected:
  FakeSystem fake_;
  FakeSystemGuard guard_{fake_};
};

TEST_F(FuntionImplDrives, RoomiestFixedNonUsbDriveWins) {
  fake_.AddDrive(L"C:\\", 10 * kGB);
  fake_.AddDrive(L"D:\\", 200 * kGB);
  fake_.AddDrive(L"E:\\", 2000 * kGB, platform::kDriveFixed, platform::kBusTypeUsb);
  EXPECT_EQ(L"D:\\Program Files\\X", FuntionImpl::MoveToRoomiestDrive(L"C:\\Program Files\\X"));
}

TEST_F(FuntionImplDrives, TiesGoToTheEarlierDrive) {
  fake_.AddDrive(L"C:\\", 50 * kGB);
  fake_.AddDrive(L"D:\\", 50 * kGB);
  EXPECT_EQ(L"C:\\Apps", FuntionImpl::MoveToRoomiestDrive(L"D:\\Apps"));
}

// Without a candidate that has room (none with free space, only removable,
// USB or network drives, or no drives at all) a path stays where it is:
// never relative.
TEST_F(FuntionImplDrives, WithoutACandidateThePathKeepsItsDrive) {
  fake_.AddDrive(L"C:\\", 0);
  EXPECT_EQ(L"C:\\Program Files\\X", FuntionImpl::MoveToRoomiestDrive(L"C:\\Program Files\\X"));
  fake_.AddDrive(L"D:\\", 1);
  EXPECT_EQ(L"D:\\Program Files\\X", FuntionImpl::MoveToRoomiestDrive(L"C:\\Program Files\\X"));
  fake_.ClearDrives();
  fake_.AddDrive(L"A:\\", 1 * kGB, 2);                       // removable
  fake_.AddDrive(L"E:\\", 900 * kGB, platform::kDriveFixed, platform::kBusTypeUsb);
  fake_.AddDrive(L"Z:\\", 900 * kGB, 4);                     // network
  EXPECT_EQ(L"C:\\RIVovaravizu\\setup", FuntionImpl::MoveToRoomiestDrive(L"C:\\RIVovaravizu\\setup"));
  fake_.ClearDrives();
  EXPECT_EQ(L"C:\\x", FuntionImpl::MoveToRoomiestDrive(L"C:\\x"));
}

// Only a path from a drive root as this system names them can be judged.
TEST_F(FuntionImplDrives, AFullLocalPathBeginsAtADriveRoot) {
  const bool letters = platform::kPathSep == L'\\';
  for (const wchar_t* path : {L"", L"foo", L"foo\\bar", L"\\\\srv\\x", L"C:foo", L"\\\\?\\C:\\x"})
    EXPECT_FALSE(FuntionImpl::IsFullLocalPath(path)) << platform::WideToUtf8(path);
  EXPECT_EQ(FuntionImpl::IsFullLocalPath(L"C:\\Apps"), letters);
  EXPECT_EQ(FuntionImpl::IsFullLocalPath(L"d:/Apps"), letters);
  EXPECT_EQ(FuntionImpl::IsFullLocalPath(L"/opt/apps"), !letters);
}

TEST_F(FuntionImplDrives, UnreadableDriveIsSkipped) {
  fake_.AddDrive(L"C:\\", 900 * kGB).freeReadable = false;
  fake_.AddDrive(L"D:\\", 5 * kGB);
  EXPECT_EQ(L"D:\\Data", FuntionImpl::MoveToRoomiestDrive(L"C:\\Data"));
}

TEST_F(FuntionImplDrives, DownloadFolderOnTheRoomiestDrive) {
  // APPDATA on C:, D: a fixed internal disk with more free space.
  fake_.AddDrive(L"C:\\", 20 * kGB);
  fake_.AddDrive(L"D:\\", 300 * kGB);
  const std::wstring logFolder = L"C:\\Users\\u\\AppData\\Roaming\\RIVovaravizu\\logs\\setup";
  const std::wstring download = FuntionImpl::DriveRootOf(logFolder) + L"RIVovaravizu\\setup";
  EXPECT_EQ(L"C:\\RIVovaravizu\\setup", download);
  EXPECT_EQ(L"D:\\RIVovaravizu\\setup", FuntionImpl::MoveToRoomiestDrive(download));
}

TEST_F(FuntionImplDrives, ListSsdDrivesNeverListsUsb) {
  fake_.AddDrive(L"C:\\", kGB, platform::kDriveFixed, 11, false);                  // SATA SSD
  fake_.AddDrive(L"D:\\", kGB, platform::kDriveFixed, 11, true);                   // hard disk
  fake_.AddDrive(L"E:\\", kGB, platform::kDriveFixed, platform::kBusTypeUsb, false);  // USB SSD
  fake_.AddDrive(L"F:\\", kGB, platform::kDriveFixed, 17, false);                  // NVMe
  fake_.AddDrive(L"G:\\", kGB, platform::kDriveFixed, 0, false).seekPenaltyReadable = false;
  fake_.AddDrive(L"H:\\", kGB, 2, 0, false);                                        // removable
  EXPECT_EQ(L"CF", FuntionImpl::ListSsdDrives());
  EXPECT_EQ((std::vector<std::wstring>{L"C:\\", L"F:\\"}), FuntionImpl::ListSsdRoots());
  fake_.ClearDrives();
  EXPECT_EQ(L"", FuntionImpl::ListSsdDrives());
}

TEST_F(FuntionImplDrives, IsSsdDrive) {
  fake_.AddDrive(L"C:\\", kGB, platform::kDriveFixed, 0, false);
  fake_.AddDrive(L"D:\\", kGB, platform::kDriveFixed, 0, true);
  EXPECT_TRUE(FuntionImpl::IsSsdDrive(L'C'));
  EXPECT_TRUE(FuntionImpl::IsSsdDrive(L'c'));
  EXPECT_FALSE(FuntionImpl::IsSsdDrive(L'D'));
  EXPECT_FALSE(FuntionImpl::IsSsdDrive(L'Q'));  // no volume
  EXPECT_FALSE(FuntionImpl::IsSsdDrive(L'1'));
  EXPECT_FALSE(FuntionImpl::IsSsdDrive(L':'));
  EXPECT_TRUE(FuntionImpl::IsSsdRoot(L"C:\\"));
  EXPECT_FALSE(FuntionImpl::IsSsdRoot(L"D:\\"));
}

TEST_F(FuntionImplDrives, BusTypeAndCandidates) {
  fake_.AddDrive(L"C:\\", kGB, platform::kDriveFixed, 11);
  fake_.AddDrive(L"E:\\", kGB, platform::kDriveFixed, platform::kBusTypeUsb);
  EXPECT_EQ(11, FuntionImpl::GetBusType(L"C:\\"));
  EXPECT_EQ(7, FuntionImpl::GetBusType(L"E:\\"));
  EXPECT_EQ(0, FuntionImpl::GetBusType(L"X:\\"));
  EXPECT_TRUE(FuntionImpl::IsCandidateDrive(L"C:\\"));
  EXPECT_FALSE(FuntionImpl::IsCandidateDrive(L"E:\\"));
  EXPECT_EQ(std::vector<std::wstring>{L"C:\\"}, FuntionImpl::CandidateDrives());
}

// The Linux form: roots are mount points.
TEST_F(FuntionImplDrives, MountPointRoots) {
  fake_.AddDrive(L"/", 100 * kGB, platform::kDriveFixed, 17, false);
  fake_.AddDrive(L"/data/", 500 * kGB, platform::kDriveFixed, 11, true);
  fake_.AddDrive(L"/media/usb/", 2000 * kGB, platform::kDriveFixed, platform::kBusTypeUsb, false);
  EXPECT_EQ(L"/", FuntionImpl::DriveRootOf(L"/home/u/x"));
  EXPECT_EQ(L"/data/", FuntionImpl::DriveRootOf(L"/data/x/y"));
  EXPECT_EQ(L"/data/", FuntionImpl::DriveRootOf(L"/data"));
  EXPECT_EQ(L"/", FuntionImpl::DriveRootOf(L"/database/x"));
  EXPECT_EQ(L"/media/usb/", FuntionImpl::DriveRootOf(L"/media/usb/f"));
  EXPECT_EQ(L"C:\\", FuntionImpl::DriveRootOf(L"C:\\a"));
  EXPECT_EQ(L"ab", FuntionImpl::DriveRootOf(L"ab"));
  EXPECT_EQ(L"/data/home/u/RIVovaravizu/setup",
            FuntionImpl::MoveToRoomiestDrive(L"/home/u/RIVovaravizu/setup"));
  EXPECT_EQ(L"/data/x", FuntionImpl::MoveToRoomiestDrive(L"/data/x"));
  EXPECT_EQ(std::vector<std::wstring>{L"/"}, FuntionImpl::ListSsdRoots());
  EXPECT_EQ(L"", FuntionImpl::ListSsdDrives());  // letters only
  EXPECT_TRUE(FuntionImpl::IsSsdRoot(L"/"));
  EXPECT_FALSE(FuntionImpl::IsSsdRoot(L"/data/"));
}

TEST_F(FuntionImplDrives, MountPointWithoutDriveRootsFallsBackToSlash) {
  fake_.ClearDrives();
  EXPECT_EQ(L"/", FuntionImpl::DriveRootOf(L"/home/u"));
  EXPECT_EQ(L"/home/u", FuntionImpl::MoveToRoomiestDrive(L"/home/u"));  // no candidate: it stays
}

}  // namespace
