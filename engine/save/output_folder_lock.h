#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <memory>

namespace kelvane {

// Keeps other conversions of ours out of an output folder while this one
// saves day files there: two conversions into one folder would mix their
// runs' files. A second conversion waits for the first to end. The lock is
// advisory and needs no file of its own where the system can lock a folder.
class OutputFolderLock {
  public:
    // Takes the lock, calling waiting() once first when another conversion
    // holds it; gives up the wait when *stop becomes true. A folder that
    // cannot be locked at all is used unlocked.
    OutputFolderLock(const QString &folder, const std::function<void()> &waiting,
                     const std::atomic_bool *stop);
    ~OutputFolderLock();
    OutputFolderLock(const OutputFolderLock &) = delete;
    OutputFolderLock &operator=(const OutputFolderLock &) = delete;

  private:
    struct Held;
    std::unique_ptr<Held> held;
};

} // namespace kelvane
