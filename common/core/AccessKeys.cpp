#include "common/core/AccessKeys.h"

#include <cctype>
#include <cstddef>
#include <functional>
#include <string_view>

namespace parlux {

namespace {

bool Keyable(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

char KeyOf(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

// Its tail runs through the underline of the key.
bool HasTail(char c) { return std::string_view("gjpqy").find(c) != std::string_view::npos; }

// A caption's positions, sorted by the kind of character they hold.
struct Positions {
    std::vector<int> initials, others, tails, folders;
    std::vector<int>& of(bool folder, char c, bool initial) {
        if (folder) return folders;
        if (HasTail(c)) return tails;
        return initial ? initials : others;
    }
};

// A caption's positions in the order it prefers them, one per key. A path
// is known by its file name: its letters come first, so that where the
// folders lie does not change the key.
std::vector<int> Candidates(const std::string& caption) {
    Positions p;
    std::string seen;
    const std::size_t slash = caption.find_last_of("/\\");
    const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
    for (const std::size_t from : {name, std::size_t{0}}) {
        for (std::size_t i = from; i < (from == 0 && name > 0 ? name : caption.size()); ++i) {
            const char c = caption[i];
            if (!Keyable(c) || seen.find(KeyOf(c)) != std::string::npos) continue;
            seen += KeyOf(c);
            const bool initial = i == 0 || !Keyable(caption[i - 1]);
            p.of(from < name, c, initial).push_back(static_cast<int>(i));
        }
        if (name == 0) break;
    }
    for (const std::vector<int>* later : {&p.others, &p.tails, &p.folders})
        p.initials.insert(p.initials.end(), later->begin(), later->end());
    return p.initials;
}

// Where a caption holds the key it wants; -1 when it wants none, lacks it,
// or another caption holds it already.
int WantedAt(const std::string& caption, const std::vector<int>& candidates, char wanted,
             const std::vector<int>& holder) {
    if (wanted == 0 || holder[static_cast<unsigned char>(KeyOf(wanted))] >= 0) return -1;
    for (const int at : candidates)
        if (KeyOf(caption[static_cast<std::size_t>(at)]) == KeyOf(wanted)) return at;
    return -1;
}

}  // namespace

std::vector<int> ChooseAccessKeys(const std::vector<std::string>& captions, std::size_t fixed,
                                  const std::vector<char>& wanted) {
    const std::size_t n = captions.size();
    std::vector<std::vector<int>> candidates(n);
    for (std::size_t i = 0; i < n; ++i) candidates[i] = Candidates(captions[i]);
    std::vector<int> chosen(n, -1);
    // Which caption holds each key (upper case letters and digits).
    std::vector<int> holder(256, -1);
    // The captions that keep their key once taken: the fixed ones, and those
    // given the key they want.
    std::vector<bool> kept(n, false);

    // A caption takes a free key of its own, or one whose holder can move to
    // another (the augmenting paths of a bipartite matching): as many keys
    // as the captions' letters allow, the earlier captions served first.
    std::vector<bool> visited;
    std::function<bool(std::size_t)> place = [&](std::size_t i) {
        for (const int at : candidates[i]) {
            const auto key = static_cast<unsigned char>(KeyOf(captions[i][static_cast<std::size_t>(at)]));
            if (visited[key]) continue;
            visited[key] = true;
            const int held = holder[key];
            if (held < 0 || (!kept[static_cast<std::size_t>(held)] && place(static_cast<std::size_t>(held)))) {
                holder[key] = static_cast<int>(i);
                chosen[i] = at;
                return true;
            }
        }
        return false;
    };
    const auto take = [&](std::size_t i) {
        // First a free key, so that no earlier caption is moved off its own
        // first choice needlessly.
        for (const int at : candidates[i]) {
            const auto key = static_cast<unsigned char>(KeyOf(captions[i][static_cast<std::size_t>(at)]));
            if (holder[key] < 0) {
                holder[key] = static_cast<int>(i);
                chosen[i] = at;
                return;
            }
        }
        visited.assign(256, false);
        place(i);
    };
    for (std::size_t i = 0; i < n && i < fixed; ++i) {
        kept[i] = true;
        take(i);
    }
    for (std::size_t i = fixed; i < n && i < wanted.size(); ++i) {
        const int at = WantedAt(captions[i], candidates[i], wanted[i], holder);
        if (at < 0) continue;
        holder[static_cast<unsigned char>(KeyOf(wanted[i]))] = static_cast<int>(i);
        chosen[i] = at;
        kept[i] = true;
    }
    for (std::size_t i = fixed; i < n; ++i)
        if (chosen[i] < 0) take(i);
    return chosen;
}

}  // namespace parlux
