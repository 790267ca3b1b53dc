// The profile list and its place in the settings store.
#include "profiles/ProfileList.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "core/EventLog.h"
#include "networks/Bssid.h"
#include "platform/RegistryStore.h"

namespace tarvik {

namespace {

constexpr const char* kSizeName = "Size";

// The stored values of the list's key by folded name.
using ValueIndex = std::unordered_map<std::string, const RegValue*>;

ValueIndex IndexValues(const std::vector<RegValue>& values) {
    ValueIndex index;
    for (const RegValue& value : values) index.emplace(FoldCase(value.name), &value);
    return index;
}

const RegValue* FindValue(const ValueIndex& index, const std::string& name) {
    const auto found = index.find(FoldCase(name));
    return found == index.end() ? nullptr : found->second;
}

std::string DescribeStoredValue(const RegValue& value) {
    if (value.type != RegType::Binary) return "not a binary value";
    return std::to_string(value.bytes.size()) + " bytes";
}

std::string JoinNames(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += (i + 1 == names.size()) ? " and " : ", ";
        text += "\"" + names[i] + "\"";
    }
    return text;
}

}  // namespace

CProfileList::CProfileList(RegistryStore& hive, std::string applicationKey)
    : hive_(hive), key_(std::move(applicationKey) + "\\NetworkKeys") {}

void CProfileList::Load() {
    profiles_.clear();
    loadReport_.reset();
    const std::vector<RegValue> values = hive_.EnumerateValues(key_);
    const ValueIndex index = IndexValues(values);
    const RegValue* size = FindValue(index, kSizeName);
    const std::uint32_t count = (size && size->type == RegType::Dword) ? size->dword : 0;
    std::vector<std::string> unreadable;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::string name = std::to_string(i);
        const RegValue* stored = FindValue(index, name);
        if (!stored) break;  // a gap ends the list
        auto profile = std::make_unique<CNetworkKey>();
        if (stored->type != RegType::Binary || profile->ReadBlob(stored->bytes) != 0) {
            LogWarn(
                "The saved network profile \"%s\" under %s could not be read (%s); it is "
                "kept as stored and not used to connect.",
                name.c_str(), key_.c_str(), DescribeStoredValue(*stored).c_str());
            profile->MarkUnreadable(*stored);
            unreadable.push_back(name);
        }
        profiles_.push_back(std::move(profile));
    }
    if (!unreadable.empty()) {
        const bool one = unreadable.size() == 1;
        loadReport_ =
            std::string(one ? "The saved network profile " : "The saved network profiles ") +
            JoinNames(unreadable) + " in " + hive_.FilePath().string() +
            (one ? " could not be read; it is" : " could not be read; they are") +
            " kept unchanged and not used to connect.";
    }
}

std::optional<std::string> CProfileList::TakeLoadReport() {
    return std::exchange(loadReport_, {});
}

bool CProfileList::Save() {
    std::vector<RegValue> values;
    values.reserve(profiles_.size() + 1);
    values.push_back(RegValue::MakeDword(kSizeName, static_cast<std::uint32_t>(profiles_.size())));
    std::vector<std::uint8_t> blob;
    for (std::size_t i = 0; i < profiles_.size(); ++i) {
        const std::string name = std::to_string(i);
        if (const RegValue* stored = profiles_[i]->StoredValue()) {
            RegValue copy = *stored;
            copy.name = name;
            values.push_back(std::move(copy));
        } else if (profiles_[i]->Serialize(blob) >= 0) {
            values.push_back(RegValue::MakeBinary(name, blob));
        }
    }
    bool allSet = true;
    const bool written = hive_.Modify(
        [&](RegHive& hive) {
            for (RegValue& value : values) allSet = hive.SetValue(key_, std::move(value)) && allSet;
        },
        "the network profiles");
    return written && allSet;
}

Result CProfileList::FindProfile(const CBssid& record, const CNetworkKey*& found) const {
    for (const auto& profile : profiles_) {
        if (ProfileMatches(*profile, record)) {
            found = profile.get();
            return RES_PROFILE_FOUND;
        }
    }
    return RES_PROFILE_NOT_FOUND;
}

bool CProfileList::Add(std::unique_ptr<CNetworkKey> profile) {
    const auto same = [&](const auto& held) { return held.get() == profile.get(); };
    if (std::any_of(profiles_.begin(), profiles_.end(), same)) {
        (void)profile.release();  // already owned by the list
    } else if (profile) {
        profiles_.push_back(std::move(profile));
    }
    return Save();
}

bool CProfileList::Remove(const CNetworkKey* profile) {
    std::erase_if(profiles_, [&](const auto& held) { return held.get() == profile; });
    return Save();
}

bool CProfileList::Move(std::size_t index, int direction) {
    if (direction != -1 && direction != 1) return false;
    if (index >= profiles_.size()) return false;
    if (direction == -1 && index == 0) return false;
    if (direction == 1 && index + 1 >= profiles_.size()) return false;
    std::swap(profiles_[index], profiles_[index + direction]);
    return Save();
}

void CProfileList::FreeAll() {
    profiles_.clear();
}

}  // namespace tarvik
