#pragma once
// A cpp-httplib server on 127.0.0.1 with an ephemeral port, run on its own
// thread for the length of a test. Never binds any other address.
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace parlux::test {

class LoopbackServer {
public:
    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    // Serves body at path with status 200 (or the status given).
    void serve(const std::string& path, std::string body, int status = 200, std::string contentType = "text/html");
    // Full control over one path.
    void handle(const std::string& path, std::function<void(const httplib::Request&, httplib::Response&)> handler);
    // Requests answered at the same time (8 unless set before start()).
    void setWorkers(int count);
    // Starts listening; call after the routes are set.
    void start();
    void stop();

    int port() const { return port_; }
    std::string url(const std::string& path) const;
    // The User-Agent headers seen, in order.
    std::vector<std::string> agents() const;
    int hits(const std::string& path) const;

private:
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::vector<std::string> agents_;
    std::map<std::string, int> hits_;
};

// A port on 127.0.0.1 on which nothing listens (bound, then closed).
int ClosedLoopbackPort();

}  // namespace parlux::test
