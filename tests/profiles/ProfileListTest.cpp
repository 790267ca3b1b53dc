#include "profiles/ProfileList.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include "networks/Bssid.h"
#include "tests/core/LogCapture.h"
#include "tests/networks/BssidTestSupport.h"

namespace tarvik {
namespace {

using namespace testing_support;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr const char* kAppKey = "Software\\Tarvik\\tarvik";
constexpr const char* kKey = "Software\\Tarvik\\tarvik\\NetworkKeys";

std::unique_ptr<CNetworkKey> Profile(const std::string& ssid, std::uint32_t priority = 1) {
    auto profile = std::make_unique<CNetworkKey>();
    profile->ssidLength = static_cast<std::uint32_t>(ssid.size());
    std::copy(ssid.begin(), ssid.end(), profile->ssid.begin());
    profile->priority = priority;
    return profile;
}

std::unique_ptr<CBssid> OpenRecord(const std::string& ssid) {
    ndis::BssidEntryFields fields = Fields();
    fields.SetSsid(ssid);
    return std::make_unique<CBssid>(Entry(fields), 1);
}

std::string Ssids(const CProfileList& list) {
    std::string text;
    for (std::size_t i = 0; i < list.Size(); ++i) text += list.At(i).SsidText() + ";";
    return text;
}

class ProfileListTest : public ::testing::Test {
  protected:
    std::filesystem::path HivePath() const { return folder_.Path() / "user.reg"; }
    // A list over a second store of the same file, loaded.
    std::unique_ptr<CProfileList> Reloaded() {
        other_ = std::make_unique<RegistryStore>(HivePath(), "HKEY_CURRENT_USER");
        auto list = std::make_unique<CProfileList>(*other_, kAppKey);
        list->Load();
        return list;
    }

