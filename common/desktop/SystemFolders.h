#pragma once
// The system's folders that the suite asks for: the shared libraries' folder,
// and a folder for this user's sockets and locks.
#include <string>

namespace parlux {

// The folder of the system's shared libraries.
std::string SystemDirectory();

// A folder for this user's sockets and locks that no other user can reach:
// $XDG_RUNTIME_DIR when it is such a folder, else "parlux-<uid>" in the temp
// folder, created with mode 0700 or, when it is there already, taken only when
// lstat shows a real folder (not a link) owned by this user and closed to
// everyone else. Its mode is never changed unless this call created it.
// Empty when there is none; problem then says why.
std::string PrivateRuntimeFolder(std::string* problem = nullptr);

// Whether $XDG_RUNTIME_DIR is set and such a private folder; problem says why not.
bool XdgRuntimeFolderIsPrivate(std::string* problem);

}  // namespace parlux
