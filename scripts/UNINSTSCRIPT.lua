-- Uninstall logic of TovikClean, run by the product's uninstaller from
-- Uninst.dar1 after the configuration in Uninst.dar0. Events in order:
-- VekSE_BeforeInit (folder, union id, statistics), VekSE_OnUninstall
-- (remove everything, report), VekSE_FeedBack (when the user gave any),
-- VekSE_AfterUnintall (close the statistics, last files).

local script_version = "1.0.2.55"
local stat_module = nil
local stat_dll_copy = nil
local reboot_del_dir = Lua_ExpandEnv("%TMP%")
local service_exe_name = "divaruzov.exe"
local version_parts = {}
local register_appdata_vars, on_delete_error

-- UninstallService gives up on a service process that survives this many kills.
local service_kill_attempts = 20

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

function Lua_Sleep(ms)
    lib = GLibTab.Kernel32
    if lib then
        my_Sleep = lib:Get("Sleep")
        if my_Sleep then
            my_Sleep(ms)
        end
    end
end

function paht_remove_filename(path)
    local folder = string.match(path, "^(%a:\\.+)\\[^\\]*$")
    if folder ~= nil then
        return folder
    end
    return string.sub(path, 1, 3)
end

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

function CheckPathExist(path)
    local PathFileExistsW = GLibTab.Shlwapi:Get("PathFileExistsW", "int")
    if PathFileExistsW == nil then
        return 0
    end
    return PathFileExistsW(WString.New(nil, path))
end

function PathIsDirmpty(path)
    local PathIsDirectoryEmptyW = GLibTab.Shlwapi:Get("PathIsDirectoryEmptyW", "bool")
    Lua_Logout(tostring(global_union_id))
    local result = 0
    if PathIsDirectoryEmptyW ~= nil then
        result = PathIsDirectoryEmptyW(WString.New(nil, path))
        Lua_Logout("---del---" .. path)
    end
    Lua_Logout("222")
    return result
end

function UnRegeditRightMenu(dll, arg)
    local lib = GLibTab[dll]
    if lib == nil then
        return
    end
    local DllRegEx = lib:Get("DllRegEx", "int")
    if DllRegEx ~= nil then
        DllRegEx(arg)
    end
    lib:UnLoad()
    GLibTab[dll] = nil
end

function UnSetAssociate()
end

function GetUnionID()
    local union_id = Lua_RegQuery("HKCU", global_reg_sub_key, "UnionId")
    if union_id == nil then
        union_id = Lua_RegQuery("HKLM", global_reg_sub_key, "UnionId")
    end
    global_union_id = tonumber(union_id) or 1
    Lua_Logout("union_id=" .. tostring(global_union_id))
end

register_appdata_vars = function(flag)
    if not flag then
        Lua_RegVarByCSIDL("APPDATA_USER", 26)
        Lua_RegVarByCSIDL("APPDATA_ALLUSER", 35)
    end
end

-- ---- statistics ----------------------------------------------------------------

local stat_functions = {
    {"stat_init", "bool"}, {"stat_level"}, {"stat_unionid"}, {"stat_appid"}, {"stat_install", "int"},
    {"stat_version_ex"}, {"stat_install_addr"}, {"stat_close"}, {"stat_http_post", "int"},
}

function CreateSubtatModule()
    local lib = GLibTab[stat_dll_copy]
    if lib == nil then
        return {}
    end
    local module = {lib = lib}
    for _, f in ipairs(stat_functions) do
        if f[2] ~= nil then
            module[f[1]] = lib:Get(f[1], f[2])
        else
            module[f[1]] = lib:Get(f[1])
        end
    end
    return module
end

function InitSubStat()
    if stat_module == nil then
        return false
    end
    if not stat_module.stat_init() then
        Lua_Logout("stat_init failed!")
        return false
    end
    stat_module.stat_level(2)
    stat_module.stat_unionid(tonumber(global_union_id))
    stat_module.stat_appid(global_app_id)
    stat_module.stat_install_addr(global_udp_install_uninstall_url, tonumber(global_udp_un_install_port))
    stat_module.stat_version_ex(version_parts[1], version_parts[2], version_parts[3], version_parts[4])
    Lua_Logout(global_udp_install_uninstall_url)
    return true
