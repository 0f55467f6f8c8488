// Registration page: initialised from the settings, draws its row icons for the window's DPI.
#include "registration_page.h"

#include "resource_ids.h"
#include "row_icons.h"
#include "settings.h"

namespace {

void onInitDialog(HWND page)
{
    CheckDlgButton(page, IDC_REG_START_SETTING, g_settings.startSetting == 1 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(page, IDC_REG_AUTO_CLOSE, g_settings.autoClose == 1 ? BST_CHECKED : BST_UNCHECKED);
    drawRowIcons(page, windowDpi(page));
}

void onDestroy()
{
    deleteRowIcons();
}

}  // namespace

INT_PTR CALLBACK registrationPageProc(HWND page, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        onInitDialog(page);
        return FALSE;   // the settings window decides where the focus goes
    case WM_DESTROY:
        onDestroy();
        return FALSE;
    default:
        return FALSE;
    }
}

void collectRegistrationPage(HWND page, int* startSetting, int* autoClose)
{
    *startSetting = IsDlgButtonChecked(page, IDC_REG_START_SETTING) == BST_CHECKED ? 1 : 0;
    *autoClose = IsDlgButtonChecked(page, IDC_REG_AUTO_CLOSE) == BST_CHECKED ? 1 : 0;
}
