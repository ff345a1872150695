// Shell integration host functions: shortcuts, COM registration, special
// folders as environment variables, and program starts.
#include "utility/base/shell.h"
#include "utility/base/shortcuts.h"
#include "utility/vekscriptengine/hostlib/hostfunctions.h"
#include "utility/vekscriptengine/scriptargs.h"

namespace {

// Arguments 3 and 4 count only when the call passes at least four; a nil
// one is left out.
std::optional<std::wstring> ArgOptionalText(lua_State* L, int index) {
    if (lua_gettop(L) < 4 || lua_isnil(L, index)) return std::nullopt;
    return vek::ArgText(L, index);
}

}  // namespace

int Lua_CreateShortcut(lua_State* L) {
    vek::ShortcutSpec spec{vek::ArgText(L, 1), {}, ArgOptionalText(L, 3), ArgOptionalText(L, 4)};
    if (!vek::ArgExpandedPath(L, 2, L"Lua_CreateShortcut", spec.path)) return vek::PushBool(L, false);
    return vek::PushBool(L, vek::CreateShortcut(spec, L"Lua_CreateShortcut"));
}

int Lua_RegSvr32(lua_State* L) {
    std::wstring path;
    if (!vek::ArgExistingPath(L, 1, L"Lua_RegSvr32", path)) return vek::PushBool(L, false);
    return vek::PushBool(L, vek::CallRegistrationEntry(path, vek::ArgBool(L, 2), L"Lua_RegSvr32"));
}

int Lua_RegistDll(lua_State* L) {
    std::wstring path;
    if (!vek::ArgExistingPath(L, 1, L"Lua_RegistDll", path)) return vek::PushBool(L, false);
    return vek::PushBool(L, vek::StartRegistrationTool(vek::ArgText(L, 2), path));
}

int Lua_RegVarByCSIDL(lua_State* L) {
    return vek::PushBool(L, vek::SpecialFolderToEnvironment(vek::ArgText(L, 1), vek::ToInt32(L, 2)));
}

int Lua_ShellExec(lua_State* L) {
    return vek::PushBool(L, vek::ShellStartProgram(vek::ArgText(L, 1), vek::ArgText(L, 2)));
}

int Lua_ExplorerExec(lua_State* L) {
    return vek::PushBool(L, vek::LaunchViaExplorer(vek::ArgText(L, 1), vek::ArgText(L, 2)) > 31);
}

int Lua_Exec(lua_State* L) {
    const vek::ProgramRun run{vek::ArgText(L, 1), vek::ArgText(L, 2), vek::ArgText(L, 3), vek::ArgBool(L, 4),
                              vek::ArgBool(L, 5)};
    return vek::PushBool(L, vek::RunProgram(run, L"Lua_Exec"));
}
