#include "testsupport/LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <httplib.h>

#include <chrono>
#include <stdexcept>

namespace parlux::test {

LoopbackServer::LoopbackServer() : server_(std::make_unique<httplib::Server>()) {
    // Counted before the answer goes out: a client may have its whole answer,
    // and the test go on to look at the counts, before a logger would run.
    server_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
        std::lock_guard lock(mutex_);
        agents_.push_back(req.get_header_value("User-Agent"));
        ++hits_[req.path];
        return httplib::Server::HandlerResponse::Unhandled;
    });
}

LoopbackServer::~LoopbackServer() { stop(); }

void LoopbackServer::serve(const std::string& path, std::string body, int status, std::string contentType) {
    server_->Get(path, [body = std::move(body), status, contentType = std::move(contentType)](const httplib::Request&,
                                                                                              httplib::Response& res) {
        res.status = status;
        res.set_content(body, contentType.c_str());
    });
}

void LoopbackServer::handle(const std::string& path,
                            std::function<void(const httplib::Request&, httplib::Response&)> handler) {
    server_->Get(path, [handler = std::move(handler)](const httplib::Request& req, httplib::Response& res) {
        handler(req, res);
    });
}

void LoopbackServer::setWorkers(int count) {
    const auto workers = static_cast<std::size_t>(count > 0 ? count : 1);
    server_->new_task_queue = [workers] { return new httplib::ThreadPool(workers); };
}

void LoopbackServer::start() {
    // The library listens with a backlog of 5: a burst of concurrent
    // connections would wait a second for a repeated SYN. Widen it.
    int listening = -1;
    server_->set_socket_options([&listening](int sock) {
        httplib::default_socket_options(sock);
        listening = sock;
    });
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("cannot bind a loopback port");
    if (listening >= 0) ::listen(listening, 128);
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    for (int i = 0; i < 2000 && !server_->is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void LoopbackServer::stop() {
    if (thread_.joinable()) {
        server_->stop();
        thread_.join();
    }
}

std::string LoopbackServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> LoopbackServer::agents() const {
    std::lock_guard lock(mutex_);
    return agents_;
}

int LoopbackServer::hits(const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto it = hits_.find(path);
    return it == hits_.end() ? 0 : it->second;
}

int ClosedLoopbackPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        if (fd >= 0) ::close(fd);
        return 0;  // nothing can be reached on port 0 either
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    int port = ntohs(addr.sin_port);
    ::close(fd);
    return port;
}

}  // namespace parlux::test
