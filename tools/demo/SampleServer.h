#pragma once
// The sample pingers' web server: serves the files of one folder on
// 127.0.0.1 with an ephemeral port, on a thread of its own, until stopped.
// It never binds any other address.
#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace parlux::demo {

// The Last-Modified header the server sends for the file at path (as
// requested, "/echo/rlist.html") written at that time; "" for none.
std::string LastModifiedOf(const std::string& path, std::filesystem::file_time_type written);

class SampleServer {
public:
    explicit SampleServer(std::filesystem::path root);
    ~SampleServer();
    SampleServer(const SampleServer&) = delete;
    SampleServer& operator=(const SampleServer&) = delete;

    // Binds and starts listening; throws std::runtime_error when it cannot.
    void start();
    void stop();

    int port() const { return port_; }
    std::string baseUrl() const;
    int requests() const { return requests_; }
    // "GET /path -> status" for every answer other than 200.
    std::vector<std::string> failures() const;

private:
    std::filesystem::path root_;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
    std::atomic<int> requests_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> failures_;
};

}  // namespace parlux::demo
