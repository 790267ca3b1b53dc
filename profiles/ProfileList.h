// The ordered list of network profiles, stored under "<application
// key>\NetworkKeys": the DWORD "Size" and one binary value per profile named
// by its index in decimal. Every change saves the whole list in one atomic
// write of the hive. Used on one thread (the GUI's, or the command line's).
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/ResultCodes.h"
#include "profiles/NetworkKey.h"

namespace tarvik {

class RegistryStore;

class CProfileList {
  public:
    // `applicationKey` is the settings' application key; the list lives in
    // its "NetworkKeys" subkey of `hive`.
    CProfileList(RegistryStore& hive, std::string applicationKey);

    // Replaces the content with the profiles in the store. A value that cannot
    // be read is still added, as an unreadable profile (CNetworkKey::IsUnreadable)
    // that keeps the stored value for every later save; each is logged (Warn).
    void Load();
    // One sentence about the values the last Load could not read, once; the
    // front ends show it.
    std::optional<std::string> TakeLoadReport();
    // Writes the whole list; false when the hive could not be written.
    bool Save();

    // RES_PROFILE_FOUND with `found` set to the first match in list order, or
    // RES_PROFILE_NOT_FOUND.
    Result FindProfile(const CBssid& record, const CNetworkKey*& found) const;

    // Appends and saves; a profile already in the list is not added again (the
    // list keeps owning it).
    bool Add(std::unique_ptr<CNetworkKey> profile);
    // Takes the profile (compared by address) out, destroys it and saves.
    bool Remove(const CNetworkKey* profile);
    // Moves the profile at `index` one place up (-1) or down (+1) and saves;
    // false when it cannot move.
    bool Move(std::size_t index, int direction);
    // Destroys every profile without saving (exit).
    void FreeAll();

    std::size_t Size() const { return profiles_.size(); }
    const CNetworkKey& At(std::size_t index) const { return *profiles_[index]; }
    CNetworkKey& At(std::size_t index) { return *profiles_[index]; }

  private:
    RegistryStore& hive_;
    std::string key_;
    std::vector<std::unique_ptr<CNetworkKey>> profiles_;
    std::optional<std::string> loadReport_;
};

}  // namespace tarvik
