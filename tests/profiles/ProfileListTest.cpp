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

constexpr const char* kKey = "Software\\Tarvik\\tarvik\\NetworkKeys";
const std::string kKeyText = "13 characters";
// A WEP profile for "home" with that key, as stored: fields from offset 0, key from 74.
const Bytes kBlob = [] {
    Bytes blob = Hex("04000000 686f6d65" + std::string(56, '0') +
                     "001a2b3c4d5e 01000000 02000000 00000000 c8000000 01000000 00000000 "
                     "00000000 0d000000");
    blob.insert(blob.end(), kKeyText.begin(), kKeyText.end());
    return blob;
}();

std::unique_ptr<CNetworkKey> Profile(const std::string& ssid, std::uint32_t priority = 1) {
    auto profile = std::make_unique<CNetworkKey>();
    profile->ssidLength = static_cast<std::uint32_t>(ssid.size());
    std::copy(ssid.begin(), ssid.end(), profile->ssid.begin());
    profile->priority = priority;
    return profile;
}

// `blob`'s first 50 bytes in the older form: key length, then `key`.
Bytes Older(Bytes blob, std::uint32_t keyLength, std::size_t keyBytes) {
    blob.resize(50);
    for (int i = 0; i < 4; ++i) blob.push_back(static_cast<std::uint8_t>(keyLength >> (8 * i)));
    blob.insert(blob.end(), keyBytes, 'k');
    return blob;
}

std::string Ssids(const CProfileList& list) {
    std::string text;
    for (std::size_t i = 0; i < list.Size(); ++i) text += list.At(i).SsidText() + ";";
    return text;
}

class ProfileListTest : public ::testing::Test {
  protected:
    // A list over a second store of the same file, loaded.
    std::unique_ptr<CProfileList> Reloaded() {
        other_ = std::make_unique<RegistryStore>(hive_.FilePath(), "HKEY_CURRENT_USER");
        auto list = std::make_unique<CProfileList>(*other_, "Software\\Tarvik\\tarvik");
        list->Load();
        return list;
    }

    TempFolder folder_;
    LogCapture log_{folder_.Path()};
    RegistryStore hive_{folder_.Path() / "user.reg", "HKEY_CURRENT_USER"};
    CProfileList list_{hive_, "Software\\Tarvik\\tarvik"};
    std::unique_ptr<RegistryStore> other_;
};

TEST_F(ProfileListTest, BlobKeepsItsLayoutAndShortOnesFailWithoutReadingPastTheirEnd) {
    CNetworkKey read;
    ASSERT_EQ(read.ReadBlob(kBlob), 0);
    Bytes written;
    EXPECT_EQ(read.Serialize(written), 87);
    EXPECT_EQ(written, kBlob);
    ASSERT_EQ(read.ReadBlob(Older(kBlob, 5, 5)), 0);
    EXPECT_EQ(read.KeyText() + read.AutoConnectText() + read.PriorityText(), "kkkkkYes1");

    Bytes huge = kBlob, overField = kBlob;
    huge[73] = 0xf0;  // about four billion bytes
    overField[70] = 0xe9, overField[71] = 0x03, overField.resize(74 + 1001, 'k');  // 1001
    const std::tuple<const char*, Bytes, std::uint32_t> rows[] = {
        {"empty", {}, 6},  // 6: the key is left as it was
        {"belowTheOlderHeader", Bytes(kBlob.begin(), kBlob.begin() + 53), 6},
        {"headerCutShort", Bytes(kBlob.begin(), kBlob.begin() + 73), 6},
        {"olderWithOneByteKeyReadAsCurrent", Older(kBlob, 1, 1), 6},
        {"keyCutShort", Bytes(kBlob.begin(), kBlob.end() - 1), 0},
        {"keyLengthNearFourBillion", huge, 0},
        {"keyLongerThanItsField", overField, 0},
        {"olderKeyCutShort", Older(kBlob, 20, 19), 0},
        {"olderKeyLongerThanItsField", Older(kBlob, 1001, 1001), 0},
    };
    for (const auto& [name, blob, keyLengthAfter] : rows) {
        SCOPED_TRACE(name);
        read.SetKeyFromText("before", KEY_TYPE_ASCII);
        EXPECT_EQ(read.ReadBlob(blob), -1);
        EXPECT_EQ(read.keyLength, keyLengthAfter);
    }
    read.keyLength = 926;
    EXPECT_EQ(read.Serialize(written), 1000);
    read.keyLength = 927;
    EXPECT_EQ(read.Serialize(written), -1);
    EXPECT_TRUE(written.empty());
    read.keyLength = 1001;  // past the key field, whatever the capacity
    EXPECT_EQ(read.Serialize(written, 5000), -1);
    const auto pre =
        HasSubstr("Warn: Pre-1.2B3 saved key detected, upgrading using default settings");
    const auto small = HasSubstr("Error: Error saving key, buffer is too small");
    EXPECT_THAT(log_.Messages(), ElementsAre(pre, pre, pre, small, small));
}

