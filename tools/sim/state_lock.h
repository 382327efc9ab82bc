// Keeps a second simulator off a state file that one is using: an exclusive lock on the file
// beside it (the state's path and ".lock"), which the system lets go when the holding process
// ends, however it ends. The holder writes its process id into that file so that a refused
// simulator can name it. The file stays; only the lock on it counts.
#pragma once

#include <string>

#include "sqlite_db.h"

namespace facepad::sim {

class StateLock {
public:
    // Throws StoreError naming the state and the process that holds it, or saying why the lock
    // file cannot be used.
    explicit StateLock(const std::string& statePath);
    ~StateLock();
    StateLock(const StateLock&) = delete;
    StateLock& operator=(const StateLock&) = delete;

private:
#ifdef _WIN32
    void* m_file = nullptr;  // a HANDLE
#else
    int m_file = -1;
#endif
};

// The lock file of the state at `statePath`.
std::string StateLockPath(const std::string& statePath);
// Why a simulator may not use the state, naming the holder from what it wrote in the lock file.
std::string StateInUse(const std::string& statePath, const std::string& lockFileText);

}  // namespace facepad::sim
