// Unix symbolic links inside the test prefix, for cases about links that a
// Windows program under Wine cannot make: CreateSymbolicLinkW succeeds and
// creates nothing. Wine shows a link to a folder as a reparse point and a
// link to a file as a plain file, and Windows calls on a link's name reach
// what it points at (even DeleteFileW), so links are removed from the Linux
// side too.
#pragma once

#include <string>

namespace vektest {

// Runs `command` with /bin/sh in `folder` and waits for its end. Wine starts
// a Unix program but gives no process to wait on: the command removes a
// marker folder when done, and the marker's going is polled for.
bool RunUnixShell(const std::wstring& folder, const std::wstring& command);

// Makes `folder\name` a link to `target`, a Unix path (relative to `folder`
// or absolute) of something that exists.
bool MakeUnixLink(const std::wstring& folder, const std::wstring& name, const std::wstring& target);

// Removes `path` and everything below it, links as links.
bool RemoveUnixTree(const std::wstring& path);

// The Unix path of a Windows path in the prefix (Wine's
// wine_get_unix_file_name); empty when there is none.
std::wstring UnixPath(const std::wstring& path);

// RemoveUnixTree at the end of a scope, before a TempDir removes the rest.
class UnixTreeRemoval {
public:
    explicit UnixTreeRemoval(std::wstring path) : path_(std::move(path)) {}
    ~UnixTreeRemoval() { RemoveUnixTree(path_); }
    UnixTreeRemoval(const UnixTreeRemoval&) = delete;
    UnixTreeRemoval& operator=(const UnixTreeRemoval&) = delete;

private:
    std::wstring path_;
};

}  // namespace vektest
