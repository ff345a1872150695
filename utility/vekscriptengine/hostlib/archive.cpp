// Archive host functions: the payload (a 7z archive stored as resource
// "_7Z" with its first two bytes exchanged, or an archive file) extracted
// into a folder, and single resources written to files.
#include <windows.h>

#include <optional>
#include <string_view>

#include "utility/base/archive/resourcefile.h"
#include "utility/base/archive/sevenzip.h"
#include "utility/base/paths.h"
#include "utility/base/trace.h"
#include "utility/vekscriptengine/hostguard.h"
#include "utility/vekscriptengine/hostlib/hostfunctions.h"
#include "utility/vekscriptengine/luacallbackref.h"
#include "utility/vekscriptengine/scriptargs.h"
#include "utility/vekscriptengine/types/blockvalue.h"

using vek::Trace;

namespace {

// What the script sees of a failed extraction; set when the failure was
// already traced in its own words.
struct Outcome {
    vek::ExtractResult result;
    bool reported = false;
};

vek::ResourceName ArgResourceName(lua_State* L, int index) {
    if (lua_isnumber(L, index)) return {L"", static_cast<WORD>(vek::ToUInt32(L, index))};
    std::wstring text = vek::ArgText(L, index);
    return {text.empty() ? std::wstring(L" ") : text, 0};  // an empty name finds nothing
}

bool TraceFailed() {
    Trace(L"Fun:%s, Description: UnCompress failed.!\r\n", L"Lua_UnCompress7z");
    return false;
}

void TraceRefused(const std::wstring& name, vek::EntryRefusal why) {
    switch (why) {
        case vek::EntryRefusal::LeavesDestination:
            Trace(L"Fun:Lua_UnCompress7z, Description:entry %s leaves the destination, refused!\r\n", name.c_str());
            break;
        case vek::EntryRefusal::RenamedByWindows:
            Trace(L"Fun:Lua_UnCompress7z, Description:entry %s is a name Windows would change, refused!\r\n",
                  name.c_str());
            break;
        case vek::EntryRefusal::ThroughLink:
            Trace(L"Fun:Lua_UnCompress7z, Description:entry %s goes through a link, refused!\r\n", name.c_str());
            break;
    }
}

Outcome FromFile(lua_State* L, const std::wstring& destination, const vek::ExtractCallbacks& callbacks) {
    std::wstring source;
    if (!vek::ArgExpandedPath(L, 1, L"Lua_UnCompress7z", source)) return {{1, 0}};
    if (!vek::PathExists(source)) {
        vek::TraceMissingPath(L"Lua_UnCompress7z", source);
        return {{1, 0}, true};
    }
    Trace(L"UnCompress %s to %s .\r\n", source.c_str(), destination.c_str());
    return {vek::Extract7zFile(source, destination, callbacks)};
}

Outcome FromResource(lua_State* L, const std::wstring& destination, const vek::ExtractCallbacks& callbacks) {
    const vek::ResourceName name = ArgResourceName(L, 1);
    std::string_view stored;
    const vek::ResourceResult found = vek::FindOwnResource(vek::kArchiveResourceType, name, &stored);
    if (found == vek::ResourceResult::NotFound) {
        Trace(L"Fun:%s ,LoadResource failed!\r\n", L"Lua_UnCompress7z");
        return {{1, 0}, true};
    }
    if (!name.text.empty()) Trace(L"UnCompress %s to %s .\r\n", name.text.c_str(), destination.c_str());
    if (found == vek::ResourceResult::NotLocked) return {{vek::kExtractMemory, 0}};
    return {vek::Extract7zStored(stored, destination, callbacks)};
}

bool UnCompress(lua_State* L, int argc) {
    std::optional<LuaCallbackRef> onError, onExtracted;
    if (argc == 5 && lua_type(L, -1) == LUA_TFUNCTION) onError.emplace(L);
    if (argc >= 4 && lua_type(L, -1) == LUA_TFUNCTION) onExtracted.emplace(L);
    vek::ExtractCallbacks callbacks;
    if (onExtracted) callbacks.onExtracted = [&](const std::wstring& path) { onExtracted->OnNotify(path); };
    if (onError) {
        callbacks.onCreateError = [&](const std::wstring& path, DWORD error) { return onError->OnError(path, error); };
    }
    callbacks.onRefused = TraceRefused;
    const bool fromFile = argc >= 3 && vek::ArgBool(L, 3);
    std::wstring destination;
    if (!vek::ArgExistingPath(L, 2, L"Lua_UnCompress7z", destination)) return false;
    const Outcome outcome = fromFile ? FromFile(L, destination, callbacks) : FromResource(L, destination, callbacks);
    if (outcome.reported) return false;
    if (outcome.result.ok()) {
        Trace(L"UnCompress successful.\r\n");
        return true;
    }
    return TraceFailed();
}

bool ExtractResource(lua_State* L) {
    std::wstring destination;
    if (!vek::ArgExpandedPath(L, 3, L"Lua_ExtractResource", destination)) return false;
    const std::wstring type = vek::ArgText(L, 1);
    switch (vek::WriteResourceToFile(type.c_str(), ArgResourceName(L, 2), destination)) {
        case vek::ResourceWrite::Ok:
            return true;
        case vek::ResourceWrite::NotFound:
            Trace(L"Fun:%s ,LoadResource failed!\r\n", L"Lua_ExtractResource");
            break;
        case vek::ResourceWrite::NotCreated:
            Trace(L"Fun:%s ,CreateFileW %s failed!\r\n", L"Lua_ExtractResource", destination.c_str());
            break;
        case vek::ResourceWrite::NotWritten:
            Trace(L"Fun:%s ,WriteFile %s failed!\r\n", L"Lua_ExtractResource", destination.c_str());
            break;
    }
    return false;
}

}  // namespace

int Lua_UnCompress7z(lua_State* L) {
    const int argc = lua_gettop(L);
    if (argc < 2 || argc > 5) return vek::PushBool(L, TraceFailed());
    return vek::PushBool(L, vek::FailOnNativeException([&] { return UnCompress(L, argc); }, TraceFailed));
}

int Lua_ExtractResource(lua_State* L) {
    return vek::PushBool(L, vek::FailOnNativeException([&] { return ExtractResource(L); }, [] { return false; }));
}
