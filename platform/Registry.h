#pragma once
// A small registry kept in files. Every key is a folder below the root folder,
// every value a file in its key's folder that holds the value's data: a
// string as its bytes, a number (DWORD) as its decimal text. The unnamed
// (default) value of a key is the file "(default)".
//
// Key paths name the keys from the hive down, separated by backslashes:
// "HKEY_CLASSES_ROOT\AppID\{...}". Key and value names that could leave their
// folder ("", ".", "..", or holding '/') are refused.
//
// Errors carry the errno value as their code (ENOENT when a key or value does
// not exist). Writes replace a value file atomically (write, then rename), so a
// reader never sees half a value. Safe to use from several threads; the
// folders are the only state.

#include <cstdint>
#include <string>
#include <utility>

#include "platform/Status.h"

namespace tarn {

// Environment variable that overrides the registry's root folder.
inline constexpr const char* kRegistryRootVariable = "TARN_REGISTRY_ROOT";
// Root folder used when the variable is not set.
inline constexpr const char* kDefaultRegistryRoot = "/var/lib/TARNSvr/registry";
// File name that holds a key's unnamed value.
inline constexpr const char* kDefaultValueFile = "(default)";

class Registry {
  public:
    explicit Registry(std::string root) : root_(std::move(root)) {}
    // The registry at $TARN_REGISTRY_ROOT, or at the default root.
    static Registry FromEnvironment();

    const std::string& root() const { return root_; }

    // Succeeds when the key exists.
    Status OpenKey(const std::string& key) const;
    // Creates the key and every missing key above it; an existing key is fine.
    Status CreateKey(const std::string& key) const;
    // Deletes the key with all its values and subkeys; a missing key is fine.
    Status DeleteKeyTree(const std::string& key) const;

    // Reads a value (its whole data); `name` "" is the unnamed value.
    Status ReadString(const std::string& key, const std::string& name, std::string* value) const;
    // Writes a value into an existing key.
    Status WriteString(const std::string& key, const std::string& name, const std::string& value) const;
    Status WriteDword(const std::string& key, const std::string& name, std::uint32_t value) const;
    // Deletes a value; fails with ENOENT when it does not exist.
    Status DeleteValue(const std::string& key, const std::string& name) const;

    // The folder of a key, or the file of a value (for operators and tests).
    Status KeyFolder(const std::string& key, std::string* folder) const;

  private:
    Status ValueFile(const std::string& key, const std::string& name, std::string* file) const;

    std::string root_;
};

}  // namespace tarn
