// The script globals the installer host reads and writes (what each means is
// the scripts' business).
#pragma once

#include "utility/vekscriptengine/scriptglobal.h"

namespace globals {

constexpr TextGlobal kInstallMutexGuid{"global_install_mutex_guid"};
constexpr IntegerGlobal kAppId{"global_app_id"};
constexpr BoolGlobal kEnableSilentInstall{"global_enable_ss_install"};
constexpr BoolGlobal kSilentInstall{"global_ss_install"};
constexpr TextGlobal kDefaultInstallPath{"global_install_path"};
constexpr TextGlobal kInstallPath{"InstallPath"};

}  // namespace globals
