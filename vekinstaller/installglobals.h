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

// The installer window's.
constexpr TextGlobal kProductName{"global_product_name"};
constexpr BoolGlobal kStartupCheckVisible{"global_startup_check_visable"};
constexpr BoolGlobal kStartupCheck{"global_startup_check"};
constexpr TextGlobal kInstallBasePath{"global_install_basepath"};
constexpr TextGlobal kBackupPath{"BackUpPath"};
constexpr TextGlobal kNeedDiskSpace{"global_need_disk_space"};
constexpr TextGlobal kLicenceUrl{"global_licence_url"};
constexpr TextGlobal kMainAppName{"global_main_app_name"};
constexpr TextGlobal kStartParameter{"global_start_parameter"};
constexpr BoolGlobal kStartViaExplorer{"global_startuseexplorer_level"};
constexpr BoolGlobal kShowCompleteWindow{"global_show_completewindow"};
constexpr IntegerGlobal kProgressElapse{"global_install_progress_elapse"};
constexpr IntegerGlobal kProgressPos{"global_install_progress_pos"};

}  // namespace globals
