// Texts of the settings program shared by its windows.
#include "setting_texts.h"

#include "command_table.h"
#include "paths.h"
#include "resource_ids.h"

const wchar_t kSettingTitle[] = L"TazuSetting";

// The build passes the address as a narrow literal; a build without one shows the read-me.
#ifndef VANTREL_PROJECT_URL
#define VANTREL_PROJECT_URL ""
#endif
const wchar_t kProjectPageUrl[] = L"" VANTREL_PROJECT_URL;
static_assert(sizeof kProjectPageUrl / sizeof kProjectPageUrl[0] <= kLinkTargetChars,
              "the project's address must fit the link's target");

const wchar_t kReadmeFile[] = L"README.txt";
const BilingualText kReadmeLinkText = {L"説明書 (README.txt)", L"Read me (README.txt)"};

int composeProjectLink(const wchar_t* pageUrl, const wchar_t* programFolder, UiLanguage language,
                       const wchar_t** text, wchar_t* target, size_t capacity)
{
    if (pageUrl && pageUrl[0]) {
        *text = pageUrl;
        if (copyText(target, capacity, pageUrl) == 0) return 0;
        if (capacity) target[0] = L'\0';
        return -1;
    }
    *text = pickText(kReadmeLinkText, language);
    return composeProgramPath(programFolder, kReadmeFile, target, capacity);
}

const ControlCaption kRegistrationPageCaptions[] = {
    {IDC_REG_GROUP, {L"登録/解除設定", L"Regist/Unset"}},
    {IDC_REG_ALL_LABEL, {L"全体設定(&A)", L"&All settings"}},
    {IDC_REG_HEADER_SENDTO, {L"送る", L"Sendto"}},
    {IDC_REG_HEADER_CONTEXT, {L"コンテキストメニュー", L"Contextmenu"}},
    {IDC_REG_HEADER_DESKTOP, {L"デスクトップ", L"Desktop"}},
    {IDC_REG_ROW_LABEL_FIRST + 0, {L"TazuHere\n - ここにバックアップ(&H)", L"Tazu&Here\n - Backup here"}},
    {IDC_REG_ROW_LABEL_FIRST + 1, {L"TazuHereZip\n - ここにZip形式でバックアップ(&Z)", L"TazuHere&Zip\n - Backup here Zip"}},
    {IDC_REG_ROW_LABEL_FIRST + 2, {L"TazuRename\n - このファイルをリネーム(&R)", L"Tazu&Rename\n - Rename this file"}},
    {IDC_REG_ROW_LABEL_FIRST + 3, {L"TazuThere\n - 指定フォルダにバックアップ(&T)", L"Tazu&There\n - Backup over there"}},
    {IDC_REG_ROW_LABEL_FIRST + 4, {L"TazuThereZip\n - 指定フォルダにZIP形式でバックアップ(&I)", L"TazuThereZ&ip\n - Backup over there Zip"}},
    {IDC_REG_EXECUTE, {L"実行(&E)", L"&Execute"}},
    {IDC_REG_START_SETTING, {L"バックアップ前にTazuSettingを起動する(&X)", L"To start TazuSetting before backup &process"}},
    {IDC_REG_AUTO_CLOSE, {L"結果画面を自動的に閉じる(&A)", L"&Automatically close the result dialog"}},
    {IDC_REG_USER_MENU, {L"コンテキストメニューをこのユーザーのみに登録(管理者権限不要)(&U)",
                         L"Context menu for this &user only (no administrator rights)"}},
};
const size_t kRegistrationPageCaptionCount = sizeof kRegistrationPageCaptions / sizeof kRegistrationPageCaptions[0];

const ControlCaption kBackupPageCaptions[] = {
    {IDC_BACKUP_DEST_GROUP, {L"バックアップ先フォルダの設定", L"Specify destination folder"}},
    {IDC_BACKUP_DEST_LABEL, {L"バックアップ先のフォルダ(&F):", L"Backup destination &folder:"}},
    {IDC_BACKUP_BROWSE, {L"参照(&B)...", L"&Browse..."}},
    {IDC_BACKUP_HISTORY, {L"履歴の整理(&H)...", L"Or&ganize the history..."}},
    {IDC_BACKUP_SEL_DIR, {L"バックアップ前にフォルダ選択ダイアログを表示する(&D)", L"O&pen the folder selection dialog before backup"}},
    {IDC_BACKUP_OPEN_DIR, {L"バックアップ後にバックアップ先のフォルダを開く(&E)", L"&Open the copy destination folder after backup"}},
    {IDC_BACKUP_ADD_GROUP, {L"付与する文字列(&J)", L"A&dd strings"}},
    {IDC_BACKUP_FILE_NAME, {L"(ファイル名)", L"(File name)"}},
    {IDC_BACKUP_EXT, {L"(.拡張子)", L"(.ext)"}},
    {IDC_BACKUP_ZERO_LABEL, {L"連番の前ゼロ(&O):", L"Ze&ro suppression:"}},
    {IDC_BACKUP_DIGIT, {L"桁", L"Digit"}},
    {IDC_BACKUP_KEEP_GROUP, {L"古いバックアップ", L"Older backups"}},
    {IDC_BACKUP_KEEP_LABEL, {L"各項目のバックアップを最新(&K)", L"&Keep the last"}},
    {IDC_BACKUP_KEEP_UNIT, {L"個まで保持(0: すべて)", L"backups of each item (0: all)"}},
    {IDC_BACKUP_VERIFY_GROUP, {L"バックアップの検証", L"Checking backups"}},
    {IDC_BACKUP_VERIFY, {L"各バックアップを読み戻して検証する(&V)", L"&Verify each backup by reading it back"}},
};
const size_t kBackupPageCaptionCount = sizeof kBackupPageCaptions / sizeof kBackupPageCaptions[0];

const ControlCaption kHistoryDialogCaptions[] = {
    {IDC_HISTORY_LABEL, {L"フォルダのパス", L"Folder path"}},
    {IDC_HISTORY_UP, {L"上へ(&U)", L"&Up"}},
    {IDC_HISTORY_DOWN, {L"下へ(&D)", L"&Down"}},
    {IDC_HISTORY_DELETE, {L"削除(&E)", L"D&elete"}},
    {IDC_HISTORY_UPDATE, {L"更新(&M)", L"U&pdate"}},
};
const size_t kHistoryDialogCaptionCount = sizeof kHistoryDialogCaptions / sizeof kHistoryDialogCaptions[0];

const BilingualText kTabTexts[2] = {
    {L"登録/解除", L"Regist/Unset"},
    {L"バックアップ設定", L"Backup setting"},
};

const wchar_t* const kLanguageItems[2] = {L"Japanese", L"English"};
