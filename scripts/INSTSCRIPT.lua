-- Install logic of TovikClean. The host runs the configuration chunk first,
-- then this chunk, then the five VekSE_* events in order: BeforeInit decides
-- folder, channel numbers and switches; BeforeInstall creates the folder;
-- OnInstall puts the product in place; BeforeComplete registers the service,
-- starts the product where asked and reports the install.

local script_version = "1.0.11.18"
local msgbox_title = string.format("%s - 安装", global_product_name)
local oem_union_id = 13000
local reboot_del_dir = Lua_ExpandEnv("%TMP%")
local installed_union_id = 0
local service_exe_name = "divaruzov.exe"
local get_file_title, get_file_name, install_service, remove_service, on_extract_error

-- remove_service gives up on a service process that survives this many kills.
local service_kill_attempts = 20

is_upgrade = false
global_ss_install = false
global_ss_run = false

-- 32-bit installer on 64-bit Windows: the shell folders are reached with
-- the file-system redirection switched off.
fsredir = {
    IsNeed = Lua_GetOSVersion() > 5 and Lua_IsWow64() == true,
    Wow64DisableWow64FsRedirection = GLibTab.kernel32:Get("Wow64DisableWow64FsRedirection", "int"),
    Wow64RevertWow64FsRedirection = GLibTab.kernel32:Get("Wow64RevertWow64FsRedirection", "int"),
}
if fsredir.IsNeed then
    fsredir.pOld = RawBuffer.New(4)
end

function fsredir:Disable()
    if self.IsNeed then
        self.Wow64DisableWow64FsRedirection(self.pOld)
    end
end

function fsredir:Revert()
    if self.IsNeed then
        self.Wow64RevertWow64FsRedirection(self.pOld:OffsetGetAsUInt32(0))
    end
end

-- ---- general functions ------------------------------------------------------

function Sleep(ms)
    GLibTab.Kernel32:Get("Sleep")(ms)
end

function path_unquote_spaces(s)
    return (string.gsub(s, '^"*(.-)"*$', "%1"))
end

-- Pieces of s cut at every match of the pattern sep, and their count.
function Split(s, sep)
    Lua_Logout("FullString:" .. s)
    local pieces, count, start = {}, 0, 1
    while true do
        local first, last = string.find(s, sep, start)
        if first == nil or last < first then
            break
        end
        count = count + 1
        pieces[count] = string.sub(s, start, first - 1)
        start = last + 1
    end
    count = count + 1
    pieces[count] = string.sub(s, start)
    return pieces, count
end

function paht_remove_filename(path)
    local folder = string.match(path, "^(%a:\\.+)\\[^\\]*$")
    if folder ~= nil then
        return folder
    end
    return string.sub(path, 1, 3)
end

get_file_name = function(path)
    return string.match(path, ".*\\([^\\]+.*)$") or path
end

get_file_title = function(path)
    local name = string.match(path, ".+\\([^\\]*%.%w+)$")
    if name == nil then
        return get_file_name(path)
    end
    local dot = string.match(name, ".+()%.%w+$")
    if dot == nil then
        return name
    end
    return string.sub(name, 1, dot - 1)
end

function FindWnd(class, title)
    local FindWindowW = GLibTab.User32:Get("FindWindowW", "int")
    local wclass, wtitle = nil, nil
    if class ~= nil then
        wclass = WString.New(nil, class)
    end
    if title ~= nil then
        wtitle = WString.New(nil, title)
    end
    return FindWindowW(wclass, wtitle)
end

function GetCurrentProcessId()
    return GLibTab.Kernel32:Get("GetCurrentProcessId", "int")()
end

function CheckPathExist(path)
    local PathFileExistsA = GLibTab.Shlwapi:Get("PathFileExistsA", "int")
    if PathFileExistsA == nil then
        return 0
    end
    return PathFileExistsA(AString.New(nil, path))
end

