-- File-system host functions against real folders of the test prefix.
local base = os.getenv("VEK_PROBE_OUT"):gsub("\\records%.txt$", "")
local work = base .. "\\work"
local exists = Lua_PathFileExists

local function write(path, text)
    local f = assert(io.open(path, "wb"))
    f:write(text or "x")
    f:close()
end

local read = read_file

local kernel32 = GLibTab.kernel32
local setAttributes = kernel32:Get("SetFileAttributesW", "bool")
local function makeReadOnly(path) setAttributes(WString.New(nil, path), 1) end

-- folders --------------------------------------------------------------------------
check("creates the whole chain", Lua_CreateDirectory(work .. "\\a\\b\\c"), true)
check("chain exists", exists(work .. "\\a\\b\\c"), true)
check("existing folder", Lua_CreateDirectory(work .. "\\a"), true)
local leaf = base:match("[^\\]+$")
check("expanded path", Lua_CreateDirectory("%TEMP%\\" .. leaf .. "\\work\\env"), true)
check("expanded path exists", exists(work .. "\\env"), true)
check("path expanding beyond 260 characters", Lua_CreateDirectory(work .. "\\" .. string.rep("x", 300)), false)

-- copy, move, rename ------------------------------------------------------------------
write(work .. "\\src.txt", "hello")
check("copy a file", Lua_CopyFile(work .. "\\src.txt", work .. "\\a\\copy.txt"), true)
check("copied content", read(work .. "\\a\\copy.txt"), "hello")
check("source stays", exists(work .. "\\src.txt"), true)
check("copy of a missing source", Lua_CopyFile(work .. "\\nope.txt", work .. "\\x.txt"), false)
check("copy of a folder", Lua_CopyFile(work .. "\\a", work .. "\\a2"), true)
check("folder copied with its files", read(work .. "\\a2\\copy.txt"), "hello")
check("move a file", Lua_MoveFile(work .. "\\a2\\copy.txt", work .. "\\moved.txt"), true)
check("moved away", exists(work .. "\\a2\\copy.txt"), false)
check("moved content", read(work .. "\\moved.txt"), "hello")
check("move of a missing source", Lua_MoveFile(work .. "\\nope", work .. "\\x"), false)
check("move of a folder", Lua_MoveFile(work .. "\\a2", work .. "\\a3"), true)
check("folder moved", exists(work .. "\\a3\\b\\c") and not exists(work .. "\\a2"), true)
write(work .. "\\r1.txt", "one")
write(work .. "\\r2.txt", "two")
check("rename replaces the target", Lua_RenameFile(work .. "\\r1.txt", work .. "\\r2.txt"), true)
check("replaced content", read(work .. "\\r2.txt"), "one")
check("rename of a missing source", Lua_RenameFile(work .. "\\r1.txt", work .. "\\r3.txt"), false)

-- shell deletions --------------------------------------------------------------------
check("DeleteFile of nothing", Lua_DeleteFile(work .. "\\nothing"), true)
check("DeleteFileEx of nothing", Lua_DeleteFileEx(work .. "\\nothing"), true)
Lua_CreateDirectory(work .. "\\tree\\x")
write(work .. "\\tree\\x\\f.txt")
check("DeleteFile of a tree", Lua_DeleteFile(work .. "\\tree"), true)
check("tree gone", exists(work .. "\\tree"), false)
check("DeleteFileEx of a file", Lua_DeleteFileEx(work .. "\\moved.txt"), true)
check("file gone", exists(work .. "\\moved.txt"), false)

