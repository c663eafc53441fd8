#pragma once

#include "result.h"

#include <QString>

namespace tb::pathcheck {

// What stands in the way of working on a data file, found before anything touches it.
enum class Problem {
    None,
    Missing,        // nothing there
    Undecodable,    // the stored path is no valid file name in the file system's encoding
    DanglingLink,   // a symbolic link to nothing
    Folder,         // a folder stands where the file should be
    NotAFile,       // a device, a pipe, a socket
    Unreadable,     // no permission to read the file
    FileReadOnly,   // no permission to write the file
    FolderReadOnly, // no permission to write its folder (the rewrites and the lock need it)
};

struct Finding {
    Problem problem = Problem::None;
    QString path; // the real file: links resolved
};

// The real file a path names: symbolic links are resolved, so every rewrite, lock, backup and
// restore works on the file itself in its own folder. A path that does not exist stays as it is.
QString realPath(const QString& path);

// Looks at the real file of a data path.
Finding inspect(const QString& path);

// Whether a new cash book may be made at path: in an existing, ordinary folder the user may
// write, never under /dev, /proc or /sys. With makeFolder the missing folders of the path may
// be created inside such a folder. A finding with the reason otherwise.
Result mayCreateAt(const QString& path, bool makeFolder);

} // namespace tb::pathcheck
