#include "tools/demo/DemoSetup.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace parlux::demo {

namespace {

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t pos = text.find(from); pos != std::string::npos; pos = text.find(from, pos + to.size()))
        text.replace(pos, from.size(), to);
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw fs::filesystem_error("cannot read", path, std::make_error_code(std::errc::io_error));
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    if (!out) throw fs::filesystem_error("cannot write", path, std::make_error_code(std::errc::io_error));
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

std::string FillPlaceholders(std::string text, int port, int downPort) {
    // @DOWNPORT@ does not contain @PORT@, so the order does not matter.
    ReplaceAll(text, "@PORT@", std::to_string(port));
    ReplaceAll(text, "@DOWNPORT@", std::to_string(downPort));
    return text;
}

void PrepareDataFolder(const fs::path& sampleData, const fs::path& folder, int port, int downPort) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy(sampleData, folder, fs::copy_options::recursive);
    const fs::path list = folder / "Pingers.lst";
    if (fs::exists(list)) WriteFile(list, FillPlaceholders(ReadFile(list), port, downPort));
}

int ClosedLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return 0;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    ::close(fd);
    return port;
}

std::vector<PageFile> ListPages(const fs::path& folder) {
    std::vector<PageFile> pages;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_regular_file(ec) || name.rfind("Comp_", 0) != 0) continue;
        if (!EndsWith(name, ".txt") && !EndsWith(name, ".html")) continue;
        pages.push_back({name, entry.file_size(ec)});
    }
    std::sort(pages.begin(), pages.end(), [](const PageFile& a, const PageFile& b) { return a.name < b.name; });
    return pages;
}

std::vector<std::string> ExpectedPages(bool withFlaggrid, bool withLockgrid) {
    std::vector<std::string> names;
    for (const char* type : {"PGP-1", "MIX-1", "PGP-2", "MIX-2"}) {
        const std::string t = type;
        names.push_back("Comp_DS_" + t + ".txt");
        names.push_back("Comp_DS_" + t + ".html");
        names.push_back("Comp_RS_" + t + ".txt");
        if (t.back() == '2') names.push_back("Comp_RC_" + t + ".txt");
    }
    if (withFlaggrid) names.push_back("Comp_RC_0000.txt");
    if (withLockgrid)
        for (const char* type : {"K-RSA", "K-DSS", "K-TY2", "K-MIX"})
            names.push_back(std::string("Comp_RK_") + type + ".txt");
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace parlux::demo
