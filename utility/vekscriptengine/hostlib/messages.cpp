// Script output: debug trace, diagnostic log and message boxes.
#include <windows.h>

#include "utility/base/textconv.h"
#include "utility/base/trace.h"
#include "utility/vekscriptengine/hostlib/hostfunctions.h"
#include "utility/vekscriptengine/scriptargs.h"
#include "utility/vekscriptengine/scriptlog.h"

int Lua_Logout(lua_State* L) {
    const std::wstring text = vek::ArgText(L, 1);
    vek::Trace(L"%s", text.c_str());
    VEK_SCRIPT_LOG("log:" + vek::WideToThreadAnsi(text));
    return 0;
}

int Lua_MsgBox(lua_State* L) {
    const int argc = lua_gettop(L);
    std::wstring text, caption;
    UINT type = MB_OK;
    if (argc >= 1 && argc <= 3) text = vek::ArgText(L, 1);
    if (argc >= 2 && argc <= 3) caption = vek::ArgText(L, 2);
    if (argc == 3) type = vek::ToUInt32(L, 3);
    const int result = ::MessageBoxW(nullptr, text.c_str(), caption.c_str(), type);
    lua_pushnumber(L, result);
    return 1;
}
