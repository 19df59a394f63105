#pragma once
// The files the mailer sends, and its password file.

#include <string>

#include "platform/Status.h"

namespace tarn::mailer {

// Reads a regular file whole. A symbolic link in the last component is
// refused, not followed: a link planted where a report or body is expected
// must not mail the file it points to. With `ownerOnly` the file must also
// belong to the caller and be closed to group and others (a password file).
Status ReadMailFile(const std::string& path, bool ownerOnly, std::string* contents);

}  // namespace tarn::mailer
