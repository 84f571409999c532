#pragma once
// Nights of the three comparers over pingers served on loopback: what each
// pinger publishes is set night by night, then Pulsegrid (PGP-2), Lockgrid
// (K-TY2) and Flaggrid run their SUPER with the history's hook, as their
// programs do, over one scratch data folder.
#include <gtest/gtest.h>
#include <httplib.h>

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/core/Feedback.h"
#include "common/core/GmtOffset.h"
#include "common/core/RunLog.h"
#include "common/core/SiteConfig.h"
#include "flaggrid/CapStringsComparer.h"
#include "history/HistoryHook.h"
#include "lockgrid/KeysComparer.h"
#include "pulsegrid/StatsComparer.h"
#include "testsupport/LoopbackServer.h"
#include "testsupport/TestSupport.h"
#include "workbench/testing/WorkbenchTestSupport.h"

namespace parlux::test {

// One remailer as one pinger shows it.
struct Shown {
    std::string name;
    double uptime = 100.0;
    std::string caps = "cpunk mix pgp latent hash";
    std::string key = "0123456789abcdef0123456789abcdef";
};

// What every pinger publishes on one night; a pinger in down answers 503.
// A pinger's page may carry its own update time and the sections of broken
// chains after its table.
struct Night {
    std::map<std::string, std::vector<Shown>> pingers;
    std::vector<std::string> down;
    std::map<std::string, std::string> generated, broken;
};

inline constexpr const char* kGenerated = "Fri 30 Nov 2012 10:20:00 GMT";

inline std::string CapabilityLineOf(const Shown& r) {
    return "$remailer{&quot;" + r.name + "&quot;} = &quot;&lt;mix@" + r.name + ".example&gt; " + r.caps + "&quot;;\r\n";
}

// A version-2 Cypherpunk list with its capability lines, as a web page.
inline std::string Pgp2Page(const std::vector<Shown>& remailers, const std::string& generated = kGenerated,
                            const std::string& broken = {}) {
    std::string page = "<html><body><pre>\r\nStats-Version: 2.0\r\nGenerated: " + generated + "\r\n";
    page += "Cypherpunk   Latent-Hist   Latent  Uptime-Hist   Uptime  Options\r\n" + std::string(72, '-') + "\r\n";
    for (const auto& r : remailers) {
        char uptime[16];
        std::snprintf(uptime, sizeof uptime, "%5.1f%%", r.uptime);
        page += r.name + std::string(13 - r.name.size(), ' ') + "000000000000    :28   ++++++++++++  " + uptime +
                "  D  MHG XATLEUIN9\r\n";
    }
    page += (broken.empty() ? "" : "\r\n" + broken) + "\r\n\r\n\r\nRemailer-Capabilities:\r\n\r\n";
    for (const auto& r : remailers) page += CapabilityLineOf(r);
    return page + "</pre></body></html>\r\n";
}

// A Mix type-2 key list.
inline std::string Type2List(const std::vector<Shown>& remailers) {
    std::string list;
    for (const auto& r : remailers) list += r.name + " remailer@" + r.name + ".example " + r.key + " 2:3.0 MC\n";
    return list;
}

class NightsTest : public ::testing::Test {
protected:
    NightsTest() : clock_(MakeDateTime(2026, 12, 8, 3, 15), MakeDateTime(2026, 12, 8, 3, 15)) {
        server_.handle(R"(/(\w+)/(\w+))", [this](const httplib::Request& req, httplib::Response& res) {
            const std::lock_guard<std::mutex> lock(mutex_);
            const std::string nick = req.matches[1], file = req.matches[2];
            const auto it = night_.pingers.find(nick);
            if (it == night_.pingers.end() ||
                std::find(night_.down.begin(), night_.down.end(), nick) != night_.down.end()) {
                res.status = 503;
                return;
            }
            const auto generated = night_.generated.find(nick);
            const auto broken = night_.broken.find(nick);
            res.set_content(
                file == "rlist2"
                    ? Pgp2Page(it->second, generated == night_.generated.end() ? kGenerated : generated->second,
                               broken == night_.broken.end() ? "" : broken->second)
                    : Type2List(it->second),
                "text/html");
        });
        server_.start();
        InitGMTOffset(clock_);
        site::SetCurrent(site::SiteConfig{});
    }
    ~NightsTest() override { site::SetCurrent(site::SiteConfig{}); }

    // Pingers.lst naming each pinger's PGP-2 list and K-TY2 keys.
    void listPingers(const std::vector<std::string>& nicks) {
        std::string list;
        for (const auto& nick : nicks) {
            list += "\"PGP-2\",\"" + nick + "\",\"" + server_.url("/" + nick + "/rlist2") + "\"\r\n";
            list += "\"K-TY2\",\"" + nick + "\",\"" + server_.url("/" + nick + "/type2") + "\"\r\n";
        }
        WriteFile(data_ / "Pingers.lst", list);
    }

    WorkbenchEnv env(PagesObserver* observer) {
        return WorkbenchEnv{data_.path(), program_.path(), feedback_.get(), &messages_, &clock_, &launcher_,
                            {},           observer};
    }

    enum Comparers { kPulsegrid = 1, kLockgrid = 2, kFlaggrid = 4, kAll = 7 };

    // One night of the comparers asked for at the given GMT time; without
    // history they run without the hook.
    void runNight(const Night& night, DateTime gmt, int comparers = kAll, bool withHistory = true) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            night_ = night;
        }
        clock_.set(gmt, gmt);
        feedback_ = std::make_unique<FeedbackLines>(RunLog(program_ / "History.log"), clock_);
        feedback_->log().reset();
        history::HistoryHook hook(busyTimeoutMs_);
        PagesObserver* observer = withHistory ? &hook : nullptr;
        if (comparers & kPulsegrid) {
            StatsWorkbench stats(env(observer));
            stats.chooseType(2);  // PGP-2
            stats.SUPER();
        }
        if (comparers & kLockgrid) {
            KeysWorkbench keys(env(observer));
            keys.chooseType(2);  // K-TY2
            keys.SUPER();
        }
        if (comparers & kFlaggrid) {
            CapStringsWorkbench caps(env(observer));
            caps.SUPER();
        }
    }

    // The comparison pages of the data folder, by name.
    std::map<std::string, std::string> pages() const {
        std::map<std::string, std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(data_.path()))
            if (e.path().filename().string().starts_with("Comp_"))
                out[e.path().filename().string()] = ReadFile(e.path());
        return out;
    }

    std::string changes() const { return ReadFile(data_ / "Changes.txt"); }

    TempDir data_, program_;
    FixedClock clock_;
    RecordingMessages messages_;
    RecordingLauncher launcher_;
    std::unique_ptr<FeedbackLines> feedback_;
    LoopbackServer server_;
    std::mutex mutex_;
    Night night_;
    int busyTimeoutMs_ = history::kBusyTimeoutMs;
};

inline DateTime FirstNight() { return MakeDateTime(2026, 12, 8, 3, 15); }
inline DateTime SecondNight() { return MakeDateTime(2026, 12, 9, 3, 15); }

}  // namespace parlux::test