-- A stored union id that is not a number counts as none.
function GetCurrentUnionID()
    local union_id = Lua_RegQuery("HKCU", global_reg_sub_key, "UnionId")
    Lua_Logout("union_id=" .. tostring(union_id))
    if union_id == nil then
        union_id = Lua_RegQuery("HKLM", global_reg_sub_key, "UnionId")
        Lua_Logout("union_id=" .. tostring(union_id))
    end
    if union_id == nil then
        return 0
    end
    return tonumber(union_id) or 0
end

function CheckUnionID()
    return GetCurrentUnionID() ~= global_union_id
end

-- Digits after the last "-" that follows an "_" in the installer's name,
-- as in Setup_ch-77.exe.
function GetUnionByPkgName()
    return string.match(get_file_name(Lua_GetModuleFileName()), "^.*_.*%-(%d+).*%..*$")
end

-- <product>_<union id>_<anything>.exe names its channel (13000 to 13999).
function AnalyzeParam()
    local pieces, count = Split(get_file_title(Lua_GetModuleFileName()), "_")
    if count ~= 3 then
        return
    end
    if string.lower(pieces[1]) ~= string.lower(global_product_name_inner) then
        return
    end
    local union_id = tonumber(pieces[2])
    if union_id == nil or union_id < 13000 or union_id >= 14000 then
        return
    end
    global_union_id = union_id
    Lua_Logout("union_id:-----------2" .. union_id)
end

function InitCommandLineArgv()
    for _, arg in ipairs(Lua_GetCommandLineArgv() or {}) do
        local first = string.sub(arg, 1, 1)
        if (first == "-" or first == "/") and string.lower(string.sub(arg, 2, 6)) == "path:" then
            if global_install_path == nil then
                global_install_path = path_unquote_spaces(string.sub(arg, 7))
            end
        end
    end
end

-- An install folder must be a full path: a relative or empty one would land
-- in the installer's current folder.
local function is_full_path(path)
    return string.match(path, "^%a:\\") ~= nil or string.sub(path, 1, 2) == "\\\\"
end

function InitCommandLineArgv_new()
    for _, arg in ipairs(Lua_GetCommandLineArgv() or {}) do
        local prefix5, prefix6 = string.sub(arg, 1, 5), string.sub(arg, 1, 6)
        if arg == "/s" or arg == "-s" then
            if global_enable_ss_install then
                global_ss_install = true
                global_show_completewindow = false
            end
        elseif arg == "/NormalUpdate" then
            is_upgrade = true
        elseif arg == "/ForceUpdate" then
            is_upgrade = true
            global_show_completewindow = false
        elseif prefix5 == "-uid=" or prefix5 == "-uid:" or prefix5 == "/uid:" then
            local union_id = tonumber(string.sub(arg, 6))
            if union_id ~= nil then
                global_union_id = union_id
            else
                Lua_Logout("union id ignored, not a number: " .. arg)
            end
        elseif prefix6 == "-path=" or prefix6 == "-path:" or prefix6 == "/path:" then
            local path = string.sub(arg, 7)
            if is_full_path(path) then
                global_install_path = path
            else
                Lua_Logout("install folder ignored, not a full path: " .. arg)
            end
        end
    end
end

function analy_filename_with_ss_param()
    local name = get_file_title(Lua_GetModuleFileName())
    Lua_Logout("analy_filename_with_ss_param:stAppName " .. name)
    name = string.lower(name)
    if string.find(name, "@st", 1, true) then
        global_ss_install = true
        global_ss_run = true
    end
    if string.find(name, "@stt", 1, true) then
        global_ss_install = true
        global_ss_run = false
    end
end

-- Later markers win: an "off" marker beats the "on" marker of its option.
local shortcut_markers = {
    {"@dto", "DesktopShortcutChk", true},
    {"@dtc", "DesktopShortcutChk", false},
    {"@smo", "StartMenuShortcutChk", true},
    {"@smc", "StartMenuShortcutChk", false},
    {"@swo", "ShouldStartWithWindowsChk", true},
    {"@swc", "ShouldStartWithWindowsChk", false},
    {"@ssc", "InstallSearchServer", false},
}

