// vekinspect <query>...
// Prints one JSON object (UTF-8) that answers each query under the query as
// given, for tests on the Linux side that read back what an install left:
//   reg:<HKLM|HKCU|HKCR|HKU>\<subkey>  {"<value>": {"type": "REG_SZ", "data": ...}}
//   link:<file.lnk>                    target, arguments, workdir, icon, iconIndex, description
//   service:<name>                     image, startType, account, display, state
//   acl:<path>                         owner, protected, aces [{sid, type, mask, flags}]
//   procs:<image name>                 ids of the processes of that name (ignoring case)
//   folder:<CSIDL>                     SHGetFolderPathW, nothing created
//   window:<class>                     whether a top-level window of the class exists
//   foreground:                        class, title and process id of the foreground window
//   file:<path>                        size, attributes
// null where the thing is missing. Exit code 2, and no output, for a
// malformed query.
#include <windows.h>
#include <aclapi.h>
#include <fcntl.h>
#include <io.h>
#include <sddl.h>
#include <shlobj.h>

#include <cstddef>
#include <cstdio>
#include <cwchar>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/shelllinks.h"
#include "tests/support/testenv.h"
#include "utility/base/handles.h"
#include "utility/base/vekprocesstoolhelp.h"

namespace {

using Json = std::string;
using Members = std::vector<std::pair<std::wstring, Json>>;
const Json kNull = "null";

struct Malformed {};

template <typename T>
struct LocalMemory {
    static T Invalid() { return nullptr; }
    static void Close(T memory) { ::LocalFree(memory); }
};
template <typename T>
using UniqueLocal = vek::UniqueResource<T, LocalMemory<T>>;

Json Str(const std::wstring& text) {
    Json out = "\"";
    for (const char c : vektest::Utf8(text)) {
        if (c == '"' || c == '\\') {
            out += {'\\', c};
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

Json Bool(bool value) { return value ? "true" : "false"; }

Json Array(const std::vector<Json>& items) {
    Json out = "[";
    for (const Json& item : items) out += (out.size() > 1 ? ", " : "") + item;
    return out + "]";
}

Json Object(const Members& members) {
    Json out = "{";
    for (const auto& [name, value] : members) out += (out.size() > 1 ? ", " : "") + Str(name) + ": " + value;
    return out + "}";
}

// --- registry -----------------------------------------------------------------

const std::map<DWORD, const wchar_t*> kTypeNames = {
    {REG_NONE, L"REG_NONE"},   {REG_SZ, L"REG_SZ"},       {REG_EXPAND_SZ, L"REG_EXPAND_SZ"},
    {REG_BINARY, L"REG_BINARY"}, {REG_DWORD, L"REG_DWORD"}, {REG_DWORD_BIG_ENDIAN, L"REG_DWORD_BIG_ENDIAN"},
    {REG_LINK, L"REG_LINK"},   {REG_MULTI_SZ, L"REG_MULTI_SZ"}, {REG_QWORD, L"REG_QWORD"},
};

Json Hex(const std::vector<BYTE>& data) {
    Json out = "\"";
    for (const BYTE b : data) {
        char digits[3];
        snprintf(digits, sizeof digits, "%02x", b);
        out += digits;
    }
    return out + "\"";
}

// The data as UTF-16 units; a terminating null is not required (an odd last
// byte is dropped).
std::wstring Units(const std::vector<BYTE>& data) {
    std::wstring units(data.size() / sizeof(wchar_t), L'\0');
    memcpy(units.data(), data.data(), units.size() * sizeof(wchar_t));
    return units;
}

// Strings up to the first empty one or the end of the data.
Json MultiString(const std::wstring& units) {
    std::vector<Json> strings;
    for (size_t start = 0; start < units.size();) {
        const size_t end = std::min(units.find(L'\0', start), units.size());
        if (end == start) break;
        strings.push_back(Str(units.substr(start, end - start)));
        start = end + 1;
    }
    return Array(strings);
}

template <typename T>
Json Number(const std::vector<BYTE>& data) {
    if (data.size() != sizeof(T)) return Hex(data);
    T value;
    memcpy(&value, data.data(), sizeof value);
    return std::to_string(value);
}

Json RegData(DWORD type, const std::vector<BYTE>& data) {
    switch (type) {
        case REG_SZ:
        case REG_EXPAND_SZ:
            return Str(Units(data).c_str());  // up to the first null
        case REG_DWORD:
            return Number<DWORD>(data);
        case REG_QWORD:
            return Number<ULONGLONG>(data);
        case REG_MULTI_SZ:
            return MultiString(Units(data));
        default:
            return Hex(data);
    }
}

Json RegValue(DWORD type, const std::vector<BYTE>& data) {
    const auto name = kTypeNames.find(type);
    const std::wstring typeName = name != kTypeNames.end() ? name->second : std::to_wstring(type);
    return Object({{L"type", Str(typeName)}, {L"data", RegData(type, data)}});
}

Json Registry(const std::wstring& spec) {
    static const std::map<std::wstring, HKEY> roots = {
        {L"HKLM", HKEY_LOCAL_MACHINE}, {L"HKCU", HKEY_CURRENT_USER}, {L"HKCR", HKEY_CLASSES_ROOT}, {L"HKU", HKEY_USERS}};
    const size_t slash = spec.find(L'\\');
    const auto root = roots.find(spec.substr(0, slash));
    if (root == roots.end()) throw Malformed();
    const std::wstring subkey = slash == std::wstring::npos ? L"" : spec.substr(slash + 1);
    vek::UniqueKey key;
    if (::RegOpenKeyExW(root->second, subkey.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return kNull;
    Members values;
    std::vector<wchar_t> name(16384);  // the longest value name with its null
    std::vector<BYTE> data(1024);
    for (DWORD index = 0;;) {
        DWORD nameLength = static_cast<DWORD>(name.size()), size = static_cast<DWORD>(data.size()), type = 0;
        const LONG status =
            ::RegEnumValueW(key.get(), index, name.data(), &nameLength, nullptr, &type, data.data(), &size);
        if (status == ERROR_MORE_DATA && size > data.size()) {
            data.resize(size);
            continue;
        }
        if (status != ERROR_SUCCESS) break;
        values.push_back({std::wstring(name.data(), nameLength),
                          RegValue(type, std::vector<BYTE>(data.begin(), data.begin() + size))});
        ++index;
    }
    return Object(values);
}

// --- shortcuts, services --------------------------------------------------------

Json Shortcut(const std::wstring& file) {
    const vektest::Link link = vektest::ReadLink(file);
    if (!link.loaded) return kNull;
    return Object({{L"target", Str(link.path)},
                   {L"arguments", Str(link.arguments)},
                   {L"workdir", Str(link.folder)},
                   {L"icon", Str(link.icon)},
                   {L"iconIndex", std::to_string(link.iconIndex)},
                   {L"description", Str(link.description)}});
}

std::wstring Text(const wchar_t* text) { return text ? text : L""; }

Json Service(const std::wstring& name) {
    vek::UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    vek::UniqueService service(
        ::OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS));
    if (!service) return kNull;
    DWORD needed = 0;
    ::QueryServiceConfigW(service.get(), nullptr, 0, &needed);
    if (needed == 0 || needed > 65536) return kNull;  // the system's limit is 8 KB
    std::vector<BYTE> buffer(needed);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    SERVICE_STATUS status = {};
    if (!::QueryServiceConfigW(service.get(), config, needed, &needed) || !::QueryServiceStatus(service.get(), &status))
        return kNull;
    return Object({{L"image", Str(Text(config->lpBinaryPathName))},
                   {L"startType", std::to_string(config->dwStartType)},
                   {L"account", Str(Text(config->lpServiceStartName))},
                   {L"display", Str(Text(config->lpDisplayName))},
                   {L"state", std::to_string(status.dwCurrentState)}});
}

// --- security -----------------------------------------------------------------

Json SidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!sid || !::IsValidSid(sid) || !::ConvertSidToStringSidW(sid, &text)) return kNull;
    UniqueLocal<LPWSTR> owned(text);
    return Str(text);
}

// Allowed and denied entries, and the other types without an object part,
// carry their SID at the same place.
Json AceSid(const ACE_HEADER* header) {
    switch (header->AceType) {
        case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
        case ACCESS_DENIED_OBJECT_ACE_TYPE:
        case SYSTEM_AUDIT_OBJECT_ACE_TYPE:
        case SYSTEM_ALARM_OBJECT_ACE_TYPE:
        case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE:
        case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE:
        case SYSTEM_AUDIT_CALLBACK_OBJECT_ACE_TYPE:
        case SYSTEM_ALARM_CALLBACK_OBJECT_ACE_TYPE:
            return kNull;
    }
    constexpr size_t kSidOffset = offsetof(ACCESS_ALLOWED_ACE, SidStart);
    if (header->AceSize < kSidOffset + offsetof(SID, SubAuthority)) return kNull;
    auto* sid = reinterpret_cast<PSID>(reinterpret_cast<BYTE*>(const_cast<ACE_HEADER*>(header)) + kSidOffset);
    return ::IsValidSid(sid) && ::GetLengthSid(sid) <= header->AceSize - kSidOffset ? SidText(sid) : kNull;
}

Json Ace(const ACE_HEADER* header) {
    const char* type = header->AceType == ACCESS_ALLOWED_ACE_TYPE  ? "\"allow\""
                       : header->AceType == ACCESS_DENIED_ACE_TYPE ? "\"deny\""
                                                                   : "\"other\"";
    const ACCESS_MASK mask = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header)->Mask;
    return Object({{L"sid", AceSid(header)},
                   {L"type", type},
                   {L"mask", std::to_string(mask)},
                   {L"flags", std::to_string(header->AceFlags)}});
}

Json Acl(const std::wstring& path) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                &owner, nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return kNull;
    UniqueLocal<PSECURITY_DESCRIPTOR> owned(descriptor);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ::GetSecurityDescriptorControl(descriptor, &control, &revision);
    Json aces = kNull;
    if (dacl) {
        std::vector<Json> entries;
        void* ace = nullptr;
        for (DWORD i = 0; i < dacl->AceCount && ::GetAce(dacl, i, &ace); ++i)
            entries.push_back(Ace(static_cast<const ACE_HEADER*>(ace)));
        aces = Array(entries);
    }
    return Object(
        {{L"owner", SidText(owner)}, {L"protected", Bool(control & SE_DACL_PROTECTED)}, {L"aces", aces}});
}

// --- processes, folders, windows, files -------------------------------------------

Json Processes(const std::wstring& name) {
    std::vector<Json> ids;
    for (const DWORD pid : vek::ProcessIdsByName(name)) ids.push_back(std::to_string(pid));
    return Array(ids);
}

Json Folder(const std::wstring& number) {
    wchar_t* end = nullptr;
    const long csidl = wcstol(number.c_str(), &end, 10);
    if (number.empty() || *end) throw Malformed();
    wchar_t path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, static_cast<int>(csidl), nullptr, SHGFP_TYPE_CURRENT, path)) || !*path)
        return kNull;
    return Str(path);
}

