// Locks the output folder through a lock file of ours in it, removed when the
// conversion ends (QLockFile, which also takes over the file of a program
// that ended without removing it).

#include "save/output_folder_lock.h"

#include <QDir>
#include <QLockFile>

namespace kelvane {

struct OutputFolderLock::Held {
    explicit Held(const QString &path) : file(path) {}
    QLockFile file;
};

OutputFolderLock::OutputFolderLock(const QString &folder, const std::function<void()> &waiting,
                                   const std::atomic_bool *stop)
    : held(std::make_unique<Held>(QDir(folder).filePath(QStringLiteral(".kelvane.lock"))))
{
    bool told = false;
    while (!held->file.tryLock(50)) {
        if (held->file.error() != QLockFile::LockFailedError)
            return;
        if (!told)
            waiting();
        told = true;
        if (stop && stop->load(std::memory_order_relaxed))
            return;
    }
}

OutputFolderLock::~OutputFolderLock() = default;

} // namespace kelvane
