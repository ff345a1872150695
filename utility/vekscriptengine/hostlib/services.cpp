// Lua_SCM: starts or stops a Windows service and waits, bounded, until it has.
#include "utility/base/services.h"
#include "utility/vekscriptengine/hostlib/hostfunctions.h"
#include "utility/vekscriptengine/scriptargs.h"

namespace {

// The action text, without regard to case.
vek::ServiceAction ArgAction(lua_State* L, int index) {
    const std::wstring action = vek::ArgText(L, index);
    if (_wcsicmp(action.c_str(), L"start") == 0) return vek::ServiceAction::Start;
    if (_wcsicmp(action.c_str(), L"stop") == 0) return vek::ServiceAction::Stop;
    return vek::ServiceAction::Other;
}

}  // namespace

int Lua_SCM(lua_State* L) {
    const std::wstring name = vek::ArgText(L, 1);
    return vek::PushBool(L, vek::ControlService(name, ArgAction(L, 2), L"Lua_SCM").ok);
}
