#pragma once

// The next free name for a file whose name is taken where it is to go: an
// offloaded file never replaces another, it lands beside it numbered.

#include <cstddef>
#include <functional>
#include <string>

namespace tidyfold::fs {

inline constexpr std::size_t kNameMax = 255;
// A folder holding this many files of one name has a problem no number fixes.
inline constexpr int kMaxNumber = 10000;

// The n-th name tried for name: the name itself for n 1, then
// "stem (n).ext". The extension is the text from the last dot, unless that
// dot opens the name: "a.tar.gz" gives "a.tar (2).gz", ".bashrc" gives
// ".bashrc (2)", "README" gives "README (2)", "notes." gives "notes (2).".
// The stem is shortened (never splitting a UTF-8 character) so the whole
// fits in room bytes.
std::string NumberedName(const std::string& name, int n, std::size_t room = kNameMax);

// What a transfer does when its name is taken.
enum class Clash {
    Fail,          // EEXIST, as a plain no-replace move
    NextFreeName,  // "name (2).ext", "name (3).ext", ...
};

// Tries claim with name and, with Clash::NextFreeName, then with
// "name (2)..." (shortened to fit), and so on while claim answers EEXIST; claim must fail with
// EEXIST when the name exists, so the name is claimed without a race.
// Returns claim's 0 or errno; placed receives the name claimed (empty when
// none was).
int ClaimName(const std::string& name, Clash clash, const std::function<int(const std::string&)>& claim,
              std::string& placed);

// Cuts text to at most size bytes without splitting a UTF-8 character.
std::string CutAt(const std::string& text, std::size_t size);

}  // namespace tidyfold::fs
