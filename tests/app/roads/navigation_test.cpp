// Next and previous raw file, the trash actions, the volume rule on
// mountinfo samples, the AWB lock, and the update-feed address.
#include <filesystem>
#include <fstream>

#include "app/desktop/update_feed.h"
#include "platform/modifier_keys.h"
#include "platform/trash.h"
#include "tests/app/roads/roads_fixture.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

class Navigation : public RoadsFixture {
protected:
    void SetUp() override {
        RoadsFixture::SetUp();
        recording = std::make_shared<RecordingTrash>();
        set_trash(recording);
    }
    void TearDown() override {
        set_trash(nullptr);
        RoadsFixture::TearDown();
    }
    std::shared_ptr<RecordingTrash> recording;
};

TEST_F(Navigation, NextAndPreviousWalkTheRawFilesInFileNameOrder) {
    const std::string a = canonFile("p/img2.dng");
    std::ofstream(dir / "photos" / "p" / "img3.jpg") << "not raw";
    const std::string c = canonFile("p/img10.dng");
    EXPECT_EQ(controller->nextFileFrom(), std::nullopt);  // nothing open
    ASSERT_TRUE(openAndWait(a));
    EXPECT_EQ(controller->nextFileFrom(), c);
    EXPECT_EQ(controller->previousFileFrom(), "");
    controller->openPreviousFile();
    controller->waitForRoads();
    EXPECT_EQ(raw().fileName(), a);
    controller->setOriginalNonRawFile(std::string("/x/y.tif"));
    controller->openNextFile();
    controller->waitForRoads();
    EXPECT_EQ(raw().fileName(), c);
    EXPECT_EQ(controller->originalNonRawFile(), std::nullopt);
    EXPECT_EQ(controller->previousFileFrom(), a);
    EXPECT_EQ(controller->nextFileFrom(), "");
}

TEST_F(Navigation, TrashingAsksUnlessOptionIsHeldOpensTheNeighbourAndEmptiesTheWindowAfterTheLast) {
    const std::string a = canonFile("p/a.dng");
    const std::string b = canonFile("p/b.dng");
    ASSERT_TRUE(openAndWait(a));
    // Cancel: nothing happens, and the answer says so.
    alerts.answer("Cancel");
    EXPECT_FALSE(controller->moveToTrashFile(a));
    EXPECT_TRUE(recording->paths().empty());
    EXPECT_EQ(alertTexts().back(), "Warning|Are you sure that you want to move a.dng to Trash?");

    alerts.answer("Move to Trash");
    EXPECT_TRUE(controller->moveToTrashFile(a));
    controller->waitForRoads();
    EXPECT_EQ(recording->paths(), std::vector<std::string>{a});
    EXPECT_EQ(raw().fileName(), b);

    const std::size_t asked = alerts.count();
    {
        ScopedModifierFlags option(kAlternateKeyMask);
        controller->moveCurrentFileToTrash();
    }
    controller->waitForRoads();
    EXPECT_EQ(alerts.count(), asked);
    // b's neighbour a is still there for the recording Trash, which moves nothing.
    EXPECT_EQ(raw().fileName(), a);

    // A Trash that fails: told, and the file stays open.
    set_trash(std::make_shared<RecordingTrash>(false));
    alerts.answer("Move to Trash");
    EXPECT_FALSE(controller->moveToTrashFile(a));
    EXPECT_EQ(alertTexts().back(), "Warning|Can't move " + a + " to Trash");
    EXPECT_EQ(raw().fileName(), a);

    // The last raw file of its folder: the window is emptied.
    const std::string only = canonFile("q/only.dng");
    set_trash(recording);
    ASSERT_TRUE(openAndWait(only));
    fs::remove(a);
    fs::remove(b);
    ui.clear();
    alerts.answer("Move to Trash");
    EXPECT_TRUE(controller->moveToTrashFile(only));
    controller->waitForRoads();
    EXPECT_TRUE(ui.saw("empty"));
    EXPECT_TRUE(ui.saw("frame"));
    EXPECT_TRUE(raw().fileName().empty());
    EXPECT_EQ(raw().image32(), nullptr);
}

TEST_F(Navigation, OnANetworkVolumeTheFileIsErasedAfterItsQuestionEvenWithOptionHeld) {
    const std::string a = canonFile("p/a.dng");
    const std::string b = canonFile("p/b.dng");
    std::ofstream(dir / "mountinfo") << "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                     << "60 22 0:50 / " << fs::canonical(dir.path()).string()
                                     << " rw - nfs4 srv:/x rw\n";
    setMountInfoFile((dir / "mountinfo").string());
    ASSERT_TRUE(openAndWait(a));
    {
        ScopedModifierFlags option(kAlternateKeyMask);
        alerts.answer("Permanently erase");
        EXPECT_TRUE(controller->moveToTrashFile(a));
    }
    setMountInfoFile("");
    controller->waitForRoads();
    ASSERT_FALSE(alerts.requests().empty());
    EXPECT_EQ(alertTexts().back(), "Warning|Are you sure that you want to permanently erase a.dng?");
    EXPECT_FALSE(fs::exists(fs::symlink_status(a)));
    EXPECT_TRUE(recording->paths().empty());
    EXPECT_EQ(raw().fileName(), b);
}

