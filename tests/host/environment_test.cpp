// What a script finds in its state: the standard libraries, an empty preload
// table, the host functions that exist, and the shipped configuration.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/probe.h"

using namespace vektest;

namespace {

// Every host function that exists, as "name:function", sorted.
std::string HostFunctionList() {
    std::vector<std::string> names = {
        "Lua_UnCompress7z", "Lua_ExtractResource", "Lua_RegSvr32", "Lua_RegistDll", "Lua_RegQuery", "Lua_RegAdd", "Lua_RegDel", "Lua_CreateShortcut",
        "Lua_CreateDirectory", "Lua_CopyFile", "Lua_MoveFile", "Lua_RenameFile", "Lua_DeleteFile",
        "Lua_DeleteFileEx", "Lua_Exec", "Lua_ExplorerExec", "Lua_TaskKill", "Lua_SCM", "Lua_RegVarByCSIDL",
        "Lua_GetOSVersion", "Lua_Logout", "Lua_MsgBox", "Lua_DelFileRecursive", "Lua_DelFileRecursiveEx",
        "Lua_DeleteFileAfterReboot", "Lua_IsWow64", "Lua_GetProcessId", "Lua_ExitWindows",
        "Lua_GetModuleFileName", "Lua_GetCommandLineArgv", "Lua_EnablePrivilege", "Lua_GetTempFileName",
        "Lua_GetTempPath", "Lua_ExpandEnv", "Lua_GetImagePathByPid", "Lua_GetDriverInstallPath",
        "Lua_KillAllTaskByName", "Lua_PathFileExists", "Lua_PathYetAnotherMakeUniqueName", "Lua_ShellExec",
    };
    std::sort(names.begin(), names.end());
    std::string list;
    for (const std::string& name : names) list += (list.empty() ? "" : " ") + name + ":function";
    return list;
}

}  // namespace

TEST(ScriptEnvironment, LibrariesAndHostFunctions) {
    Probe probe;
    probe.Script(R"(
        local libs = {}
        for _, name in ipairs({"_G", "package", "coroutine", "table", "io", "os", "string", "bit32",
                               "math", "debug"}) do
            libs[#libs + 1] = name .. "=" .. tostring(package.loaded[name] ~= nil and _G[name] == package.loaded[name])
        end
        probe_record(table.concat(libs, " "))
        probe_record("preload", next(package.preload) == nil, debug.getregistry()._PRELOAD == package.preload)
        local host = {}
        for name, value in pairs(_G) do
            if name:sub(1, 4) == "Lua_" then host[#host + 1] = name .. ":" .. type(value) end
        end
        table.sort(host)
        probe_record(table.concat(host, " "))
        probe_record(_VERSION, bit32.band(0xFF, 0x0F))
        local types = {}
        for _, name in ipairs({"AString", "WString", "RawBuffer", "DllManager"}) do
            types[#types + 1] = name .. "=" .. tostring(type(_G[name]) == "table" and package.loaded[name] == _G[name])
        end
        probe_record(table.concat(types, " "), type(GLibTab), next(GLibTab) == nil))");
    probe.Run();
    EXPECT_EQ(probe.Records(),
              (std::vector<std::string>{
                  "_G=true package=true coroutine=true table=true io=true os=true string=true bit32=true "
                  "math=true debug=true",
                  "preload\ttrue\ttrue",
                  HostFunctionList(),
                  "Lua 5.2\t15",
                  "AString=true WString=true RawBuffer=true DllManager=true\ttable\ttrue",
                  "VekSE_BeforeInit"}));
}

TEST(ScriptEnvironment, ShippedConfigurationValues) {
    Probe probe;
    probe.Script(R"(
        local expected = {
            global_install_basepath = "TovikClean", global_http_Agent = "ZOLVANE2020",
            global_union_id = 13005, global_union_id_x64 = 13005, global_app_id = 201,
            global_version = "1.0.12.46", global_product_name = "TovikC盘清理",
            global_shortcut_name = "TovikC盘清理", global_product_name_inner = "TovikClean",
            global_main_app_name = "TovikCCleanerMain.exe", global_main_app_name_inner = "TovikCCleanerMain.exe",
            global_old_product_name = "TovikCCleanerMain", global_need_disk_space = 111142715,
            global_main_wnd_cls = "TovikCleanWnd",
            global_uninst_sub_key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TovikClean",
            global_reg_sub_key = "SOFTWARE\\TovikClean",
            global_reg_run_key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\TovikClean",
            global_startup_check_visable = true, global_disable_cover = false, global_cover_unionId = false,
            global_show_completewindow = true, global_uninstall_useui = true,
            global_uninstall_no_start_prompt = true, global_create_log_folder = false,
            global_udp_un_install_port = 8100, global_kf_QQQ = "", global_startuseexplorer_level = true,
            global_disable_analyze_params_from_file_name = true, global_enable_ss_install = false,
        }
        for key, value in pairs(expected) do
            if _G[key] ~= value then probe_record("mismatch", key, tostring(_G[key])) end
        end
        -- deployment values: their kind and path are fixed
        local patterns = {
            global_licence_url = "^https://[%w.-]+/licence%.html$",
            global_udp_install_uninstall_url = "^[%w.-]+$",
            global_install_PostURL = "^http://[%w.-]+/api/InstallStat$",
            global_Uninstall_PostURL = "^http://[%w.-]+/api/UnInstallStat$",
            global_Uninstall_Suggesstion_url = "^https://[%w.-]+/feed%?ruleShow=true$",
            global_Uninstall_ReasonURL = "^http://[%w.-]+/api/v1/feedback/add$",
            global_company_name = ".", global_legalcopyright = ".",
        }
        for key, pattern in pairs(patterns) do
            if type(_G[key]) ~= "string" or not _G[key]:find(pattern) then probe_record("bad", key) end
        end
        if global_AwardLnk_url ~= global_Uninstall_Suggesstion_url then probe_record("award link differs") end
        if type(global_kf_QQ) ~= "number" or #tostring(global_kf_QQ) ~= 10 then probe_record("bad kf_QQ") end
        for _, key in ipairs({"global_install_mutex_guid", "global_start_parameter", "global_merchant_id",
                              "global_custom_reg_list", "global_default_ss_install", "test_union_id",
                              "global_startup_check", "BackUpPath"}) do
            if _G[key] ~= nil then probe_record("set", key) end
        end)");
    probe.Run();
    EXPECT_EQ(probe.Records(), std::vector<std::string>{"VekSE_BeforeInit"});
}
