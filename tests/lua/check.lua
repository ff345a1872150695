-- A small check library for scripts run by the test installers. Results go
-- to the probe's record file: one line per failure, then a summary.
local checks, failures = 0, 0

local function fail(name, ...)
    failures = failures + 1
    probe_record("FAIL", name, ...)
end

function check(name, actual, expected)
    checks = checks + 1
    if actual ~= expected then fail(name, "got", tostring(actual), "expected", tostring(expected)) end
end

-- `fn` must raise an error whose message contains `text`.
function check_error(name, fn, text)
    checks = checks + 1
    local ok, err = pcall(fn)
    if ok or not tostring(err):find(text, 1, true) then fail(name, tostring(ok), tostring(err)) end
end

-- The whole content of a file, or nil.
function read_file(path)
    local f = io.open(path, "rb")
    if not f then return nil end
    local data = f:read("*a")
    f:close()
    return data
end

function check_done()
    probe_record("checks", checks, "failures", failures)
end
