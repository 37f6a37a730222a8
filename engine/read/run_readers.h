#pragma once

#include "run/run.h"

#include <QString>

#include <memory>

namespace kelvane {

// The reader for the file at path, chosen by what the file holds.
std::unique_ptr<RunReader> makeRunReader(const QString &path, const ReadingOptions &options);

} // namespace kelvane