end

function UninstallReport()
    if stat_module == nil then
        return false
    end
    stat_module.stat_install(2)
    stat_module.stat_http_post(global_Uninstall_PostURL, nil, 0, true)
    Lua_Logout(global_Uninstall_PostURL)
end

function UninstallReason(text)
    if stat_module == nil then
        return false
    end
    stat_module.stat_install(2)
    stat_module.stat_http_post(global_Uninstall_ReasonURL, text, string.len(text), true)
    Lua_Logout("report reason" .. global_Uninstall_ReasonURL)
end

-- A missing text counts as empty.
local function clean_feedback_text(text)
    text = string.gsub(tostring(text or ""), "/r/n", "")
    return (string.gsub(text, "%s+", ""))
end

function FeedBack()
    if tbContact == nil and ReasonID == nil then
        return
    end
    tbContact = clean_feedback_text(tbContact)
    tbSuggest = clean_feedback_text(tbSuggest)
    uninstreason = string.format('{"come_from":32772, "content_ids":"%s", "uninstsuggest":"%s","contact":"%s"}',
        tostring(ReasonID), tostring(tbSuggest), tostring(tbContact))
    UninstallReason(uninstreason)
end

-- ---- uninstall -----------------------------------------------------------------

function UninstallService()
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

-- A file that cannot be deleted is moved aside and deleted at the next
-- start of Windows; one that cannot even be moved is deleted there where
-- it is (before its folder, which doClean schedules last).
on_delete_error = function(path, code)
    Lua_Logout(path .. string.format("  delete file failed:%d", code))
    local temp_name = Lua_GetTempFileName(reboot_del_dir, "JsZip")
    local name = temp_name and Lua_PathYetAnotherMakeUniqueName(temp_name)
    if temp_name ~= nil then
        Lua_DeleteFileEx(temp_name)  -- the empty file that reserved the name
    end
    if name ~= nil then
        Lua_Logout(name)
        if Lua_MoveFile(path, name) then
            Lua_DeleteFileAfterReboot(name)
            return
        end
    end
    Lua_DeleteFileAfterReboot(path)
end

-- The install folder is deleted with everything in it: it must be a folder
-- below a drive root, never a root or a relative path.
local function is_deletable_folder(path)
    return path ~= nil and string.match(path, "^%a:\\.*[^\\]") ~= nil
end

local function remove_shortcuts()
    local names = {global_old_product_name, global_product_name}
    local quick_launch = "%s\\Microsoft\\Internet Explorer\\Quick Launch\\"
    fsredir:Disable()
    Lua_RegVarByCSIDL("DESKTOP", 16)
    for _, name in ipairs(names) do
        Lua_DeleteFile(string.format("%s\\%s.lnk", "%DESKTOP%", name))
    end
    for _, name in ipairs(names) do
        Lua_Exec(string.format(quick_launch .. "User Pinned\\TaskBar\\%s.lnk", "%APPDATA%", name), "taskbarunpin")
    end
    for _, name in ipairs(names) do
        Lua_DeleteFile(string.format(quick_launch .. "%s.lnk", "%APPDATA%", name))
    end
    Lua_RegVarByCSIDL("COMMPROGRAMS", 23)
    for _, name in ipairs(names) do
        Lua_Exec(string.format(quick_launch .. "User Pinned\\StartMenu\\%s.lnk", "%APPDATA%", name), "startunpin")
    end
    Sleep(1000)
    for _, name in ipairs(names) do
        DeleteFileAndDirect(string.format("%s\\%s", "%COMMPROGRAMS%", name), true)
    end
    start_menu_app_dir = string.format("%s\\%s", "%COMMPROGRAMS%", global_product_name)
    Lua_DeleteFile(start_menu_app_dir)
    fsredir:Revert()
end

