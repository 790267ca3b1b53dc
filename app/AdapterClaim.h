// One front end per adapter: whichever program (the window or tarvik-cli)
// has an adapter chosen claims it, and another program that chooses the same
// adapter is refused with the holder's name, so two programs never set the
// same card's OIDs against each other.
#pragma once

#include <filesystem>
#include <string>

#include "platform/HolderLock.h"

namespace tarvik {

class CAdapter;

class IAdapterClaim {
  public:
    virtual ~IAdapterClaim() = default;
    // Claims `adapter` for this program, releasing the one claimed before
    // (null: releases only). Empty when claimed; otherwise the refusal for
    // the user, e.g. "Tarvik is already using adapter X (tarvik-cli,
    // process N); close it first.".
    virtual std::string Claim(const CAdapter* adapter) = 0;
};

// The claim as a lock file per adapter, "adapter-<GUID>.lock" in `folder`
// (DefaultInstanceFolder() in the programs). A folder that cannot be used
// never keeps the program from its adapter.
class CAdapterClaim : public IAdapterClaim {
  public:
    // `program` is the name the refusal shows another program.
    CAdapterClaim(std::filesystem::path folder, std::string program);
    std::string Claim(const CAdapter* adapter) override;

  private:
    std::filesystem::path folder_;
    std::string program_;
    CHolderLock lock_;
};

// The lock file's name for a device name "\DEVICE\{GUID}": its last part,
// with anything but letters, digits, braces, '-' and '_' made '_'.
std::string AdapterLockFileName(const std::string& deviceName);

// "Tarvik is already using adapter <name> (<program>, process <pid>); close
// it first." with what is known of the holder.
std::string AdapterRefusalText(const std::string& adapterName, const LockHolder& holder);

}  // namespace tarvik
