#pragma once
// Temporary files created exclusively, so that concurrent converters and
// mails never share one.

#include <string>

#include "platform/Status.h"

namespace tarn {

// The folder for temporary files: $TMP when it names a folder, else ./tmp
// when it is a folder, else /tmp. Returned with its closing separator.
std::string TempFolder();

// Who may read a new temporary file.
enum class TempAccess {
    kPrivate,  // the owner only: scratch files, mail bodies
    kShared,   // as any new file (0666 less the umask): files renamed into place as outputs
};

// Creates a new empty file `folder` + `prefix` + <unique part> + `suffix`
// with O_EXCL and stores its path in *path. The file is closed again; the
// caller owns it and removes it.
Status CreateUniqueFile(const std::string& folder, const std::string& prefix, const std::string& suffix,
                        std::string* path, TempAccess access = TempAccess::kPrivate);

// Creates a new empty folder `folder` + `prefix` + <unique part>, readable
// and writable by the owner only, and stores its path in *path (without a
// closing separator). For files that a library writes by name: no one else
// can put a link into such a folder.
Status CreatePrivateFolder(const std::string& folder, const std::string& prefix, std::string* path);

}  // namespace tarn
