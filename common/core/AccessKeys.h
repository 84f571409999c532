#pragma once
// Access keys: the letter of each caption that a person presses (with Alt in
// a window, alone in an open menu) to reach it, each one unique among the
// captions that share a window or a menu.
#include <cstddef>
#include <string>
#include <vector>

namespace parlux {

// For each caption, the position of its access key in it, or -1 when it has
// none. As many captions as possible get one; a caption prefers the first
// letter of a word, then its other letters and digits, in its own order (a
// path: those of its file name before those of its folders), and earlier
// captions come first. No two captions get the same key (letters are
// the same key in either case). A caption without a letter or digit, or whose
// letters all belong to others, gets none. The first fixed captions keep the
// key they take first (a menu bar's titles keep their usual letters); the
// others may be moved to another of their letters to leave a later caption
// its only one. A small letter with a tail (g, j, p, q, y) comes after the
// others of its caption: the tail hides the underline. wanted, where given,
// holds for each caption the key it is to have (0: none asked); a caption
// that holds that letter takes it before the others choose, and keeps it,
// so that sister windows give one action one key.
std::vector<int> ChooseAccessKeys(const std::vector<std::string>& captions, std::size_t fixed = 0,
                                  const std::vector<char>& wanted = {});

}  // namespace parlux
