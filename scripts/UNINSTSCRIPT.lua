-- Uninstall logic of TovikClean, run by the product's uninstaller from
-- Uninst.dar1 after the configuration in Uninst.dar0.

function VekSE_BeforeInit()
    Lua_Logout("VekSE_BeforeInit")
end

function VekSE_OnUninstall()
    Lua_Logout("VekSE_OnUninstall")
end

function VekSE_FeedBack()
    Lua_Logout("VekSE_FeedBack")
end

function VekSE_AfterUnintall()
    Lua_Logout("VekSE_AfterUnintall")
end
