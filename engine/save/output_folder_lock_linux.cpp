// Locks the output folder itself (flock on its descriptor), so no lock file
// is ever left in it.

#include "save/output_folder_lock.h"

#include <QFile>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace kelvane {

struct OutputFolderLock::Held {
    int fd = -1;
};

OutputFolderLock::OutputFolderLock(const QString &folder, const std::function<void()> &waiting,
                                   const std::atomic_bool *stop)
    : held(std::make_unique<Held>())
{
    held->fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (held->fd < 0)
        return;
    bool told = false;
    // Polled rather than blocking, so that a stop request ends the wait.
    while (::flock(held->fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            return;
        if (!told)
            waiting();
        told = true;
        if (stop && stop->load(std::memory_order_relaxed))
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

OutputFolderLock::~OutputFolderLock()
{
    if (held->fd >= 0)
        ::close(held->fd); // lets go of the lock
}

} // namespace kelvane
