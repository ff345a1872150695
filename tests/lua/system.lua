-- System host functions and special folders. Prelude: own_args (the probe's
-- command-line arguments).
check("IsWow64 of a 64-bit installer", Lua_IsWow64(), false)

-- "the last argument" of a call without any is no argument at all
check("ExpandEnv without an argument", Lua_ExpandEnv(), "")
check("GetProcessId without an argument", Lua_GetProcessId(), -1)
check("GetImagePathByPid without an argument", select("#", Lua_GetImagePathByPid()), 0)
check("DllManager.Load without an argument", DllManager.Load(), nil)
check("GetOSVersion: the major version the system reports", Lua_GetOSVersion(), 6)
local argv = Lua_GetCommandLineArgv()
check("argv is a table", type(argv), "table")
check("argv[1] is the program", argv[1]:match("probe%.exe$") ~= nil, true)
check("arguments follow", table.concat(argv, "|", 2), own_args)
check("one fixed drive with program files", Lua_GetDriverInstallPath(), os.getenv("ProgramFiles") .. "\\")

check("SeDebugPrivilege", Lua_EnablePrivilege("SeDebugPrivilege", true), true)
check("the last two arguments count", Lua_EnablePrivilege("ignored", "SeShutdownPrivilege", false), true)
check("an unknown privilege", Lua_EnablePrivilege("SeNoSuchPrivilege", true), false)

for _, case in ipairs({{"DESKTOP", 16, "\\Desktop"}, {"COMMPROGRAMS", 23, "\\Programs"},
                       {"APPDATA_USER", 26, "\\Roaming"}, {"APPDATA_ALLUSER", 35, "\\ProgramData"}}) do
    check("RegVarByCSIDL " .. case[1], Lua_RegVarByCSIDL(case[1], case[2]), true)
    local value = Lua_ExpandEnv("%" .. case[1] .. "%")
    check("%" .. case[1] .. "% names the folder", value:sub(-#case[3]), case[3])
    check("%" .. case[1] .. "% exists", Lua_PathFileExists(value), true)
end
check("a number that names no folder", Lua_RegVarByCSIDL("VEK_NO_FOLDER", 9999), false)
check("... leaves the variable unset", Lua_ExpandEnv("%VEK_NO_FOLDER%"), "%VEK_NO_FOLDER%")

local own = Lua_GetModuleFileName()
local pid = GLibTab.kernel32:Get("GetCurrentProcessId", "uint")()
check("image path of the installer itself", Lua_GetImagePathByPid(pid):lower(), own:lower())
check("the last argument is the id", Lua_GetImagePathByPid(0, pid):lower(), own:lower())
check("no such process: no result", select("#", Lua_GetImagePathByPid(99999999)), 0)
check("no process of that name", Lua_GetProcessId("vek-no-such-process.exe"), -1)
check("TaskKill of a name nothing runs", Lua_TaskKill("vek-no-such-process.exe", nil), true)
check("TaskKill of process 0", Lua_TaskKill(0, nil), true)
check("KillAllTaskByName of nothing", Lua_KillAllTaskByName("vek-no-such-process.exe"), true)
check("names are not patterns", Lua_GetProcessId("*.exe"), -1)
check("TaskKill of a pattern ends nothing", Lua_TaskKill("*", nil), true)
check("a process id that is no number reads as a name", Lua_TaskKill({}, nil), true)
check("a service name the manager refuses", Lua_SCM("", "start"), false)
check("a service that does not exist: start", Lua_SCM("VekNoSuchService", "start"), true)
check("a service that does not exist: stop", Lua_SCM("VekNoSuchService", "stop"), true)

check_done()
