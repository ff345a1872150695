// Archive host functions: the payload (a 7z archive stored as resource
// "_7Z" with its first two bytes exchanged, or an archive file) extracted
// into a folder, and single resources written to files.
#include <windows.h>

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "utility/base/handles.h"
#include "utility/base/paths.h"
#include "utility/base/resources.h"
#include "utility/base/trace.h"
#include "utility/vekscriptengine/archive/sevenzip.h"
#include "utility/vekscriptengine/hostlib/hostfunctions.h"
#include "utility/vekscriptengine/luacallbackref.h"
#include "utility/vekscriptengine/scriptargs.h"
#include "utility/vekscriptengine/types/blockvalue.h"

using vek::Trace;

namespace {

const wchar_t kArchiveType[] = L"_7Z";

// A resource of this executable named by a number (16-bit id) or a text.
struct ResourceName {
    std::wstring text;
    WORD id = 0;
    LPCWSTR get() const { return text.empty() ? MAKEINTRESOURCEW(id) : text.c_str(); }
};

ResourceName ArgResourceName(lua_State* L, int index) {
    if (lua_isnumber(L, index)) return {L"", static_cast<WORD>(vek::ToUInt32(L, index))};
    std::wstring text = vek::ArgText(L, index);
    return {text.empty() ? std::wstring(L" ") : text, 0};  // an empty name finds nothing
}

// A resource of this executable, found without any trace of its own.
vek::ResourceResult OwnResource(LPCWSTR type, const ResourceName& name, std::string_view* bytes) {
    return vek::FindResourceBytes(::GetModuleHandleW(nullptr), name.get(), type, bytes);
}

void SwapFirstTwo(std::vector<unsigned char>& bytes) {
    if (bytes.size() >= 2) std::swap(bytes[0], bytes[1]);
}

int FromFile(lua_State* L, const std::wstring& destination, const vek::ExtractCallbacks& callbacks,
             bool* reported) {
    std::wstring source;
    if (!vek::ArgExpandedPath(L, 1, L"Lua_UnCompress7z", source)) return 1;
    if (!vek::PathExists(source)) {
        vek::TraceMissingPath(L"Lua_UnCompress7z", source);
        *reported = true;
        return 1;
    }
    Trace(L"UnCompress %s to %s .\r\n", source.c_str(), destination.c_str());
    vek::UniqueFile file(::CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 1;
    return vek::Extract7zFile(file.get(), destination, callbacks);
}

int FromResource(lua_State* L, const std::wstring& destination, const vek::ExtractCallbacks& callbacks,
                 bool* reported) {
    const ResourceName name = ArgResourceName(L, 1);
    std::string_view bytes;
    const vek::ResourceResult found = OwnResource(kArchiveType, name, &bytes);
    if (found == vek::ResourceResult::NotFound) {
        Trace(L"Fun:%s ,LoadResource failed!\r\n", L"Lua_UnCompress7z");
        *reported = true;
        return 1;
    }
    if (!name.text.empty()) Trace(L"UnCompress %s to %s .\r\n", name.text.c_str(), destination.c_str());
    if (found == vek::ResourceResult::NotLocked) return 2;
    std::vector<unsigned char> archive(bytes.begin(), bytes.end());  // the resource stays as it is
    SwapFirstTwo(archive);
    return vek::Extract7zMemory(std::move(archive), destination, callbacks);
}

bool UnCompress(lua_State* L, int argc) {
    std::optional<LuaCallbackRef> onError, onExtracted;
    if (argc == 5 && lua_type(L, -1) == LUA_TFUNCTION) onError.emplace(L);
    if (argc >= 4 && lua_type(L, -1) == LUA_TFUNCTION) onExtracted.emplace(L);
    vek::ExtractCallbacks callbacks;
    if (onExtracted) callbacks.onExtracted = [&](const std::wstring& path) { onExtracted->OnNotify(path); };
    if (onError) {
        callbacks.onCreateError = [&](const std::wstring& path, unsigned long error) {
            return onError->OnError(path, error);
        };
    }
    const bool fromFile = argc >= 3 && vek::ArgBool(L, 3);
    std::wstring destination;
    if (!vek::ArgExistingPath(L, 2, L"Lua_UnCompress7z", destination)) return false;
    bool reported = false;
    const int result = fromFile ? FromFile(L, destination, callbacks, &reported)
                                : FromResource(L, destination, callbacks, &reported);
    if (reported) return false;
    if (result == 0) {
        Trace(L"UnCompress successful.\r\n");
        return true;
    }
    Trace(L"Fun:%s, Description: UnCompress failed.!\r\n", L"Lua_UnCompress7z");
    return false;
}

}  // namespace

int Lua_UnCompress7z(lua_State* L) {
    const int argc = lua_gettop(L);
    if (argc < 2 || argc > 5) {
        Trace(L"Fun:%s, Description: UnCompress failed.!\r\n", L"Lua_UnCompress7z");
        return vek::PushBool(L, false);
    }
    return vek::PushBool(L, UnCompress(L, argc));
}

int Lua_ExtractResource(lua_State* L) {
    std::wstring destination;
    if (!vek::ArgExpandedPath(L, 3, L"Lua_ExtractResource", destination)) return vek::PushBool(L, false);
    const std::wstring type = vek::ArgText(L, 1);
    std::string_view bytes;
    const vek::ResourceResult found = OwnResource(type.c_str(), ArgResourceName(L, 2), &bytes);
    if (found == vek::ResourceResult::NotFound) {
        Trace(L"Fun:%s ,LoadResource failed!\r\n", L"Lua_ExtractResource");
        return vek::PushBool(L, false);
    }
    vek::UniqueFile file(
        ::CreateFileW(destination.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        Trace(L"Fun:%s ,CreateFileW %s failed!\r\n", L"Lua_ExtractResource", destination.c_str());
        return vek::PushBool(L, false);
    }
    std::vector<unsigned char> data(bytes.begin(), bytes.end());
    if (type == kArchiveType) SwapFirstTwo(data);
    DWORD written = 0;
    const bool ok = found != vek::ResourceResult::NotLocked && ::WriteFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &written,
                                                nullptr) &&
                    written == data.size();
    if (!ok) Trace(L"Fun:%s ,WriteFile %s failed!\r\n", L"Lua_ExtractResource", destination.c_str());
    return vek::PushBool(L, ok);
}
