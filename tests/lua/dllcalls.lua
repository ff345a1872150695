-- Libraries, exports and native calls as scripts use them. Needs the test
-- library (testlib_path) and native_word_bits from the prelude.

local function mix(...)  -- the test library's argument hash
    local h = 7
    for i = 1, select("#", ...) do h = (h * 31 + select(i, ...)) % 4294967296 end
    if h >= 2147483648 then h = h - 4294967296 end
    return h
end

local lib = assert(DllManager.Load(testlib_path))
check("library value type", getmetatable(lib), debug.getregistry().DllManagerMetaTable)

-- both conventions, 0 to 12 arguments, declared right and wrong ------------------
for n = 0, 12 do
    local args = {}
    for i = 1, n do args[i] = (i % 2 == 0) and -i * 7919 or i * 104729 end
    local expected = mix(table.unpack(args))
    local std, code = lib:Get("StdMix" .. n, "int")
    check("Get gives 0", code, 0)
    check("StdMix" .. n, std(table.unpack(args)), expected)
    check("CMix" .. n .. " caller-cleans", lib:Get("CMix" .. n, "int", true)(table.unpack(args)), expected)
    check("CMix" .. n .. " declared standard", lib:Get("CMix" .. n, "int")(table.unpack(args)), expected)
    check("StdMix" .. n .. " declared caller-cleans", lib:Get("StdMix" .. n, "int", true)(table.unpack(args)),
          expected)
end
local sixteen = {}
for i = 1, 16 do sixteen[i] = i * 3 - 20 end
local mix16 = lib:Get("StdMix16", "int")
check("16 arguments", mix16(table.unpack(sixteen)), mix(table.unpack(sixteen)))
if native_word_bits == 64 then
    sixteen[17] = 1
    check_error("17 arguments", function() return mix16(table.unpack(sixteen)) end, "too many arguments")
end

-- results ------------------------------------------------------------------------
check("int of all ones", lib:Get("AllOnes", "int")(), -1)
check("uint of all ones", lib:Get("AllOnes", "uint")(), 4294967295)
check("bool of all ones", lib:Get("AllOnes", "bool")(), true)
local result, code = lib:Get("AllOnes")()
check("no result type: nil", result, nil)
check("no result type: still the error code", type(code), "number")
check("void", (lib:Get("AllOnes", "void")()), nil)
check("type names are case-sensitive", (lib:Get("AllOnes", "INT")()), nil)
check("four arguments: type and flag", lib:Get("AllOnes", "uint", true)(), 4294967295)
check("more than four: the last two count", lib:Get("AllOnes", "int", true, "uint", nil)(), 4294967295)
check("wstr", lib:Get("WGreeting", "wstr")(), "你好, Tovik")
check("astr", lib:Get("AGreeting", "astr")(), "abc")
check("wstr of null", lib:Get("NullText", "wstr")(), "")
check("astr of null", lib:Get("NullText", "astr")(), "")
local echoText = lib:Get("EchoPtr", "astr")
check("astr 128 is the installer's string", echoText(128), "VekInstaller")
check("astr of a missing string resource", echoText(129), "")

-- arguments ----------------------------------------------------------------------
local echo = lib:Get("EchoPtr", "uint")
check("nil passes 0", echo(nil), 0)
check("true passes 1", echo(true), 1)
check("false passes 0", echo(false), 0)
check("numbers: nearest integer, ties to even", echo(2.5), 2)
check("numeric strings are strings, not numbers", echo("12") ~= 12, true)
local minusOne = lib:Get("IsMinusOne", "int")
check("-1 fills the machine word", minusOne(-1), 1)
check("4294967295 is -1 as a signed word", minusOne(4294967295), 1)
local buf = RawBuffer.New(8)
check("out-parameter call", lib:Get("WriteOut", "bool")(buf, 0xABCD), true)
check("out-parameter through a RawBuffer", buf:OffsetGetAsUInt32(0), 0xABCD)
local ptr = lib:Get("EchoPtr", "ptr")
check("a buffer passes its first byte, ptr keeps the width", ptr(buf), buf:OffsetGetAsPointer(0))
check("a light pointer passes its value", ptr(buf:OffsetGetAsPointer(4)), buf:OffsetGetAsPointer(4))
check("WString passes its units", lib:Get("WLen", "int")(WString.New(nil, "你好吗")), 3)
check("AString passes its bytes", lib:Get("ALen", "int")(AString.New(nil, "中文")), 4)
check("script strings pass UTF-8 bytes", lib:Get("ALen", "int")("中文"), 6)

