-- Configuration of the TovikClean installer and of its uninstaller.
-- Only global assignments: the host and both scripts read these values.
global_install_basepath = "TovikClean"
global_http_Agent = "ZOLVANE2020"
global_union_id = 13005
global_union_id_x64 = 13005
global_app_id = 201
global_version = "1.0.12.46"
global_product_name = "TovikC盘清理"
global_shortcut_name = "TovikC盘清理"
global_product_name_inner = "TovikClean"
global_company_name = "Tovik Software Ltd."
global_legalcopyright = "Copyright (C) 2026 Tovik Software Ltd. All rights reserved."
global_main_app_name = "TovikCCleanerMain.exe"
global_main_app_name_inner = "TovikCCleanerMain.exe"
global_old_product_name = "TovikCCleanerMain"
global_licence_url = "https://www.tovik.example/licence.html"
global_need_disk_space = 111142715
global_main_wnd_cls = "TovikCleanWnd"
global_uninst_sub_key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TovikClean"
global_reg_sub_key = "SOFTWARE\\TovikClean"
global_reg_run_key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\TovikClean"
global_startup_check_visable = true
global_disable_cover = false
global_cover_unionId = false
global_show_completewindow = true
global_uninstall_useui = true
global_uninstall_no_start_prompt = true
global_create_log_folder = false
global_udp_un_install_port = 8100
global_udp_install_uninstall_url = "stat.tovik.example"
global_install_PostURL = "http://stat.tovik.example/api/InstallStat"
global_Uninstall_PostURL = "http://stat.tovik.example/api/UnInstallStat"
global_Uninstall_Suggesstion_url = "https://www.tovik.example/feed?ruleShow=true"
global_AwardLnk_url = "https://www.tovik.example/feed?ruleShow=true"
global_Uninstall_ReasonURL = "http://feedback.tovik.example/api/v1/feedback/add"
global_kf_QQ = 3000012345
global_kf_QQQ = ""
global_startuseexplorer_level = true
global_disable_analyze_params_from_file_name = true
global_enable_ss_install = false