-- recursive deletions -----------------------------------------------------------------
check("DelFileRecursive of nothing gives true", Lua_DelFileRecursive(work .. "\\none"), true)
check("DelFileRecursiveEx of nothing gives true", Lua_DelFileRecursiveEx(work .. "\\none", print), true)
Lua_CreateDirectory(work .. "\\rtree\\sub\\deeper")
write(work .. "\\rtree\\plain.txt")
write(work .. "\\rtree\\sub\\ro.txt")
write(work .. "\\rtree\\sub\\deeper\\ro2.txt")
makeReadOnly(work .. "\\rtree\\sub\\ro.txt")
makeReadOnly(work .. "\\rtree\\sub\\deeper\\ro2.txt")
check("DelFileRecursive gives no value", select("#", Lua_DelFileRecursive(work .. "\\rtree", "ignored")), 0)
check("tree with read-only files gone", exists(work .. "\\rtree"), false)
write(work .. "\\single.txt")
check("a single file gives no value either", select("#", Lua_DelFileRecursive(work .. "\\single.txt")), 0)
check("single file gone", exists(work .. "\\single.txt"), false)

write(work .. "\\ro-direct.txt")
makeReadOnly(work .. "\\ro-direct.txt")
Lua_DelFileRecursive(work .. "\\ro-direct.txt")
check("a read-only file given directly stays", exists(work .. "\\ro-direct.txt"), true)
local reported = {}
Lua_DelFileRecursiveEx(work .. "\\ro-direct.txt", function(path, code) reported[#reported + 1] = {path, code} end)
check("... and is reported once", #reported, 1)
check("... with its path", reported[1] and reported[1][1], work .. "\\ro-direct.txt")
check("... and access denied", reported[1] and reported[1][2], 5)
setAttributes(WString.New(nil, work .. "\\ro-direct.txt"), 0x80)
check("without a function the Ex form still deletes", select("#", Lua_DelFileRecursiveEx(work .. "\\ro-direct.txt", 1)), 0)
check("deleted", exists(work .. "\\ro-direct.txt"), false)

-- the current folder moves to the parent
local setCurrent = kernel32:Get("SetCurrentDirectoryW", "bool")
local getCurrent = kernel32:Get("GetCurrentDirectoryW", "uint")
Lua_CreateDirectory(work .. "\\cwd\\inner")
setCurrent(WString.New(nil, work .. "\\cwd"))
Lua_DelFileRecursive(work .. "\\cwd")
check("current folder deleted", exists(work .. "\\cwd"), false)
local current = RawBuffer.New(1024)
getCurrent(512, current)
check("current folder is the parent", current:OffsetGetAsWString(0), work)

-- at reboot
check("reboot deletion of nothing", Lua_DeleteFileAfterReboot(work .. "\\none"), true)

-- names and paths -----------------------------------------------------------------------
local t1 = Lua_GetTempFileName(work, "JsZip")
local t2 = Lua_GetTempFileName("%TEMP%\\" .. leaf .. "\\work", "JsZip")
check("temp file created", t1 ~= nil and exists(t1), true)
check("two different names", t1 ~= t2, true)
check("named from the prefix", t1 and t1:upper():match("\\JSZ[0-9A-F]+%.TMP$") ~= nil, true)
check("temp name in a missing folder", Lua_GetTempFileName(work .. "\\missing", "JsZip"), nil)
local unique = Lua_PathYetAnotherMakeUniqueName(t1)
check("unique name differs", unique ~= "" and unique ~= t1, true)
check("unique name does not exist", exists(unique), false)
check("unique name beside the template", unique:sub(1, #work), work)
check("%TMP% expands", Lua_ExpandEnv("%TMP%"), os.getenv("TMP"))
check("plain text", Lua_ExpandEnv("plain text"), "plain text")
check("the last argument counts", Lua_ExpandEnv("a", "%TMP%"), os.getenv("TMP"))
check("no argument", Lua_ExpandEnv(), "")
check("expansion beyond 260 characters", Lua_ExpandEnv(string.rep("y", 300)), nil)
check("PathFileExists does not expand", exists("%TMP%"), false)
local own = Lua_GetModuleFileName()
check("own path", own:match("\\probe%.exe$") ~= nil, true)
check("a module that is not loaded gives the own path", Lua_GetModuleFileName("no-such.dll"), own)
check("a loaded module", Lua_GetModuleFileName("kernel32.dll"):lower():match("\\kernel32%.dll$") ~= nil, true)
check("GetTempPath is the local application data", Lua_GetTempPath(), os.getenv("LOCALAPPDATA"))

check_done()