function analy_filename_with_shortcut_param()
    local name = string.lower(get_file_title(Lua_GetModuleFileName()))
    for _, marker in ipairs(shortcut_markers) do
        if string.find(name, marker[1], 1, true) then
            _G[marker[2]] = marker[3]
        end
    end
end

function CheckClient()
    if global_ss_install == true then
        return
    end
    if FindWnd(global_main_wnd_cls, nil) == 0 then
        return
    end
    local text = string.format("检测到 %s 正在运行\r\n选择[确定]强制关闭，[取消]取消安装", global_product_name)
    if Lua_MsgBox(text, msgbox_title, bit32.bor(1, 48, 65536)) == 1 then
        return
    end
    os.exit(0)
end

-- ---- set-up ----------------------------------------------------------------

local function default_true(name)
    if not _G[name] then
        _G[name] = true
    end
end

function VekSE_BeforeInit()
    Lua_Logout("script_version:" .. script_version)
    if Lua_GetOSVersion() < 6 then
        Lua_MsgBox(global_product_name .. " 目前只支持WIN7和更新的Windows操作系统！")
        os.exit(0)
    end

    installed_union_id = GetCurrentUnionID()
    if installed_union_id == test_union_id then
        global_cover_unionId = true
    end
    local pkg_union_id = GetUnionByPkgName()
    if pkg_union_id ~= nil then
        oem_union_id = pkg_union_id
    end

    global_install_path = Lua_RegQuery("HKLM", global_uninst_sub_key, "InstallLocation")
        or Lua_RegQuery("HKLM", global_reg_sub_key, "AppPath")
        or Lua_RegQuery("HKCU", global_reg_sub_key, "AppPath")
    if global_disable_cover and CheckUnionID() and global_install_path ~= nil then
        os.exit(0)
    end
    if global_disable_analyze_params_from_file_name == false then
        AnalyzeParam()
    end
    InitCommandLineArgv_new()

    if global_install_path == nil then
        local program_files = fsredir.IsNeed and "%ProgramFiles(x86)%\\" or "%ProgramFiles%\\"
        global_install_path = Lua_ExpandEnv(program_files) .. global_install_basepath
    end
    if global_need_disk_space == nil then
        global_need_disk_space = 20048128
    end
    if global_startup_check_visable == nil then
        global_startup_check_visable = true
    end
    default_true("global_startup_check")

    if global_enable_ss_install == true then
        if _G.global_default_ss_install then
            global_ss_install = true
            global_ss_run = true
        else
            analy_filename_with_ss_param()
        end
    end

    if global_custom_reg_list == nil then
        global_custom_reg_list = {}
    end
    if global_show_completewindow == nil then
        global_show_completewindow = true
    end
    default_true("DesktopShortcutChk")
    default_true("StartMenuShortcutChk")
    default_true("ShouldStartWithWindowsChk")
    default_true("InstallSearchServer")

    if global_ss_install == true then
        analy_filename_with_shortcut_param()
    end
end

function VekSE_BeforeInstall()
    CheckClient()
    global_tb_version = {}
    for number in string.gmatch(global_version, "(%d+)|*") do
        table.insert(global_tb_version, tonumber(number))
    end
    local v = global_tb_version
    global_dwversion = ((v[1] * 100 + v[2]) * 100 + v[3]) * 10000 + v[4]
    Lua_Logout("InstallPath:" .. tostring(InstallPath))
    global_install_path = InstallPath
    Lua_CreateDirectory(global_install_path)
end

-- ---- install actions -------------------------------------------------------

function DeleteFileAndDirect(path, quiet)
    if path == nil then
        return
    end
    if quiet then
        Lua_DelFileRecursive(path, function(_) end)
    else
        Lua_DelFileRecursive(path)
    end
end

