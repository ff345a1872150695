-- The statistics library through GLibTab, as the install and uninstall
-- scripts call it. Needs stat_path, udp_port, ok_url and fail_url from the
-- prelude; the test reads back what the server received.
local lib = GLibTab[stat_path]
check("library loads", lib ~= nil, true)

local function get(name, kind)
    local f, err = lib:Get(name, kind)
    check("Get " .. name, type(f), "function")
    check("Get " .. name .. " gives a code to print", type(err) == "number" or type(err) == "string", true)
    return f
end

-- the install report
get("stat_unionid")(13005)
get("stat_appid")(201)
get("stat_level")(2)
get("stat_version_ex")(1, 0, 12, 46)
get("stat_install_addr")("127.0.0.1", udp_port)
check("stat_init", get("stat_init", "bool")(), true)
check("stat_install", get("stat_install", "int")(3), 1)
local post = get("stat_http_post", "int")
check("post, server answers 200", post(ok_url, nil, 0, true), 1)
check("post, server answers 500", post(fail_url, nil, 0, true), 0)
-- the uninstall feedback: a text of its own
local reason = "卸载原因: too slow"
check("post of a text", post(ok_url, reason, string.len(reason), true), 1)
get("stat_close")(50)
lib:UnLoad()
GLibTab[stat_path] = nil

check_done()
