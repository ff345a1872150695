// Control ids of the uninstall dialog (a "#32770" dialog of the work copy).
// Tests drive it by these ids: check boxes with BM_SETCHECK, edits with
// WM_SETTEXT, buttons with WM_COMMAND.
#pragma once

#define IDD_UNINSTALL 100

#define IDC_MESSAGE 1001          // the text: confirmation, "running", "卸载完成"
#define IDC_CLEAR_USER_DATA 1002  // "同时删除用户数据" -> ClearUserData
#define IDC_FEEDBACK_GROUP 1003
#define IDC_REASON_1 1011  // reasons 1 to 4: the numbers of the checked ones,
#define IDC_REASON_2 1012  // joined with ",", become ReasonID
#define IDC_REASON_3 1013
#define IDC_REASON_4 1014
#define IDC_SUGGEST_LABEL 1020
#define IDC_SUGGEST 1021  // -> tbSuggest
#define IDC_CONTACT_LABEL 1022
#define IDC_CONTACT 1023  // -> tbContact
// IDOK (1) "卸载", then "完成" in the done state; IDCANCEL (2) "取消".
