-- AString, WString and RawBuffer as scripts see them.

-- constructors -----------------------------------------------------------------
local a = AString.New(nil, "")
check("empty AString length", #a, 0)
check("empty AString text", tostring(a), "")
check("WString.New(0)", WString.New(0), nil)
check("WString.New()", WString.New(), nil)
check("WString.New('abc')", WString.New("abc"), nil)
local w = WString.New(nil, nil)
check("WString nil,nil length", #w, 0)
check("WString capacity 1 reads position 0", w[0], "")
check_error("WString capacity 1 has no position 1", function() return w[1] end, "out of range")
local w7 = WString.New(3, "abcdef")
check("capacity below length: text kept", tostring(w7), "abcdef")
check("capacity below length: capacity length+1", w7[6], "")
check_error("capacity below length: nothing behind", function() return w7[7] end, "out of range")
local w10 = WString.New(10, "ab")
check("capacity 10 length", #w10, 2)
check("capacity 10 last position", w10[9], "")
check_error("capacity 10 ends at 9", function() return w10[10] end, "out of range")
local zeros = WString.New(260)
check("WString.New(260) length", #zeros, 0)
check("WString.New(260) last", zeros[259], "")
check("AString.New(2.5) has capacity 2 (ties to even)", AString.New(2.5)[1], "")
check_error("AString.New(2.5) has no position 2", function() return AString.New(2.5)[2] end, "out of range")
check("number text", tostring(AString.New(nil, 12.5)), "12.5")
check("table text is empty", tostring(WString.New(nil, {})), "")
check("WString from AString", tostring(WString.New(nil, AString.New(nil, "xyz"))), "xyz")
check("AString from WString", tostring(AString.New(nil, WString.New(nil, "xyz"))), "xyz")
check("Chinese round trip through ANSI 936", tostring(AString.New(nil, "中文")), "中文")
check("AString of Chinese holds GBK bytes", #AString.New(nil, "中文"), 4)
check("WString of Chinese holds UTF-16", #WString.New(nil, "中文"), 2)

-- characters -------------------------------------------------------------------
local abc = WString.New(nil, "abc")
check("index 0", abc[0], "a")
check("index 3 is the terminator", abc[3], "")
check("index -1", abc[-1], nil)
check("field name reads position 0", abc.anything, "a")
abc[0] = "z"
check("position 0 never written", tostring(abc), "abc")
abc[1] = "xyz"
check("position 1 takes the first letter", tostring(abc), "axc")
abc[3] = "q"
check("writes stop at the length", tostring(abc), "axc")
abc[2] = ""
check("empty text writes nothing", tostring(abc), "axc")
abc[2] = 7
check("numbers write their text", tostring(abc), "ax7")
local gbk = AString.New(nil, "中")  -- bytes D6 D0 in code page 936
check("bytes from 0x80 index as U+FF00 + byte (D6)", gbk[0], "\239\191\150")
check("bytes from 0x80 index as U+FF00 + byte (D0)", gbk[1], "\239\191\144")
check("ASCII bytes index as themselves", AString.New(nil, "x")[0], "x")
check("conversion reads the code page", tostring(gbk), "中")

-- length, concatenation, equality --------------------------------------------------
local two = AString.New(nil, "ab")
local joined = two .. 5
check("AString .. number", tostring(joined), "ab5")
check("joined capacity is length + 1", joined[3], "")
check_error("nothing behind the joined text", function() return joined[4] end, "out of range")
check("AString .. WString is an AString", getmetatable(two .. WString.New(nil, "c")) == getmetatable(two), true)
check("string .. WString is a WString", getmetatable("s" .. w) == getmetatable(w), true)
check("equal AStrings", AString.New(nil, "same") == AString.New(5, "same"), true)
check("different AStrings", AString.New(nil, "same") == AString.New(nil, "Same"), false)
check("AString and WString differ", AString.New(nil, "t") == WString.New(nil, "t"), false)
check("length stops at NUL", #AString.New(nil, "a\0b"), 1)

-- RawBuffer ----------------------------------------------------------------------
check("RawBuffer.New(0)", RawBuffer.New(0), nil)
check("RawBuffer.New(-0.4) is 0", RawBuffer.New(-0.4), nil)
local b = RawBuffer.New(4.5)
check("4.5 gives 4 bytes (ties to even)", b:OffsetGetAsUInt32(0), 0)
check_error("4.5 gives no fifth byte", function() return b:OffsetGetAsUInt8(4) end, "out of range")
b:OffsetSetAsInt32(0, -1)
check("UInt32 of -1", b:OffsetGetAsUInt32(0), 4294967295)
check("Int32 of -1", b:OffsetGetAsInt32(0), -1)
check("Int16 at 2", b:OffsetGetAsInt16(2), -1)
check("UInt16 at 2", b:OffsetGetAsUInt16(2), 65535)
check("UInt8 at 3", b:OffsetGetAsUInt8(3), 255)
check("Int8 at 3", b:OffsetGetAsInt8(3), -1)
check("Boolean", b:OffsetGetAsBoolean(0), true)
b:OffsetSetAsUInt32(0, 4294967295)
check("UInt32 all bits", b:OffsetGetAsInt32(0), -1)
b:OffsetSetAsUInt8(0, 256)
check("UInt8 of 256", b:OffsetGetAsUInt8(0), 0)
b:OffsetSetAsInt16(0, 0x12345)
check("Int16 keeps the low bits", b:OffsetGetAsUInt16(0), 0x2345)
b:OffsetSetAsUInt32(0, 2.5)
check("setters round ties to even", b:OffsetGetAsUInt32(0), 2)
b:OffsetSetAsUInt32(0, 3.5)
check("setters round ties to even (up)", b:OffsetGetAsUInt32(0), 4)
b:OffsetSetAsUInt32(0, "7")
check("numeric strings", b:OffsetGetAsUInt32(0), 7)
b:OffsetSetAsBoolean(0, 0)
check("0 is truthy", b:OffsetGetAsUInt32(0), 1)
b:OffsetSetAsBoolean(0, nil)
check("nil is false", b:OffsetGetAsUInt32(0), 0)
b:OffsetSetAsBoolean(0, false)
check("false is false", b:OffsetGetAsUInt32(0), 0)
check("operands are read from the end", b.OffsetSetAsUInt32(nil, nil, b, 0, 99), nil)
check("... so extra leading arguments are ignored", b:OffsetGetAsUInt32(0), 99)

local big = RawBuffer.New(16)
local p0, p8 = big:OffsetGetAsPointer(0), big:OffsetGetAsPointer(8)
check("pointer is a light userdata", type(p8), "userdata")
big:OffsetSetAsPointer(0, p8)
big:OffsetSetAsPointer(8, p0)
check("pointers are stored at full width", big:OffsetGetAsUInt32(8) ~= 0 or big:OffsetGetAsUInt32(12) ~= 0, true)
big:OffsetSetAsPointer(0, 5)
check("a number is no pointer", big:OffsetGetAsUInt32(0), 0)

local text = RawBuffer.New(16)
text:OffsetSetAsWString(0, WString.New(nil, "hi"))
check("block copy of a WString", text:OffsetGetAsWString(0), "hi")
text:OffsetSetAsAString(8, AString.New(nil, "中"))
check("block copy of an AString, read as ANSI", text:OffsetGetAsAString(8), "中")
text:OffsetSetAsAString(0, WString.New(nil, "ok"))
check("the two copies are one operation", text:OffsetGetAsWString(0), "ok")
local full = RawBuffer.New(4)
full:OffsetSetAsUInt32(0, 0x41414141)
check("text reads stop at the end of the buffer", full:OffsetGetAsAString(0), "AAAA")

-- bounds -------------------------------------------------------------------------
local four = RawBuffer.New(4)
for _, case in ipairs({
    {"OffsetGetAsInt32", 1}, {"OffsetGetAsUInt32", -1}, {"OffsetGetAsInt16", 3}, {"OffsetGetAsUInt16", 4},
    {"OffsetGetAsInt8", 4}, {"OffsetGetAsUInt8", 100000}, {"OffsetGetAsBoolean", 2},
    {"OffsetGetAsPointer", 4}, {"OffsetGetAsWString", 4}, {"OffsetGetAsAString", -4},
}) do
    check_error(case[1] .. " at " .. case[2], function() return four[case[1]](four, case[2]) end, "out of range")
end
for _, case in ipairs({
    {"OffsetSetAsInt32", 1}, {"OffsetSetAsUInt32", 4}, {"OffsetSetAsInt16", 3}, {"OffsetSetAsUInt16", -2},
    {"OffsetSetAsInt8", 4}, {"OffsetSetAsUInt8", 4}, {"OffsetSetAsBoolean", 1}, {"OffsetSetAsPointer", 1},
}) do
    check_error(case[1] .. " at " .. case[2], function() four[case[1]](four, case[2], 1) end, "out of range")
end
check_error("copy larger than the room", function() four:OffsetSetAsWString(0, WString.New(nil, "abc")) end,
            "out of range")
check_error("copy at the end", function() four:OffsetSetAsAString(3, AString.New(nil, "a")) end, "out of range")
check_error("copy of a script string", function() four:OffsetSetAsWString(0, "abc") end,
            "AString, WString or RawBuffer expected")
check_error("accessor without a buffer", function() return four.OffsetGetAsInt32(0) end, "RawBuffer expected")
check("bounds errors left the buffer alone", four:OffsetGetAsUInt32(0), 0)
check_error("negative size", function() return RawBuffer.New(-1) end, "block too big")

-- type identity -----------------------------------------------------------------
local reg = debug.getregistry()
check("AString metatable", getmetatable(AString.New(nil, "")), reg.AStringMetaTable)
check("WString metatable", getmetatable(WString.New(nil, "")), reg.WStringMetaTable)
check("RawBuffer metatable", getmetatable(RawBuffer.New(1)), reg.RawBufferMetaTable)
check("RawBuffer methods through __index", reg.RawBufferMetaTable.__index, reg.RawBufferMetaTable)
check("package.loaded holds the types", package.loaded.AString, AString)

check_done()
