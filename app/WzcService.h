// The competing wireless configuration service ("wzcsvc"): its state query,
// start and stop. The driver daemon simulates it.
#pragma once

namespace tarvik {

class IWzcService {
  public:
    virtual ~IWzcService() = default;
    virtual bool IsRunning() = 0;
    virtual void Start() = 0;
    virtual void Stop() = 0;
};

// The service through the driver daemon's control handle, opened for each
// request. When the daemon cannot be reached the query answers "running",
// as the service manager does for a service it cannot open.
class CDriverWzcService : public IWzcService {
  public:
    bool IsRunning() override;
    void Start() override;
    void Stop() override;
};

}  // namespace tarvik
