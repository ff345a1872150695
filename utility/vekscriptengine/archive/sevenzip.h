// Extraction of 7z archives with the 7-Zip C decoder.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace vek {

// What the extraction asks of its caller, both optional.
struct ExtractCallbacks {
    // After each file has been written and closed.
    std::function<void(const std::wstring& path)> onExtracted;
    // An output file cannot be created: 0 try once more, 1 skip it, anything
    // else abort.
    std::function<int(const std::wstring& path, unsigned long error)> onCreateError;
};

// Result codes: 0 success, 2 memory exhausted, 11 an output file could not
// be created, written or closed (or an entry named a path outside the
// destination), other values decoder errors; a skipped file leaves its system
// error number as the result unless a later file is written.
int Extract7zFile(void* fileHandle, const std::wstring& destination, const ExtractCallbacks& callbacks);
// The archive in memory; the bytes are used as they are (a private copy).
int Extract7zMemory(std::vector<unsigned char> archive, const std::wstring& destination,
                    const ExtractCallbacks& callbacks);

}  // namespace vek