remove_service = function()
    for _, command in ipairs({"/C sc stop TovikCleanSvc", "/C sc delete TovikCleanSvc"}) do
        if Lua_ShellExec("cmd.exe", command) then
            Lua_Logout(command)
        end
    end
    local pid = Lua_GetProcessId(service_exe_name)
    Lua_Logout(string.format("pid:%d", pid))
    local attempts = 0
    while pid ~= -1 do
        if attempts == service_kill_attempts then
            Lua_Logout(string.format("%s still runs after %d attempts, going on", service_exe_name, attempts))
            return
        end
        attempts = attempts + 1
        Lua_TaskKill(pid, nil)
        pid = Lua_GetProcessId(service_exe_name)
        Lua_Logout(string.format("pid:%d", pid))
    end
end

install_service = function()
    Lua_Exec(string.format("%s\\%s", global_install_path, service_exe_name), nil, "--install", true)
end

-- A payload file that cannot be created (in use) is moved aside and deleted
-- at the next start of Windows; 0 lets the extraction try again.
on_extract_error = function(path, code)
    Lua_Logout(path .. string.format("  创建文件出错:%d", code))
    local temp_name = Lua_GetTempFileName(reboot_del_dir, "JsZip")
    if temp_name == nil then
        return 2
    end
    local name = Lua_PathYetAnotherMakeUniqueName(temp_name)
    Lua_DeleteFileEx(temp_name)  -- the empty file that reserved the name
    Lua_Logout(name)
    if Lua_MoveFile(path, name) then
        Lua_DeleteFileAfterReboot(name)
        return 0
    end
    return 2
end

local function write_registry(records)
    for _, r in ipairs(records) do
        Lua_RegAdd(r.hkey, r.subkey, r.value, r.datatype, r.data, r.overwrite)
    end
end

local function build_reg_add_list()
    local K, U = global_reg_sub_key, global_uninst_sub_key
    local function record(hkey, subkey, value, datatype, data, overwrite)
        return {hkey = hkey, subkey = subkey, value = value, datatype = datatype, data = data, overwrite = overwrite}
    end
    reg_add_list = {
        record("HKLM", K, "AppPath", "REG_SZ", global_install_path, true),
        record("HKLM", K, "UnionId", "REG_DWORD", global_union_id, global_cover_unionId),
        record("HKLM", K, "OEMUnionId", "REG_DWORD", oem_union_id, global_cover_unionId),
        record("HKLM", K, "OemID", "REG_DWORD", 1, true),
        record("HKLM", K, "UserID", "REG_BINARY", 0, true),
        record("HKCU", K, "AppPath", "REG_SZ", global_install_path, true),
        record("HKCU", K, "UnionId", "REG_DWORD", global_union_id, global_cover_unionId),
        record("HKCU", K, "OEMUnionId", "REG_DWORD", oem_union_id, global_cover_unionId),
        record("HKCU", K, "OemID", "REG_DWORD", 1, true),
        record("HKCU", K, "UserID", "REG_BINARY", 0, true),
        record("HKCU", K, "DisplayVersion", "REG_SZ", global_version, true),
        record("HKCU", K, "Version", "REG_DWORD", global_dwversion, true),
        record("HKLM", U, "DisplayIcon", "REG_SZ", main_app_fullpath, true),
        record("HKLM", U, "DisplayName", "REG_SZ", global_product_name, true),
        record("HKLM", U, "DisplayVersion", "REG_SZ", global_version, true),
        record("HKLM", U, "EstimatedSize", "REG_DWORD", global_need_disk_space / 1024, true),
        record("HKLM", U, "NoModify", "REG_DWORD", 1, true),
        record("HKLM", U, "NoRepair", "REG_DWORD", 1, true),
        record("HKLM", U, "Publisher", "REG_SZ", global_company_name, true),
        record("HKLM", U, "UninstallString", "REG_SZ", global_install_path .. "\\Uninstall.exe", true),
        record("HKLM", U, "InstallLocation", "REG_SZ", global_install_path, true),
        record("HKLM", U, "InstallDate", "REG_SZ", os.date("%Y%m%d"), true),
    }
end