local counted = lib:Get("Counted", "int")
local calls = lib:Get("CallCount", "int")
local before = calls()
check_error("table argument", function() counted({}) end, "unknow argument type")
check_error("function argument", function() counted(print) end, "unknow argument type")
check_error("coroutine argument", function() counted(5, coroutine.create(print)) end, "unknow argument type")
check("the native function was not called", calls(), before)
check("a good call is counted", counted(5), 5)
check("... once", calls(), before + 1)

-- last error ---------------------------------------------------------------------
local setErr = lib:Get("SetErr", "uint")
check("last error right after the call", select(2, setErr(1234)), 1234)
check("last error as an unsigned number", select(2, setErr(4294967295)), 4294967295)

-- failures -----------------------------------------------------------------------
local none, noneCode = lib:Get("NoSuchExport")
check("missing export", none, nil)
check("missing export: ERROR_PROC_NOT_FOUND", noneCode, 127)
local libGet = getmetatable(lib).Get
local notLib, why = libGet("StdMix0")
check("Get without a library value", notLib, nil)
check("... says so", why, "hModule is nil")
local missing, missingCode = DllManager.Load("no-such-library-here.dll")
check("missing library", missing, nil)
check("missing library: ERROR_MOD_NOT_FOUND", missingCode, 126)

-- GLibTab ------------------------------------------------------------------------
check("GLibTab metatable", getmetatable(GLibTab), debug.getregistry().GlobalLibTableMetaTable)
local k1 = GLibTab.kernel32
check("GLibTab loads on a miss", getmetatable(k1), debug.getregistry().DllManagerMetaTable)
check("... and keeps the value", rawget(GLibTab, "kernel32"), k1)
check("a second read is the same value", GLibTab.kernel32, k1)
GLibTab.kernel32 = nil
local k2 = GLibTab.kernel32
check("after nil it loads again", k2 ~= nil and k2 ~= k1, true)
check("letter case makes another key", GLibTab.Kernel32 ~= k2, true)
check("missing file", GLibTab["C:\\no\\such.dll"], nil)
check("missing file is not stored", rawget(GLibTab, "C:\\no\\such.dll"), nil)
check("boolean key", GLibTab[true], nil)
check("Sleep as the scripts bind it", (GLibTab.Kernel32:Get("Sleep")(1)), nil)
check("FindWindowW with a nil class", GLibTab.User32:Get("FindWindowW", "int")(nil, WString.New(nil, "no such title")), 0)
check("PathFileExistsW", GLibTab.Shlwapi:Get("PathFileExistsW", "bool")(WString.New(nil, "C:\\windows")), true)
local env = RawBuffer.New(520)
GLibTab.kernel32:Get("GetEnvironmentVariableW", "uint")(WString.New(nil, "VEK_PROBE_OUT"), env, 260)
check("a system call fills a buffer", env:OffsetGetAsWString(0):find("records.txt", 1, true) ~= nil, true)

-- loads are counted: each UnLoad releases one -------------------------------------
local null = lib:Get("NullText", "ptr")()
local handleOf = GLibTab.kernel32:Get("GetModuleHandleW", "ptr")
local path = WString.New(nil, testlib_path)
local byPath = GLibTab[testlib_path]
check("GLibTab by full path", byPath ~= nil, true)
check("UnLoad gives nil", byPath:UnLoad(), nil)
GLibTab[testlib_path] = nil
check("still mapped: one load left", handleOf(path) ~= null, true)
check("UnLoad of something else is harmless", lib.UnLoad(42), nil)
lib:UnLoad()
check("unmapped after the last UnLoad", handleOf(path) == null, true)

-- after UnLoad: nothing calls into the unmapped library ------------------------------
check_error("a bound function of an unloaded library", function() return echo(1) end, "library unloaded")
local gone, goneWhy = lib:Get("EchoPtr", "uint")
check("Get on an unloaded library", gone, nil)
check("... says so", goneWhy, "library unloaded")
local first, second = DllManager.Load(testlib_path), DllManager.Load(testlib_path)
first:UnLoad()
first:UnLoad()
check("a second UnLoad of one value frees nothing more", handleOf(path) ~= null, true)
second:UnLoad()
check("unmapped after the other value's UnLoad", handleOf(path) == null, true)

-- numeric keys (numbered_library names a library "<n>.dll" of the system folder) ---
local numbered = GLibTab[numbered_library]
check("a number names a library", getmetatable(numbered), debug.getregistry().DllManagerMetaTable)
check("... kept under the number", rawget(GLibTab, numbered_library), numbered)
check("... not under its text", rawget(GLibTab, tostring(numbered_library)), nil)
check("a second read is the same value", GLibTab[numbered_library], numbered)
numbered:UnLoad()

check_done()
