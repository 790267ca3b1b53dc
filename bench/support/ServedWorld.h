// A simulated driver served on a socket in a temporary folder for a
// benchmark's life, and a crowded simulated world to serve.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "driver/Backend.h"
#include "driver/DriverServer.h"
#include "driver/sim/SimBackend.h"

namespace tarvik::bench {

// Serves a backend on a socket in a temporary folder for the benchmark's life.
class ServedWorld {
  public:
    explicit ServedWorld(std::unique_ptr<driver::IBackend> backend)
        : backend_(std::move(backend)), server_(*backend_) {
        firstBinding_ = backend_->Bindings().front().deviceName;  // before the server runs
        const std::string path = folder_ + "/driver.sock";
        std::string error;
        if (!server_.Listen(path, error)) std::abort();
        setenv("TARVIK_DRIVER_SOCKET", path.c_str(), 1);
        thread_ = std::thread([this] { server_.Run(); });
    }
    ~ServedWorld() {
        server_.Stop();
        thread_.join();
        std::filesystem::remove_all(folder_);
    }

    static std::string MakeFolder() {
        char pattern[] = "/tmp/tarvik-bench-XXXXXX";
        const char* folder = mkdtemp(pattern);
        if (!folder) std::abort();
        return folder;
    }

    const std::string& FirstBinding() const { return firstBinding_; }

  private:
    std::string folder_ = MakeFolder();
    std::unique_ptr<driver::IBackend> backend_;
    driver::DriverServer server_;
    std::string firstBinding_;
    std::thread thread_;
};

// A simulated card that sees `count` WPA2 access points on channel 6.
inline std::unique_ptr<driver::IBackend> CrowdedWorld(int count) {
    const std::string path = std::filesystem::temp_directory_path() / "tarvik-bench-crowd.json";
    {
        std::ofstream out(path);
        out << "{ \"adapters\": [ {} ], \"accessPoints\": [\n";
        for (int i = 0; i < count; ++i) {
            char bssid[18];
            std::snprintf(bssid, sizeof(bssid), "00:18:39:%02x:%02x:%02x", (i >> 16) & 0xff,
                          (i >> 8) & 0xff, i & 0xff);
            out << (i ? ",\n" : "") << "{ \"bssid\": \"" << bssid << "\", \"ssid\": \"Survey-" << i
                << "\", \"channel\": 6, \"security\": \"wpa2-psk\" }";
        }
        out << "\n] }\n";
    }
    std::string error;
    auto backend = driver::CreateSimBackend(path, error);
    std::filesystem::remove(path);
    if (!backend) {
        std::fprintf(stderr, "crowded world: %s\n", error.c_str());
        std::abort();
    }
    return backend;
}

}  // namespace tarvik::bench