local function update_merchant_id()
    local K = global_reg_sub_key
    if Lua_RegQuery("HKCU", K, "MerchantID") == "" then
        Lua_RegDel("HKCU", K, "MerchantID")
    end
    local app_path = Lua_RegQuery("HKLM", K, "AppPath") or Lua_RegQuery("HKCU", K, "AppPath")
    if app_path == nil and global_merchant_id ~= nil then
        Lua_RegAdd("HKCU", K, "MerchantID", "REG_SZ", global_merchant_id, global_merchant_id_overwrite)
    end
end

-- The all-users start-menu folder of the product, rebuilt on every install.
-- The per-user ("%PROGRAMS%") pair is not made: Windows merges both menus,
-- so a second copy would only show every entry twice.
local function create_start_menu()
    local folder = string.format("%s\\%s", "%COMMPROGRAMS%", global_product_name)
    DeleteFileAndDirect(folder, true)
    Lua_DeleteFile(folder)
    fsredir:Revert()
    local name = WString.New(nil, global_product_name)
    Lua_CreateShortcut(main_app_fullpath, string.format("%s\\%s\\%s.lnk", "%COMMPROGRAMS%", name, name), "/menu", nil)
    Lua_CreateShortcut(global_install_path .. "\\Uninstall.exe",
        string.format("%s\\%s\\卸载%s.lnk", "%COMMPROGRAMS%", name, name), "", nil)
end

local function update_autostart()
    local run_key = "Software\\Microsoft\\Windows\\CurrentVersion\\Run"
    if ShouldStartWithWindowsChk then
        Lua_RegAdd("HKCU", run_key, "TovikClean", "REG_SZ", global_install_path .. "\\TovikCCleanerMain.exe /auto", true)
    else
        Lua_RegDel("HKCU", run_key, "TovikClean")
    end
end

function VekSE_OnInstall()
    remove_service()
    Lua_KillAllTaskByName(global_main_app_name_inner)
    Lua_KillAllTaskByName("TovikCCleanerMain.exe")
    Lua_KillAllTaskByName("TovikClean.exe")
    Sleep(2000)

    if string.lower(string.sub(reboot_del_dir, 1, 1)) ~= string.lower(string.sub(global_install_path, 1, 1)) then
        reboot_del_dir = paht_remove_filename(global_install_path) .. "\\del_reboot"
        Lua_CreateDirectory(reboot_del_dir)
    end
    if not Lua_UnCompress7z("App.7z", global_install_path, false, nil, on_extract_error) then
        Lua_MsgBox("释放文件时出现错误，安装程序将终止！", msgbox_title)
        os.exit(0)
    end
    Lua_ExtractResource("LUA", "GLOBAL_VAR.LUAC", global_install_path .. "\\Uninst.dar0")
    Lua_ExtractResource("LUA", "UNINSTSCRIPT.LUAC", global_install_path .. "\\Uninst.dar1")

    main_app_fullpath = string.format("%s\\%s", global_install_path, global_main_app_name)
    local helper_path = string.format("%s\\%s", global_install_path, "func_helper.dll")
    local helper = GLibTab[helper_path]
    local AllowAccountPrivilege = helper:Get("AllowAccountPrivilege", "bool")
    local CreateDesktopShortcut = helper:Get("CreateDesktopShortcut", "void")

    update_merchant_id()
    build_reg_add_list()
    write_registry(reg_add_list)
    write_registry(global_custom_reg_list)

    fsredir:Disable()
    Lua_RegVarByCSIDL("COMMPROGRAMS", 23)
    Lua_RegVarByCSIDL("DESKTOP", 16)
    AllowAccountPrivilege(WString.New(nil, global_install_path))
    Lua_Logout("VekSE_OnInstall_8")

    Lua_DeleteFile(string.format("%s\\%s.lnk", "%DESKTOP%", global_old_product_name))
    if DesktopShortcutChk then
        CreateDesktopShortcut(WString.New(nil, main_app_fullpath), WString.New(nil, global_main_wnd_cls),
            WString.New(nil, global_product_name))
    end
    if StartMenuShortcutChk then
        create_start_menu()
        Lua_RegAdd("HKCU", "SOFTWARE\\TovikClean", "StartMenuShortcutChk", "REG_DWORD", 1, true)
    else
        Lua_RegAdd("HKCU", "SOFTWARE\\TovikClean", "StartMenuShortcutChk", "REG_DWORD", 0, true)
    end
    update_autostart()

    helper:UnLoad()
    GLibTab[helper_path] = nil
    fsredir:Revert()

    if global_create_log_folder == true then
        Lua_CreateDirectory(global_install_path .. "\\log")
    end
    if reboot_del_dir ~= Lua_ExpandEnv("%TMP%") then
        Lua_DelFileRecursive(reboot_del_dir)
        Lua_DeleteFileAfterReboot(reboot_del_dir)
    end
