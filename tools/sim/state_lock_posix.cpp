#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "state_lock.h"

namespace facepad::sim {

namespace {

std::string Reason()
{
    return std::strerror(errno);
}

// What the holder wrote, read through our own descriptor of the same file.
std::string Written(int file)
{
    char text[32] = {};
    const ssize_t got = pread(file, text, sizeof text, 0);
    return std::string(text, got > 0 ? static_cast<std::size_t>(got) : 0u);
}

// Written before the old text is cut, so that a reader never finds the file empty.
void WriteOwnId(int file)
{
    const std::string pid = std::to_string(getpid()) + "\n";
    if (pwrite(file, pid.data(), pid.size(), 0) == static_cast<ssize_t>(pid.size())) {
        [[maybe_unused]] const int cut = ftruncate(file, static_cast<off_t>(pid.size()));
    }
}

}  // namespace

// flock, not fcntl: fcntl locks belong to the process and vanish when any of its descriptors of
// the file closes, and they do not keep a second open within the same process out.
StateLock::StateLock(const std::string& statePath)
{
    const std::string path = StateLockPath(statePath);
    m_file = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (m_file < 0) {
        throw StoreError("cannot open " + path +
                         ", the lock file that keeps other simulators off " + statePath + ": " +
                         Reason());
    }
    if (flock(m_file, LOCK_EX | LOCK_NB) != 0) {
        const std::string why = errno == EWOULDBLOCK ? StateInUse(statePath, Written(m_file))
                                                     : "cannot lock " + path + ": " + Reason();
        close(m_file);
        throw StoreError(why);
    }
    WriteOwnId(m_file);
}

StateLock::~StateLock()
{
    close(m_file);  // lets the lock go
}

}  // namespace facepad::sim