Json Window(const std::wstring& className) { return Bool(::FindWindowW(className.c_str(), nullptr) != nullptr); }

Json Foreground(const std::wstring&) {
    HWND window = ::GetForegroundWindow();
    if (!window) return kNull;
    wchar_t className[256] = {}, title[512] = {};
    ::GetClassNameW(window, className, 256);
    ::GetWindowTextW(window, title, 512);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    return Object({{L"class", Str(className)}, {L"title", Str(title)}, {L"pid", std::to_string(pid)}});
}

Json File(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return kNull;
    const ULONGLONG size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return Object({{L"size", std::to_string(size)}, {L"attributes", std::to_string(data.dwFileAttributes)}});
}

Json Answer(const std::wstring& query) {
    static const std::map<std::wstring, Json (*)(const std::wstring&)> kinds = {
        {L"reg", Registry}, {L"link", Shortcut}, {L"service", Service}, {L"acl", Acl},
        {L"procs", Processes}, {L"folder", Folder}, {L"window", Window}, {L"foreground", Foreground},
        {L"file", File}};
    const size_t colon = query.find(L':');
    const auto kind = colon == std::wstring::npos ? kinds.end() : kinds.find(query.substr(0, colon));
    if (kind == kinds.end()) throw Malformed();
    return kind->second(query.substr(colon + 1));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        fputs("usage: vekinspect reg:|link:|service:|acl:|procs:|folder:|window:|foreground:|file:<what>...\n", stderr);
        return 2;
    }
    Members answers;
    for (int i = 1; i < argc; ++i) {
        try {
            answers.push_back({argv[i], Answer(argv[i])});
        } catch (const Malformed&) {
            fprintf(stderr, "vekinspect: malformed query %s\n", vektest::Utf8(argv[i]).c_str());
            return 2;
        }
    }
    const Json out = Object(answers) + "\n";
    _setmode(_fileno(stdout), _O_BINARY);
    fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
