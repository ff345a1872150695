// A file written under a temporary name in the folder of its final path and
// moved over the final path only when complete, so that a failed or
// interrupted write leaves the old file as it was. The temporary file is
// removed on every path that does not put it in place.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "utility/base/handles.h"

namespace vek {

class ReplacingFile {
public:
    explicit ReplacingFile(std::wstring finalPath) : final_(std::move(finalPath)) {}
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    // The temporary file goes with the move: only the new owner removes it.
    ReplacingFile(ReplacingFile&& other) noexcept;

    // Creates the temporary file; 0 or the system error.
    DWORD Create();
    // Writes in pieces of at most 4 MiB; false on an error or a short write.
    bool Write(const void* data, size_t size);
    void SetLastWriteTime(const FILETIME& time);
    bool Close();
    // Moves the closed temporary file over the final path, a read-only old
    // file included; 0 or the system error (the old file then stays as it
    // was). May be tried again.
    DWORD Place();

    const std::wstring& FinalPath() const { return final_; }

private:
    void Discard();

    std::wstring final_;
    std::wstring temp_;
    UniqueFile file_;
    bool placed_ = false;
};

}  // namespace vek
