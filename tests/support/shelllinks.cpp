#include "shelllinks.h"

#include <objbase.h>
#include <shlobj.h>

#include "utility/base/handles.h"

namespace vektest {

Link ReadLink(const std::wstring& file) {
    vek::ComScope com;
    Link link;
    vek::ComPtr<IShellLinkW> shell;
    vek::ComPtr<IPersistFile> persist;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_ALL, IID_IShellLinkW, shell.put_void())) ||
        FAILED(shell->QueryInterface(IID_IPersistFile, persist.put_void())) ||
        FAILED(persist->Load(file.c_str(), STGM_READ))) {
        return link;
    }
    wchar_t text[1024] = {};
    shell->GetPath(text, 1024, nullptr, SLGP_RAWPATH);
    link.path = text;
    shell->GetArguments(text, 1024);
    link.arguments = text;
    shell->GetWorkingDirectory(text, 1024);
    link.folder = text;
    shell->GetDescription(text, 1024);
    link.description = text;
    shell->GetIconLocation(text, 1024, &link.iconIndex);
    link.icon = text;
    return link;
}

}  // namespace vektest