local function remove_registry()
    reg_del_list = {
        {"HKLM", global_reg_sub_key},
        {"HKCU", global_reg_sub_key},
        {"HKLM", global_uninst_sub_key},
        {"HKCU", global_reg_run_key},
    }
    for i, entry in ipairs(reg_del_list) do
        local root, key = entry[1], entry[2]
        Lua_Logout(root .. "\\" .. key)
        if i < 4 then
            Lua_RegDel(root, key)
        else
            local run_key, value = string.match(key, "^(.*)\\([^\\]+)$")
            Lua_RegDel(root, run_key, value)
        end
    end
end

function doUninstall()
    UninstallService()
    Sleep(1000)
    Lua_KillAllTaskByName(global_main_app_name_inner)
    Lua_KillAllTaskByName("TovikCCleanerMain.exe")
    Lua_KillAllTaskByName("TovikClean.exe")

    local deletable = is_deletable_folder(global_install_path)
    if deletable and string.lower(string.sub(reboot_del_dir, 1, 1)) ~= string.lower(string.sub(global_install_path, 1, 1)) then
        reboot_del_dir = paht_remove_filename(global_install_path) .. "\\del_reboot"
        Lua_CreateDirectory(reboot_del_dir)
    end
    remove_shortcuts()
    remove_registry()

    if deletable then
        Lua_DelFileRecursiveEx(global_install_path, on_delete_error)
    else
        Lua_Logout("install folder not deleted: " .. tostring(global_install_path))
    end
    if reboot_del_dir ~= Lua_ExpandEnv("%TMP%") then
        Lua_DelFileRecursive(reboot_del_dir)
        Lua_DeleteFileAfterReboot(reboot_del_dir)
    end
    if ClearUserData == true then
        Lua_DelFileRecursive(string.format("%s\\%s", "%LOCALAPPDATA%", global_product_name_inner))
    end
    Lua_DelFileRecursive(string.format("%s\\%s", "%TEMP%", global_product_name_inner))
    return true
end

function doClean()
    if stat_module ~= nil then
        Sleep(6000)
        stat_module.stat_close(50)
        stat_module.lib:UnLoad()
    end
    if _UninstallLib ~= nil then
        _UninstallLib.lib:UnLoad()
    end
    register_appdata_vars(ChkUserSetting)
    -- Without the shell's retry dialog: the uninstaller's own copy is still
    -- running, and a dialog would stop an unattended uninstall for good.
    if _Uninstall_Path ~= nil then
        Lua_DeleteFileEx(_Uninstall_Path)
    end
    if is_deletable_folder(global_install_path) then
        Lua_DeleteFileAfterReboot(global_install_path)
    end
end

-- ---- events --------------------------------------------------------------------

function VekSE_BeforeInit()
    Lua_Logout("script_version:" .. script_version)
    GetUnionID()
    for number in string.gmatch(global_version, "(%d+)|*") do
        table.insert(version_parts, tonumber(number))
    end
    if global_install_path == nil or CheckPathExist(global_install_path) ~= 1 then
        global_install_path = Lua_RegQuery("HKLM", global_uninst_sub_key, "InstallLocation")
    end
    main_app_fullpath = string.format("%s\\%s", tostring(global_install_path), global_main_app_name_inner)
    uninstall_work_dir = paht_remove_filename(Lua_GetModuleFileName())

    if global_install_path ~= nil and CheckPathExist(global_install_path .. "\\qorstat.dll") == 1 then
        stat_dll_copy = uninstall_work_dir .. "\\qorstat.dll"
        Lua_CopyFile(global_install_path .. "\\qorstat.dll", stat_dll_copy)
        Lua_CopyFile(global_install_path .. "\\udp_qor.dll", uninstall_work_dir .. "\\udp_qor.dll")
        if CheckPathExist(stat_dll_copy) == 1 then
            -- A copy that cannot be loaded means no reports at all.
            local module = CreateSubtatModule()
            if module.lib ~= nil then
                stat_module = module
                InitSubStat()
            else
                Lua_Logout("statistics library not loaded: " .. stat_dll_copy)
            end
        end
    end
end

function VekSE_OnUninstall()
    doUninstall()
    UninstallReport()
end

function VekSE_FeedBack()
    Lua_Logout("-----VekSE_FeedBack----")
    FeedBack()
end

function VekSE_AfterUnintall()
    Lua_Logout("-----install----")
    doClean()
end
