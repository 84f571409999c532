#include "fuzz/FuzzSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/core/WholeFile.h"

namespace parlux::fuzz {

namespace fs = std::filesystem;

namespace {

class Scratch {
public:
    Scratch() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/parlux-fuzz-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (!::mkdtemp(name.data())) {
            std::perror("parlux fuzz: cannot create a scratch folder");
            std::abort();
        }
        path_ = name.data();
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

}  // namespace

const fs::path& ScratchFolder() {
    static const Scratch scratch;
    return scratch.path();
}

fs::path WriteScratch(const std::string& name, const std::uint8_t* data, std::size_t size) {
    fs::path path = ScratchFolder() / name;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    Require(fd >= 0, "the scratch file cannot be created");
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = ::write(fd, data + done, size - done);
        Require(n > 0, "the scratch file cannot be written");
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return path;
}

std::string ReadScratch(const fs::path& path) {
    try {
        return ReadWholeFile(path);
    } catch (const fs::filesystem_error&) {
        return {};
    }
}

void Require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "parlux fuzz: %s\n", what);
    std::abort();
}

WorkbenchEnv QuietWorld::env() {
    return WorkbenchEnv{ScratchFolder(), ScratchFolder(), &feedback_, &messages_, &clock_, &launcher_};
}

DateTime QuietWorld::FixedClock::localNow() const { return MakeDateTime(2026, 12, 7, 12, 30, 5); }
DateTime QuietWorld::FixedClock::utcNow() const { return MakeDateTime(2026, 12, 7, 11, 30, 5); }

}  // namespace parlux::fuzz
