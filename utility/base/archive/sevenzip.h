// Extraction of 7z archives with the 7-Zip C decoder into a folder.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

namespace vek {

// Decoder results in the SDK's numbering; anything else non-zero is a
// decoder error from opening or decoding the archive.
constexpr int kExtractOk = 0;
constexpr int kExtractMemory = 2;
// An output file could not be created, written, closed or put in place, or
// an entry was refused.
constexpr int kExtractWrite = 11;

// The decoder's result and, apart from it, the system error behind it (a
// file that could not be put in place, or the archive file that could not
// be read), as the SDK keeps `wres` apart in its file streams.
struct ExtractResult {
    int code = kExtractOk;
    DWORD systemError = 0;
    bool ok() const { return code == kExtractOk; }
};

// Why an entry was not written.
enum class EntryRefusal {
    LeavesDestination,  // root, drive, stream or ".." in its name
    RenamedByWindows,   // a device name, a trailing dot or space, an empty part
    ThroughLink,        // a folder on the way or the file is a junction or link
};

// What the extraction asks of its caller, all optional.
struct ExtractCallbacks {
    // After each file has been put in place.
    std::function<void(const std::wstring& path)> onExtracted;
    // An output file cannot be created or put in place: 0 try once more,
    // 1 skip it, anything else abort.
    std::function<int(const std::wstring& path, DWORD error)> onCreateError;
    // An entry was refused (its name as stored); the others go on.
    std::function<void(const std::wstring& name, EntryRefusal why)> onRefused;
};

// Each file is written under a temporary name beside it and moved over the
// old one when complete. A refused entry ends the extraction with
// kExtractWrite once the other entries are done; a skipped file leaves
// {kExtractWrite, its system error} unless a later file is put in place.
// None of these throws: exhausted memory is {kExtractMemory, 0}.
ExtractResult Extract7zFile(const std::wstring& archive, const std::wstring& destination,
                            const ExtractCallbacks& callbacks);
// An archive in its stored form (first two bytes exchanged), as the payload
// resource holds it; the bytes are read where they lie, never changed.
ExtractResult Extract7zStored(std::string_view stored, const std::wstring& destination,
                              const ExtractCallbacks& callbacks);

}  // namespace vek