    TempFolder folder_;
    LogCapture log_{folder_.Path()};
    RegistryStore hive_{HivePath(), "HKEY_CURRENT_USER"};
    CProfileList list_{hive_, kAppKey};
    std::unique_ptr<RegistryStore> other_;
};

TEST_F(ProfileListTest, EveryChangeIsSavedAndLoadedBackInOrder) {
    EXPECT_TRUE(list_.Add(Profile("home", 3)));
    EXPECT_TRUE(list_.Add(Profile("office")));
    EXPECT_TRUE(list_.Add(Profile("home", 2)));
    list_.At(1).SetKeyFromText("0a0b0c0d0e", KEY_TYPE_HEX);
    list_.At(1).securityClass = 2;
    EXPECT_TRUE(list_.Add(nullptr));  // nothing added, still saved
    EXPECT_EQ(Ssids(*Reloaded()), "home;office;home;");
    EXPECT_EQ(Reloaded()->At(1).KeyText(), "0a0b0c0d0e");

    // The first match in list order.
    const CNetworkKey* found = nullptr;
    EXPECT_EQ(list_.FindProfile(*OpenRecord("home"), found), RES_PROFILE_FOUND);
    EXPECT_EQ(found, &list_.At(0));
    EXPECT_EQ(list_.FindProfile(*OpenRecord("home2"), found), RES_PROFILE_NOT_FOUND);

    // The very object again: not duplicated.
    EXPECT_TRUE(list_.Add(std::unique_ptr<CNetworkKey>(&list_.At(2))));
    EXPECT_TRUE(list_.Move(0, +1));
    EXPECT_FALSE(list_.Move(0, -1));
    EXPECT_FALSE(list_.Move(2, +1));
    EXPECT_FALSE(list_.Move(1, 2));
    EXPECT_TRUE(list_.Remove(&list_.At(2)));
    const auto reloaded = Reloaded();
    EXPECT_EQ(Ssids(*reloaded), "office;home;");
    EXPECT_EQ(reloaded->At(1).priority, 3u);
    // Values at or above "Size" stay in the store; loading never reads them.
    EXPECT_EQ(hive_.EnumerateValues(kKey).size(), 4u);
    list_.FreeAll();
    EXPECT_EQ(list_.Size(), 0u);
    EXPECT_EQ(hive_.ReadDword(kKey, "Size", 0), 2u);
}

TEST_F(ProfileListTest, AGapEndsLoadingAndAnOlderBlobIsUpgradedOnTheNextSave) {
    std::vector<std::uint8_t> older;
    auto old = Profile("old");
    old->securityClass = 3;
    old->Serialize(older);
    older.resize(50);
    older.insert(older.end(), {3, 0, 0, 0, 'k', 'e', 'y'});
    hive_.WriteBinary(kKey, "0", older);
    hive_.WriteDword(kKey, "Size", 3);
    std::vector<std::uint8_t> third;
    Profile("third")->Serialize(third);
    hive_.WriteBinary(kKey, "2", third);
    list_.Load();
    EXPECT_EQ(Ssids(list_), "old;");
    EXPECT_FALSE(list_.TakeLoadReport());
    ASSERT_TRUE(list_.Save());
    EXPECT_EQ(hive_.ReadBinary(kKey, "0")->size(), 74u + 3u);
    EXPECT_EQ(Reloaded()->At(0).KeyText(), "key");
    EXPECT_THAT(log_.Messages(), ElementsAre(HasSubstr("Pre-1.2B3")));  // not again once upgraded
}

TEST_F(ProfileListTest, AnUnreadableValueIsKeptAsStoredAndReportedOnce) {
    std::vector<std::uint8_t> damaged(60, 0);  // shorter than its fields
    damaged[0] = 7;
    hive_.WriteBinary(kKey, "0", damaged);
    hive_.WriteDword(kKey, "1", 42);  // not even a blob
    hive_.WriteDword(kKey, "Size", 2);
    list_.Load();
    ASSERT_EQ(list_.Size(), 2u);
    EXPECT_EQ(Ssids(list_), "(unreadable profile 0);(unreadable profile 1);");
    EXPECT_THAT(list_.TakeLoadReport().value_or(""),
                HasSubstr("profiles \"0\" and \"1\" in " + HivePath().string()));
    EXPECT_FALSE(list_.TakeLoadReport());
    EXPECT_THAT(log_.Messages(), ElementsAre(HasSubstr("Warn: The saved network profile \"0\""),
                                             HasSubstr("profile \"1\"")));
    const CNetworkKey* found = nullptr;
    ndis::BssidEntryFields empty = Fields();
    empty.SetSsid("");
    EXPECT_EQ(list_.FindProfile(CBssid(Entry(empty), 1), found), RES_PROFILE_NOT_FOUND);
    EXPECT_FALSE(CNetworkKey(list_.At(0)).IsUnreadable());  // a copy is an ordinary profile

    ASSERT_TRUE(list_.Add(Profile("new")));
    ASSERT_TRUE(list_.Move(0, +1));
    EXPECT_EQ(hive_.ReadBinary(kKey, "1"), damaged);
    EXPECT_EQ(hive_.ReadDword(kKey, "0", 0), 42u);
    ASSERT_TRUE(list_.Remove(&list_.At(1)));
    EXPECT_EQ(Ssids(*Reloaded()), "(unreadable profile 0);new;");
}

// However long the list, a save is one locked, atomic replacement of the hive.
TEST_F(ProfileListTest, ASaveIsOneWrite) {
    for (int i = 0; i < 20; ++i) list_.Add(Profile("net" + std::to_string(i)));
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, folder_.Path().c_str(), IN_MOVED_TO), 0);
    list_.At(0).priority = 9;
    list_.At(19).priority = 9;
    EXPECT_TRUE(list_.Save());
    alignas(inotify_event) char buffer[4096];
    int renames = 0;
    for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            renames += event->len > 0 && std::string(event->name) == "user.reg";
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    ::close(watch);
    EXPECT_EQ(renames, 1);
    EXPECT_EQ(Reloaded()->At(19).priority, 9u);
}

}  // namespace
}  // namespace tarvik
