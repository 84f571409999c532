#include "tools/demo/SampleServer.h"

#include <httplib.h>

#include <chrono>
#include <ctime>
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

std::string LastModifiedOf(const std::string& path, std::filesystem::file_time_type written) {
    // As most web servers send it, from the file's time; echo's version-1 list
    // comes from a server that writes its clock with the word "EST", and
    // charlie's version-2 Mixmaster list from one that sends none.
    if (path == "/charlie/mlist2.html") return "";
    const bool est = path == "/echo/rlist.html";
    const std::time_t t = std::chrono::system_clock::to_time_t(
        std::chrono::time_point_cast<std::chrono::system_clock::duration>(std::chrono::file_clock::to_sys(written)));
    std::tm parts{};
    ::gmtime_r(&t, &parts);
    char text[64];
    std::strftime(text, sizeof text, est ? "%a %d %b %Y %H:%M:%S EST" : "%a, %d %b %Y %H:%M:%S GMT", &parts);
    return text;
}

void SampleServer::start() {
    server_->set_file_request_handler([this](const httplib::Request& req, httplib::Response& res) {
        std::error_code ec;
        const auto written = std::filesystem::last_write_time(root_ / req.path.substr(1), ec);
        const std::string stamp = ec ? "" : LastModifiedOf(req.path, written);
        if (!stamp.empty()) res.set_header("Last-Modified", stamp);
    });
    if (!server_->set_mount_point("/", root_.string()))
        throw std::runtime_error("no folder to serve: " + root_.string());
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("cannot bind a port on 127.0.0.1");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    for (int i = 0; i < 5000 && !server_->is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
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