TEST_F(ProfileListTest, EveryChangeIsSavedAndLoadedBackInOrder) {
    EXPECT_TRUE(list_.Add(Profile("home", 3)));
    EXPECT_TRUE(list_.Add(Profile("office")));
    EXPECT_TRUE(list_.Add(Profile("home", 2)));
    EXPECT_EQ(Ssids(*Reloaded()), "home;office;home;");
    ndis::BssidEntryFields fields = Fields();
    fields.SetSsid("home");
    const CNetworkKey* found = nullptr;
    EXPECT_EQ(list_.FindProfile(CBssid(Entry(fields), 1), found), RES_PROFILE_FOUND);
    EXPECT_EQ(found, &list_.At(0));  // the first in list order
    fields.SetSsid("home2");
    EXPECT_EQ(list_.FindProfile(CBssid(Entry(fields), 1), found), RES_PROFILE_NOT_FOUND);

    EXPECT_TRUE(list_.Add(std::unique_ptr<CNetworkKey>(&list_.At(2))));  // saved, not doubled
    EXPECT_TRUE(list_.Move(0, +1));
    EXPECT_FALSE(list_.Move(0, -1) || list_.Move(2, +1) || list_.Move(1, 2));
    // Each change is one locked, atomic replacement of the hive, however long the list.
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    // Moves from the temporary files keep the kernel from merging renames into place.
    ASSERT_GE(::inotify_add_watch(watch, folder_.Path().c_str(), IN_MOVED_FROM | IN_MOVED_TO), 0);
    EXPECT_TRUE(list_.Remove(&list_.At(2)));
    alignas(inotify_event) char events[4096];
    int renames = 0;
    const ssize_t n = ::read(watch, events, sizeof events);
    for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(events + at);
        renames += (event->mask & IN_MOVED_TO) && event->len > 0 &&
                   std::string_view(event->name) == "user.reg";
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
    EXPECT_EQ(renames, 1);
    ::close(watch);
    const auto reloaded = Reloaded();
    EXPECT_EQ(Ssids(*reloaded) + reloaded->At(1).PriorityText(), "office;home;3");
    EXPECT_EQ(hive_.EnumerateValues(kKey).size(), 4u);  // "2" above "Size" stays
}

// A stored value that cannot be read is kept as stored, in its place in the list,
// and reported once; an older blob is rewritten in the current form; a gap ends loading.
TEST_F(ProfileListTest, LoadKeepsUnreadableValuesAndUpgradesOlderBlobs) {
    Bytes damaged = kBlob;
    damaged[58] = 0, damaged[62] = 1, damaged[71] = 3;  // matches "home"; a key past the end
    hive_.WriteBinary(kKey, "0", damaged);
    hive_.WriteBinary(kKey, "1", Older(kBlob, 3, 3));
    hive_.WriteDword(kKey, "2", 42);  // not even a blob
    hive_.WriteBinary(kKey, "4", kBlob);
    hive_.WriteDword(kKey, "Size", 5);
    list_.Load();
    EXPECT_EQ(Ssids(list_), "(unreadable profile 0);home;(unreadable profile 2);");
    EXPECT_THAT(list_.TakeLoadReport().value_or(""),
                HasSubstr("profiles \"0\" and \"2\" in " + hive_.FilePath().string()));
    EXPECT_FALSE(list_.TakeLoadReport());
    ndis::BssidEntryFields fields = Fields(0x01, -50, 1);
    fields.SetSsid("home");
    const CNetworkKey* found = nullptr;
    list_.FindProfile(CBssid(Entry(fields), 1), found);
    EXPECT_EQ(found, &list_.At(1));  // not the unreadable one before it, though its fields match
    EXPECT_FALSE(CNetworkKey(list_.At(0)).IsUnreadable());  // a copy is an ordinary profile

    ASSERT_TRUE(list_.Move(0, +1));
    EXPECT_EQ(hive_.ReadBinary(kKey, "0")->size(), 74u + 3u);
    EXPECT_EQ(hive_.ReadBinary(kKey, "1"), damaged);
    EXPECT_EQ(hive_.ReadDword(kKey, "2", 0), 42u);
    ASSERT_TRUE(list_.Remove(&list_.At(1)));
    const auto reloaded = Reloaded();  // reports the one it cannot read again
    EXPECT_EQ(Ssids(*reloaded) + reloaded->At(0).KeyText(), "home;(unreadable profile 1);kkk");
    EXPECT_THAT(log_.Messages(), ElementsAre(HasSubstr("profile \"0\" under " + std::string(kKey)),
                                             HasSubstr("Pre-1.2B3"), HasSubstr("profile \"2\""),
                                             HasSubstr("profile \"1\"")));
}

}  // namespace
}  // namespace tarvik
