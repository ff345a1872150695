#include "shortcuts.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <intshcut.h>

#include "utility/base/handles.h"
#include "utility/base/paths.h"
#include "utility/base/pathtrace.h"
#include "utility/base/trace.h"

namespace vek {

namespace {

bool TraceFailure(const wchar_t* format, const std::wstring& text) {
    Trace(format, text.c_str());
    TraceError(L"");
    return false;
}

template <typename I>
bool PersistFileOf(I* object, ComPtr<IPersistFile>& file) {
    if (SUCCEEDED(object->QueryInterface(IID_IPersistFile, file.put_void()))) return true;
    TraceError(L"QueryInterface IID_IPersistFile failed!");
    return false;
}

bool UrlShortcutFile(const std::wstring& url, ComPtr<IPersistFile>& file) {
    ComPtr<IUniformResourceLocatorW> shortcut;
    if (FAILED(::CoCreateInstance(CLSID_InternetShortcut, nullptr, CLSCTX_ALL, IID_IUniformResourceLocatorW,
                                  shortcut.put_void()))) {
        TraceError(L"CoCreateInstance(CLSID_InternetShortcut) failed!");
        return false;
    }
    if (FAILED(shortcut->SetURL(url.c_str(), 0))) return TraceFailure(L"SetURL %s failed!\r\n", url);
    return PersistFileOf(shortcut.get(), file);
}

// Sets a text property; traces `failure` with the text on error.
template <typename Setter>
bool SetLinkText(Setter set, const std::wstring& text, const wchar_t* failure) {
    return SUCCEEDED(set(text.c_str())) || TraceFailure(failure, text);
}

bool SetOptionalTexts(IShellLinkW* link, const ShortcutSpec& spec) {
    if (spec.arguments && !SetLinkText([link](LPCWSTR s) { return link->SetArguments(s); }, *spec.arguments,
                                       L"SetArguments %s failed!\r\n"))
        return false;
    return !spec.description || SetLinkText([link](LPCWSTR s) { return link->SetDescription(s); },
                                            *spec.description, L"SetDescription %s failed!\r\n");
}

bool FileShortcutFile(const ShortcutSpec& spec, const wchar_t* caller, ComPtr<IPersistFile>& file) {
    std::wstring target;
    if (!ExpandPathTraced(spec.target, caller, target)) return false;
    ComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_ALL, IID_IShellLinkW, link.put_void()))) {
        TraceError(L"CoCreateInstance(CLSID_ShellLink) failed!");
        return false;
    }
    IShellLinkW* l = link.get();
    if (!SetOptionalTexts(l, spec)) return false;
    if (!SetLinkText([l](LPCWSTR s) { return l->SetPath(s); }, target, L"SetPath %s failed!\r\n")) return false;
    if (!SetLinkText([l](LPCWSTR s) { return l->SetWorkingDirectory(s); }, ParentFolder(target),
                     L"SetWorkingDirectory %s failed!\r\n"))
        return false;
    return PersistFileOf(l, file);
}

}  // namespace

bool CreateShortcut(const ShortcutSpec& spec, const wchar_t* caller) {
    ComScope com;
    const std::wstring folder = ParentFolder(spec.path);
    if (!PathExists(folder)) ShellCreateDirectory(folder);
    ComPtr<IPersistFile> file;
    const bool made = IsUrl(spec.target) ? UrlShortcutFile(spec.target, file) : FileShortcutFile(spec, caller, file);
    if (!made) return false;
    if (FAILED(file->Save(spec.path.c_str(), TRUE))) return TraceFailure(L"Save %s failed!\r\n", spec.path);
    Trace(L"Save Shortcut %s \r\n", spec.path.c_str());
    return true;
}

}  // namespace vek
