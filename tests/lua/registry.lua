-- Registry host functions against the registry of the test prefix.
local roots = {HKCU = 0x80000001, HKLM = 0x80000002}
local advapi = GLibTab.advapi32
local getValue = advapi:Get("RegGetValueW", "int")
local setKeyValue = advapi:Get("RegSetKeyValueW", "int")

-- The stored type and bytes of a value, read around the host functions.
local function raw(root, key, name)
    local kind, size, data = RawBuffer.New(4), RawBuffer.New(4), RawBuffer.New(256)
    size:OffsetSetAsUInt32(0, 256)
    -- RRF_RT_ANY | RRF_NOEXPAND
    if getValue(roots[root], WString.New(nil, key), WString.New(nil, name), 0x1000ffff, kind, data, size) ~= 0 then
        return nil
    end
    local bytes = {}
    for i = 0, size:OffsetGetAsUInt32(0) - 1 do bytes[#bytes + 1] = string.format("%02X", data:OffsetGetAsUInt8(i)) end
    return kind:OffsetGetAsUInt32(0), table.concat(bytes, " ")
end

local openKey = advapi:Get("RegOpenKeyExW", "int")
local closeKey = advapi:Get("RegCloseKey", "int")
local function keyExists(root, key)
    local handle = RawBuffer.New(8)
    if openKey(roots[root], WString.New(nil, key), 0, 0x20019, handle) ~= 0 then return false end
    -- the handle is pointer-sized: pass it back by value
    closeKey(handle:OffsetGetAsUInt32(0))
    return true
end

local function setRaw(root, key, name, kind, hex)
    local bytes = {}
    for pair in hex:gmatch("%x%x") do bytes[#bytes + 1] = tonumber(pair, 16) end
    local data = RawBuffer.New(math.max(#bytes, 1))
    for i, b in ipairs(bytes) do data:OffsetSetAsUInt8(i - 1, b) end
    return setKeyValue(roots[root], WString.New(nil, key), WString.New(nil, name), kind, data, #bytes)
end

for _, root in ipairs({"HKCU", "HKLM"}) do
    local key = "Software\\VekTest\\" .. root .. tostring(os.time())
    local function add(name, kind, data, overwrite) return Lua_RegAdd(root, key, name, kind, data, overwrite) end
    local function query(name) return Lua_RegQuery(root, key, name) end
    local at = root .. " "

    -- strings
    check(at .. "RegAdd gives true", add("sz", "REG_SZ", "%ProgramFiles%\\Tovik"), true)
    check(at .. "REG_SZ is stored expanded", query("sz"), os.getenv("ProgramFiles") .. "\\Tovik")
    check(at .. "REG_SZ type", (raw(root, key, "sz")), 1)
    add("esz", "REG_EXPAND_SZ", "%ProgramFiles%\\Tovik")
    check(at .. "REG_EXPAND_SZ is stored and read unexpanded", query("esz"), "%ProgramFiles%\\Tovik")
    check(at .. "REG_EXPAND_SZ type", (raw(root, key, "esz")), 2)
    add("", "REG_SZ", "default text")
    check(at .. "the empty name is the default value", query(""), "default text")
    add("cn", "REG_SZ", "托维克")
    check(at .. "Chinese text", query("cn"), "托维克")
    setRaw(root, key, "noterm", 1, "61006200")  -- "ab" without a terminator
    check(at .. "a string without terminator", query("noterm"), "ab")
    setRaw(root, key, "odd", 1, "610062")  -- three bytes: one whole unit
    check(at .. "an odd byte count reads whole units only", query("odd"), "a")

    -- numbers
    for _, case in ipairs({{1.6, 2}, {2.5, 2}, {3.5, 4}, {-1, 4294967295}, {"7", 7}, {4294967296 + 5, 5}}) do
        add("dw", "REG_DWORD", case[1], true)
        check(at .. "REG_DWORD of " .. tostring(case[1]), query("dw"), case[2])
    end
    check(at .. "REG_DWORD type", (raw(root, key, "dw")), 4)

    -- binary
    for _, case in ipairs({{"aBcD", "AB CD"}, {"123", "12 03"}, {0, "00"}, {"", ""}, {"zz12", "00 12"},
                           {"12zz", "12 12"}, {"0102030405", "01 02 03 04 05"}}) do
        add("bin", "REG_BINARY", case[1], true)
        local kind, bytes = raw(root, key, "bin")
        check(at .. "REG_BINARY of '" .. tostring(case[1]) .. "'", bytes, case[2])
        check(at .. "REG_BINARY type", kind, 3)
    end
    check(at .. "binary values read as nil", query("bin"), nil)

    -- overwrite rule and unknown types
    add("keep", "REG_SZ", "first")
    add("keep", "REG_SZ", "second", false)
    check(at .. "existing value kept without the overwrite flag", query("keep"), "first")
    add("keep", "REG_SZ", "third", nil)
    check(at .. "... also with nil", query("keep"), "first")
    add("keep", "REG_SZ", "fourth", 1)
    check(at .. "overwritten with a truthy flag", query("keep"), "fourth")
    add("fresh", "REG_DWORD", 9, false)
    check(at .. "a missing value is written without the flag", query("fresh"), 9)
    check(at .. "an unknown type writes nothing", add("multi", "REG_MULTI_SZ", "x"), true)
    check(at .. "... nothing", query("multi"), nil)
    check(at .. "no key before", keyExists(root, key .. "\\made"), false)
    Lua_RegAdd(root, key .. "\\made", "m", "REG_NONE", "")
    check(at .. "... but makes the key", keyExists(root, key .. "\\made"), true)
    add("all", "REG_DWORD", 4294967295, true)
    check(at .. "all bits", query("all"), 4294967295)

    -- roots and missing things
    check(at .. "lower-case root is no root", Lua_RegQuery(root:lower(), key, "sz"), nil)
    check(at .. "lower-case root writes nothing", Lua_RegAdd(root:lower(), key, "lc", "REG_SZ", "x"), true)
    check(at .. "... nothing", query("lc"), nil)
    check(at .. "missing value", query("absent"), nil)
    check(at .. "missing key", Lua_RegQuery(root, key .. "\\absent", "sz"), nil)

    -- deletion
    check(at .. "RegDel of a value gives true", Lua_RegDel(root, key, "sz"), true)
    check(at .. "value deleted", query("sz"), nil)
    check(at .. "other values stay", query("esz"), "%ProgramFiles%\\Tovik")
    check(at .. "RegDel of a missing value", Lua_RegDel(root, key, "absent"), true)
    add("d", "REG_SZ", "x")
    Lua_RegAdd(root, key .. "\\child\\grandchild", "g", "REG_SZ", "x")
    check(at .. "RegDel of a tree gives true", Lua_RegDel(root, key), true)
    check(at .. "tree deleted", Lua_RegQuery(root, key .. "\\child\\grandchild", "g"), nil)
    check(at .. "key itself deleted", raw(root, key, "esz"), nil)
end

-- one argument: the default value of the root key itself
Lua_RegAdd("HKCU", "", "", "REG_SZ", "root default")
check("root default value written", Lua_RegQuery("HKCU", "", ""), "root default")
check("RegDel with the root alone", Lua_RegDel("HKCU"), true)
check("root default value deleted", Lua_RegQuery("HKCU", "", ""), nil)

-- a missing or empty key never takes every key of a root (HKCC: little to
-- lose in the test prefix should this ever break)
Lua_RegAdd("HKCC", "Software\\VekTest", "keep", "REG_SZ", "x")
check("RegDel of a tree without a key refuses", Lua_RegDel("HKCC", nil), false)
check("... with an empty key too", Lua_RegDel("HKCC", ""), false)
check("... with a lone backslash too", Lua_RegDel("HKCC", "\\"), false)
check("... the root's keys stay", Lua_RegQuery("HKCC", "Software\\VekTest", "keep"), "x")
Lua_RegDel("HKCC", "Software\\VekTest")

-- traces the test reads: these two fail
Lua_RegDel("hkcu", "Software\\VekTest")
Lua_RegDel("HKCU", "Software\\VekTest\\no such key")
Lua_RegDel("HKCU", "Software", "VekNoSuchValue")

check_done()
