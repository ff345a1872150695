-- Install logic of TovikClean: the handlers of the five install events.
-- Each stage records itself in the diagnostic log; the install actions
-- (folder, payload, registry, shortcuts, service, report) fill them in.

function VekSE_BeforeInit()
    Lua_Logout("VekSE_BeforeInit")
end

function VekSE_BeforeInstall()
    Lua_Logout("VekSE_BeforeInstall")
end

function VekSE_OnInstall()
    Lua_Logout("VekSE_OnInstall")
end

function VekSE_BeforeComplete()
    Lua_Logout("VekSE_BeforeComplete")
end

function VekSE_AfterComplete()
    Lua_Logout("VekSE_AfterComplete")
end