end

-- ---- completion and report ---------------------------------------------------

function RunApp()
    if global_enable_ss_install and global_ss_install and global_ss_run then
        Lua_ExplorerExec(string.format("%s\\%s", global_install_path, global_main_app_name), "")
    end
end

function notify_association_changed()
    local SHChangeNotify = GLibTab.shell32:Get("SHChangeNotify", "void")
    SHChangeNotify(134217728, 3, 0, 0)  -- SHCNE_ASSOCCHANGED, SHCNF_DWORD
end

function RemoveOldFiles()
    for _, name in ipairs({"substat.dll", "SkinUI.dll", "Res"}) do
        Lua_DeleteFile(string.format("%s\\%s", global_install_path, name))
    end
end

function HandleSetAsDefaultDesktop()
end

-- The statistics library's function `name`, or a script error naming it.
local function stat_function(lib, name, result_type)
    local fn, err
    if result_type ~= nil then
        fn, err = lib:Get(name, result_type)
    else
        fn, err = lib:Get(name)
    end
    assert(fn ~= nil, "GetProcAddress \"" .. name .. "\" failed, errcode : " .. err)
    return fn
end

function InstallReport(version, union_id, app_id)
    Lua_Logout("start install report info")
    local path = global_install_path .. "\\qorstat.dll"
    local lib = GLibTab[path]
    assert(lib ~= nil, "LoadLibrary " .. path .. " failed")

    stat_function(lib, "stat_unionid")(union_id)
    stat_function(lib, "stat_appid")(app_id)
    stat_function(lib, "stat_level")(2)
    stat_function(lib, "stat_version_ex")(version[1], version[2], version[3], version[4])
    stat_function(lib, "stat_install_addr")(global_udp_install_uninstall_url, tonumber(global_udp_un_install_port))
    if not stat_function(lib, "stat_init", "bool")() then
        Lua_Logout("stat_init failed!")
        return false
    end
    Lua_Logout(global_udp_install_uninstall_url)
    local stat_install = stat_function(lib, "stat_install", "int")
    if installed_union_id ~= 0 then
        stat_install(3)
        Lua_Logout("cover install!!!")
    else
        stat_install(1)
    end
    local result = stat_function(lib, "stat_http_post", "int")(global_install_PostURL, nil, 0, true)
    Lua_Logout(global_install_PostURL)
    stat_function(lib, "stat_close")(50)

    lib:UnLoad()
    GLibTab[path] = nil
    return result == 1
end

function UpInfomession()
    report_union_id = global_union_id
    if installed_union_id ~= 0 and installed_union_id ~= test_union_id then
        report_union_id = installed_union_id
    end
    InstallReport(global_tb_version, report_union_id, global_app_id)
end

function VekSE_BeforeComplete()
    if is_upgrade == true and global_show_completewindow == false then
        Lua_ExplorerExec(string.format("%s\\%s", global_install_path, global_main_app_name), "")
    end
    if InstallSearchServer == true then
        install_service()
    end
    RunApp()
    UpInfomession()
    notify_association_changed()
end

function VekSE_AfterComplete()
end
