#pragma once

#include <QString>

// Asks ext4 to place each subfolder of `folder` in a block group of its own,
// away from inodes freed recently by this or another program. Other file
// systems ignore or refuse it, which is fine.
void SpreadSubfolders(const QString &folder);
