#include "SampleServer.h"

#include <httplib.h>

#include <chrono>
#include <stdexcept>

namespace parlux::demo {

SampleServer::SampleServer(std::filesystem::path root)
    : root_(std::move(root)), server_(std::make_unique<httplib::Server>()) {
    server_->set_logger([this](const httplib::Request& req, const httplib::Response& res) {
        ++requests_;
        if (res.status != 200) {
            std::lock_guard lock(mutex_);
            failures_.push_back(req.method + " " + req.path + " -> " + std::to_string(res.status));
        }
    });
}

SampleServer::~SampleServer() { stop(); }

void SampleServer::start() {
    if (!server_->set_mount_point("/", root_.string()))
        throw std::runtime_error("no folder to serve: " + root_.string());
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0)
        throw std::runtime_error("cannot bind a port on 127.0.0.1");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    for (int i = 0; i < 5000 && !server_->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!server_->is_running()) {
        stop();
        throw std::runtime_error("the sample server did not start");
    }
}

void SampleServer::stop() {
    if (thread_.joinable()) {
        server_->stop();
        thread_.join();
    }
}

std::string SampleServer::baseUrl() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

std::vector<std::string> SampleServer::failures() const {
    std::lock_guard lock(mutex_);
    return failures_;
}

}  // namespace parlux::demo