TEST(VolumeRule, NetworkFileSystemsAreErasedLocalOnesAndUnknownOnesTrashed) {
    const std::string mountinfo =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "40 22 0:35 / /home rw,relatime shared:20 - btrfs /dev/sda2 rw\n"
        "51 40 0:44 / /home/a/net rw,relatime shared:30 - nfs4 srv:/export rw,vers=4.2\n"
        "52 40 0:45 / /home/a/My\\040Share rw shared:31 master:2 - cifs //srv/share rw\n"
        "53 40 0:46 / /home/a/remote rw - fuse.sshfs u@h:/ rw\n"
        "54 22 0:47 / /mnt/usb rw - vfat /dev/sdb1 rw\n";
    EXPECT_EQ(fileSystemTypeOf("/home/a/net/x.NEF", mountinfo), "nfs4");
    EXPECT_EQ(fileSystemTypeOf("/home/a/network/x.NEF", mountinfo), "btrfs");  // not below /home/a/net
    EXPECT_EQ(fileSystemTypeOf("/home/a/My Share/x.NEF", mountinfo), "cifs");
    EXPECT_EQ(fileSystemTypeOf("/home/a/remote/x.NEF", mountinfo), "fuse.sshfs");
    EXPECT_EQ(fileSystemTypeOf("/mnt/usb/DCIM/x.NEF", mountinfo), "vfat");
    EXPECT_EQ(fileSystemTypeOf("/etc/x", mountinfo), "ext4");
    EXPECT_EQ(fileSystemTypeOf("/x", "garbage\n"), std::nullopt);
    for (const char* t : {"nfs", "nfs4", "cifs", "smb3", "9p", "afs", "ceph", "fuse.sshfs"})
        EXPECT_TRUE(isNetworkFileSystemType(t)) << t;
    for (const char* t : {"ext4", "btrfs", "xfs", "vfat", "tmpfs", "overlay", "fuseblk"})
        EXPECT_FALSE(isNetworkFileSystemType(t)) << t;
    EXPECT_TRUE(isOnLocalVolume(testdata_dir().string()));
}

TEST_F(Navigation, TheAwbLockMakesOneDefaultPerFolderFromItsFirstRawFileUnlessItsDefaultFixesTheBalance) {
    canonFile("lock/s1/b.dng");
    const std::string s1first = canonFile("lock/s1/a.dng");
    std::ofstream(dir / "photos" / "lock" / "s1" / "0.txt") << "not raw";
    const std::string s2first = acmeFile("lock/s2/c.dng");
    const std::string fixed = canonFile("lock/s3/d.dng");
    openFile(fixed);
    raw().setUseCameraWB(2);  // as shot: the folder's balance is fixed
    record(photos() + "/lock/s3/");

    const std::vector<std::string> firsts = controller->createDefaultsWithLockedAWBForDirs({photos() + "/lock"});
    EXPECT_EQ(firsts, (std::vector<std::string>{s1first, s2first, fixed}));
    for (const std::string folder : {"/lock/s1/", "/lock/s2/"}) {
        const std::vector<HistoryMO> defaults = recordsWithSource(photos() + folder);
        ASSERT_EQ(defaults.size(), 1u) << folder;
        EXPECT_EQ(defaults[0].valueForKey("reservedString1").description(), "0");
        EXPECT_EQ(defaults[0].comment().rfind("Custom WB is set as Auto WB from " + photos() + folder, 0), 0u);
        EXPECT_NE(defaults[0].valueForKey("evRed").double_value(), 0);
    }
    EXPECT_EQ(recordsWithSource(photos() + "/lock/s2/")[0].camera(), "Acme Fixture 1");
    EXPECT_EQ(recordsWithSource(photos() + "/lock/s3/").size(), 1u);  // only the one made above
    // The folder default now serves the folder's files with those EVs.
    openFile(photos() + "/lock/s1/b.dng");
    EXPECT_EQ(raw().useCameraWB(), 0);
    EXPECT_EQ(raw().evRed(), recordsWithSource(photos() + "/lock/s1/")[0].valueForKey("evRed").double_value());
}

TEST(UpdateFeed, Base64AndTheAddressOfACamera) {
    EXPECT_EQ(base64Encode(""), "");
    EXPECT_EQ(base64Encode("f"), "Zg==");
    EXPECT_EQ(base64Encode("fo"), "Zm8=");
    EXPECT_EQ(base64Encode("foo"), "Zm9v");
    EXPECT_EQ(base64Encode("foob"), "Zm9vYg==");
    EXPECT_EQ(base64Encode("\xff\xfe"), "//4=");
    EXPECT_EQ(updateFeedAddress("7", "CanonEOS Kiss X4"),
              std::string(kUpdateFeedBase) + "dvk_updates_64.xml?Build=7;Q2Fub25FT1MgS2lzcyBYNA==");
}

}  // namespace
}  // namespace dvk::test
