-- Lua_UnCompress7z and Lua_ExtractResource. Prelude: archives (the folder of
-- the test archives, with the fixture tree and its manifest).
local base = os.getenv("VEK_PROBE_OUT"):gsub("\\records%.txt$", "")

local read = read_file

local manifest = {}
for line in io.lines(archives .. "\\manifest.txt") do
    local kind, path = line:match("^(%a)\t(.*)$")
    manifest[#manifest + 1] = {kind, path}
end

-- Every folder and file of the fixture tree is in `folder`, byte for byte.
local function sameTree(label, folder)
    local bad = 0
    for _, entry in ipairs(manifest) do
        local target = folder .. "\\" .. entry[2]
        if entry[1] == "d" then
            if not Lua_PathFileExists(target) then bad = bad + 1 end
        elseif read(target) ~= read(archives .. "\\tree\\" .. entry[2]) then
            bad = bad + 1
            probe_record("differs", label, entry[2])
        end
    end
    check(label .. ": tree extracted byte for byte", bad, 0)
end

local n = 0
local function freshFolder()
    n = n + 1
    local folder = base .. "\\out" .. n
    Lua_CreateDirectory(folder)
    return folder
end

for _, method in ipairs({"lzma2", "lzma", "ppmd", "bcj", "bcj2", "blocks", "plainheader", "arm", "armt", "arm64",
                          "sparc", "ppc", "ia64", "delta", "smallwindow-lzma", "smallwindow-lzma2", "bcj-smallwindow"}) do
    local folder = freshFolder()
    check(method .. " extracts", Lua_UnCompress7z(archives .. "\\" .. method .. ".7z", folder, true), true)
    sameTree(method, folder)
end

-- the payload resource, found without regard to case, twice in one run
local payload = freshFolder()
check("payload resource", Lua_UnCompress7z("App.7z", payload), true)
sameTree("payload", payload)
check("payload again", Lua_UnCompress7z("APP.7Z", payload), true)
sameTree("payload again", payload)
check("no such resource", Lua_UnCompress7z("NOPE.7Z", payload), false)
check("a numbered resource that is not there", Lua_UnCompress7z(7, payload), false)

-- notifications, in archive order, with full paths
local seen = {}
local folder = freshFolder()
check("with a notification", Lua_UnCompress7z(archives .. "\\two.7z", folder, true, function(p) seen[#seen + 1] = p end), true)
check("one notification per file", #seen, 2)
check("full path of the first", seen[1], folder .. "\\AA_first.txt")
seen = {}
Lua_UnCompress7z(archives .. "\\two.7z", freshFolder(), true, function(p) seen[#seen + 1] = p end, "not a function")
check("a fourth function is not used when the fifth is no function", #seen, 0)

-- read-only targets are overwritten
local ro = freshFolder()
Lua_UnCompress7z(archives .. "\\two.7z", ro, true)
GLibTab.kernel32:Get("SetFileAttributesW", "bool")(WString.New(nil, ro .. "\\AA_first.txt"), 1)
check("over a read-only file", Lua_UnCompress7z(archives .. "\\two.7z", ro, true), true)

-- destinations and arguments
check("expanded destination", Lua_UnCompress7z(archives .. "\\two.7z", "%TEMP%\\" .. base:match("[^\\]+$"), true), true)
check("destination missing", Lua_UnCompress7z(archives .. "\\two.7z", base .. "\\nowhere", true), false)
check("archive file missing", Lua_UnCompress7z(base .. "\\none.7z", base, true), false)
check("one argument", Lua_UnCompress7z("APP.7Z"), false)
check("six arguments", Lua_UnCompress7z("APP.7Z", base, false, nil, nil, nil), false)
check("an archive with no entries", Lua_UnCompress7z(archives .. "\\empty.7z", freshFolder(), true), true)

-- damaged archives end with false
for _, name in ipairs({"broken-truncated", "broken-garbage", "broken-crc"}) do
    check(name, Lua_UnCompress7z(archives .. "\\" .. name .. ".7z", freshFolder(), true), false)
end

-- names that leave the destination: refused, the rest still extracted
for _, name in ipairs({"evil-parent", "evil-root", "evil-drive", "evil-inner"}) do
    local inner = freshFolder() .. "\\x"
    Lua_CreateDirectory(inner)
    check(name .. " fails", Lua_UnCompress7z(archives .. "\\" .. name .. ".7z", inner, true), false)
    check(name .. ": other entries extracted", Lua_PathFileExists(inner .. "\\ZZ_last.txt"), true)
end
check("nothing written beside the destination", Lua_PathFileExists(base .. "\\out" .. (n - 3) .. "\\first.txt"), false)
check("nothing written at the root", Lua_PathFileExists("C:\\tmp_first.t"), false)

-- names Windows would change or open as a device: refused, the rest still
-- extracted, nothing written under the changed name (a device shows nothing)
for _, case in ipairs({{"dot", "AA_first.tx"}, {"space", "AA_first.tx"}, {"dotdir", "dir"}, {"spacedir", "dir"},
                       {"empty", "AA"}, {"nul"}, {"con"}, {"com"}, {"lpt"}, {"aux"}}) do
    local folder = freshFolder()
    check(case[1] .. " fails", Lua_UnCompress7z(archives .. "\\renamed-" .. case[1] .. ".7z", folder, true), false)
    check(case[1] .. ": other entries extracted", Lua_PathFileExists(folder .. "\\ZZ_last.txt"), true)
    if case[2] then
        check(case[1] .. ": nothing under the changed name", Lua_PathFileExists(folder .. "\\" .. case[2]), false)
    end
end

-- single resources
local file = base .. "\\payload.7z"
check("ExtractResource of the payload", Lua_ExtractResource("_7Z", "APP.7Z", file), true)
check("written with its signature restored", read(file):sub(1, 6), "7z\188\175\39\28")
check("... and extracts", Lua_UnCompress7z(file, freshFolder(), true), true)
check("ExtractResource of a chunk", Lua_ExtractResource("LUA", "GLOBAL_VAR.LUAC", base .. "\\config.luac"), true)
check("chunk written unchanged", read(base .. "\\config.luac"):sub(1, 4), "\27Lua")
check("ExtractResource by number", Lua_ExtractResource("ZIP", 249, base .. "\\skin.zip"), true)
check("a zip", read(base .. "\\skin.zip"):sub(1, 2), "PK")
check("a missing resource", Lua_ExtractResource("LUA", "NOPE", base .. "\\x"), false)
check("a destination folder that is missing", Lua_ExtractResource("LUA", "GLOBAL_VAR.LUAC", base .. "\\no\\x"), false)

check_done()
