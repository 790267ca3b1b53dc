#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include "networks/Bssid.h"
#include "profiles/ProfileList.h"
#include "tests/core/LogCapture.h"
#include "tests/networks/BssidTestSupport.h"

namespace tarvik {
namespace {

using namespace testing_support;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// WPA whose group cipher is none of the four known ones: the best cipher is undetermined.
const Bytes kUnknownGroupWpa = Hex("dd160050f20101000050f20601000050f20201000050f202");

std::unique_ptr<CBssid> Record(const std::string& ssid, std::uint32_t privacy,
                               std::vector<Bytes> elements = {}, std::uint8_t mac = 1,
                               std::uint32_t mode = 1) {
    ndis::BssidEntryFields fields = WithElements(Fields(mac, -50, privacy), elements);
    fields.SetSsid(ssid);
    fields.infrastructureMode = mode;
    return std::make_unique<CBssid>(Entry(fields), 1);
}

TEST(NetworkKeyTest, FillFromRecordTakesClassAndCipherLevel) {
    // name, privacy, elements, adapter chosen, class, cipher level
    const std::tuple<const char*, std::uint32_t, std::vector<Bytes>, bool, std::int32_t,
                     std::uint32_t>
        rows[] = {
            {"open", 0, {}, true, 1, 1},
            {"wep", 1, {}, true, 2, 0},
            {"wpaTkip", 1, {kWpaPskTkip}, true, 3, 4},
            {"wpa2Ccmp", 1, {kRsnPskCcmp}, true, 4, 6},
            {"wpa2NoAdapter", 1, {kRsnPskCcmp}, false, 4, 1},
            {"undeterminedCipherAsksForAes", 1, {kUnknownGroupWpa}, true, 3, 6},
        };
    for (const auto& [name, privacy, elements, adapterChosen, securityClass, level] : rows) {
        SCOPED_TRACE(name);
        CNetworkKey profile;
        profile.keyLength = 9;
        profile.FillFromRecord(*Record("home", privacy, elements, 7, 0), adapterChosen);
        EXPECT_EQ(profile.SsidText() + profile.BssidText() + profile.ModeText(),
                  "home00:0c:41:82:b2:07Ad-Hoc");
        EXPECT_EQ(std::tuple(profile.securityClass, profile.cipherLevel, profile.keyLength),
                  std::tuple(securityClass, level, adapterChosen ? 0u : 9u));
    }
}

TEST(NetworkKeyTest, MatchesSameSsidModeAndClassAndWithMatchOnTheBssid) {
    CNetworkKey profile;
    profile.FillFromRecord(*Record("home", 1, {kRsnPskCcmp}), true);
    const std::tuple<const char*, std::unique_ptr<CBssid>, bool, bool> rows[] = {
        {"sameAp", Record("home", 1, {kRsnPskCcmp}), true, true},
        {"otherAp", Record("home", 1, {kRsnPskCcmp}, 2), true, false},
        {"longerSsid", Record("home2", 1, {kRsnPskCcmp}), false, false},
        {"nowWpaOnly", Record("home", 1, {kWpaPskTkip}), false, false},
        {"adHoc", Record("home", 1, {kRsnPskCcmp}, 1, 0), false, false},
        {"noEntry", std::make_unique<CBssid>(), false, false},
    };
    for (const auto& [name, record, matchesAny, matchesThisAp] : rows) {
        SCOPED_TRACE(name);
        profile.matchBssid = 0;
        EXPECT_EQ(ProfileMatches(profile, *record), matchesAny);
        profile.matchBssid = 1;
        EXPECT_EQ(ProfileMatches(profile, *record), matchesThisAp);
    }
    profile.ssidLength = 36;  // past the field: names no network
    profile.matchBssid = 0;
    EXPECT_FALSE(ProfileMatches(profile, *std::get<1>(rows[0])));
    EXPECT_EQ(profile.SsidText(), "");
}

TEST(NetworkKeyTest, KeyFromTextAndItsTexts) {
    const std::tuple<const char*, std::string, std::uint32_t, std::int32_t, int, std::string>
        rows[] = {
            {"hexTen", "0A1b2C3d4E", 2, 2, 0, "0a1b2c3d4e Hex 5"},
            {"asciiTen", "0A1b2C3d4E", 1, 3, 0, "0A1b2C3d4E ASCII 10"},
            {"badPairsKeepLeadingDigits", "1gx9zz", 2, 2, 0, "010000 Hex 3"},
            {"hexOddLength", "1gx9z", 2, 2, -1, " ASCII 0"},
            {"open", "secret", 1, 1, 0, "Not Available NA 6"},
            {"empty", "", 1, 3, -1, " ASCII 0"},
            {"above500", std::string(501, 'k'), 1, 4, -1, " ASCII 0"},
            {"hex500", std::string(500, 'f'), 2, 4, 0, std::string(500, 'f') + " Hex 250"},
            {"unknownType", "secret", 3, 4, -1, " ASCII 0"},
        };
    for (const auto& [name, text, type, securityClass, result, texts] : rows) {
        SCOPED_TRACE(name);
        CNetworkKey profile;
        profile.securityClass = securityClass;
        EXPECT_EQ(profile.SetKeyFromText(text, type), result);
        EXPECT_EQ(profile.KeyText() + " " + profile.KeyTypeText() + " " + profile.KeyLengthText(),
                  texts);
    }
    // Class and key-type texts keep the previous text for unknown values.
    CNetworkKey profile;
    std::string texts;
    for (std::int32_t value : {0, 1, 2, 3, 4, 5})
        texts += (profile.securityClass = value, profile.ClassText()) + ",";
    EXPECT_EQ(texts, ",Open,WEP,WPA,WPA2,WPA2,");
    profile.keyType = KEY_TYPE_HEX, profile.KeyTypeText(), profile.keyType = 7;
    EXPECT_EQ(profile.KeyTypeText() + profile.AutoConnectText() + profile.MatchBssidText() +
                  profile.PriorityText(),
              "HexYesNo1");
}

TEST(NetworkKeyTest, WepKeyCheckAndHexDecoding) {
    const std::pair<Result, std::vector<std::string>> wep[] = {
        {RES_WEP_KEY_VALID, {"abcde", "0123456789", "thirteen char", "0123456789ABCDEFabcdef0123"}},
        {RES_WEP_KEY_BAD_LENGTH, {"abcdef", "", "0123456789abcd"}},
        {RES_WEP_KEY_NOT_HEX, {"abcdefghij", "0123456789ABCDEFabcdef012g"}}};
    for (const auto& [result, texts] : wep)
        for (const std::string& text : texts) EXPECT_EQ(CheckWepKey(text), result) << text;
    std::array<std::uint8_t, 4> out;
    out.fill(0xee);
    EXPECT_TRUE(DecodeHexText("ff0g", out, 4));
    EXPECT_EQ(EncodeHexText(out), "ff000000");          // the rest of the output is cleared
    EXPECT_FALSE(DecodeHexText("0102030405", out, 8));  // more than the output holds
    EXPECT_FALSE(DecodeHexText("010203", out, 2));      // more than the capacity
}

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
    // Keys above 926 bytes do not fit; none past the key field, whatever the capacity.
    for (const auto& [length, capacity, result] :
         {std::tuple(926u, 1000u, 1000), {927u, 1000u, -1}, {1001u, 5000u, -1}}) {
        read.keyLength = length;
        EXPECT_EQ(read.Serialize(written, capacity), result) << length;
    }
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
    const CNetworkKey* found = nullptr;
    EXPECT_EQ(list_.FindProfile(*Record("home", 0), found), RES_PROFILE_FOUND);
    EXPECT_EQ(found, &list_.At(0));  // the first in list order
    EXPECT_EQ(list_.FindProfile(*Record("home2", 0), found), RES_PROFILE_NOT_FOUND);

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
    const CNetworkKey* found = nullptr;
    list_.FindProfile(*Record("home", 1), found);
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
