// Texts of the command programs, exactly as the user sees them.
#include "command_texts.h"

const wchar_t* const kClassNotRegisteredText = L"Could not register window class.";
const wchar_t* const kMainWindowNotCreatedText = L"Unable to create the main window.";

const BilingualText kNothingDroppedText = {
    L"バックアップしたいファイルをドロップしてください。",
    L"Please drop the files you want to back up.",
};
const BilingualText kQuotedPathTooLongText = {
    L"パスは%d文字以内にしてください。\n\n%s",
    L"Please refer to the length of the path of this file in less than %d characters.\n\n%s",
};
// The Japanese text of an unquoted path has always read "してくください"; users know it so.
const BilingualText kUnquotedPathTooLongText = {
    L"パスは%d文字以内にしてくください。\n\n%s",
    L"Please refer to the length of the path of this file in less than %d characters.\n\n%s",
};

const BilingualText kItemNotFoundText = {
    L"フォルダ又はファイルを選択してください。\n\n%s",
    L"Please select a folder or file.\n\n%s",
};
const BilingualText kFolderNotCreatedReselectText = {
    L"バックアップ先のフォルダを作成できませんでした。\nフォルダを選択し直してください。\n\n%s\n\n%s",
    L"Could not create backup destination folder.\nPlease select a folder again.\n\n%s\n\n%s",
};
const BilingualText kFolderNotCreatedText = {
    L"バックアップ先のフォルダを作成できませんでした。\n\n%s\n\n%s",
    L"Could not create backup destination folder.\n\n%s\n\n%s",
};
const BilingualText kCanNotBackupText = {
    L"バックアップできません。\n\n%s\n%s\n\nバックアップ先のフォルダを選択して下さい。",
    L"Can not backup.\n\n%s\n%s\n\nPlease Select in which to backup.",
};
const BilingualText kBrowseTitleText = {
    L"バックアップフォルダを選択して下さい",
    L"Please select backup folder",
};
const BilingualText kFolderDoesNotExistText = {
    L"選択したフォルダは存在しません。",
    L"Selected folder does not exist.",
};
const BilingualText kCopyIncompleteText = {
    L"バックアップを完全に作成できませんでした。\nコピーに無いか途中で切れているファイル又はフォルダ:\n\n%s",
    L"Could not back up completely.\nThis file or folder is missing or cut short in the copy:\n\n%s",
};
const BilingualText kDestinationInsideItemText = {
    L"バックアップ先がバックアップするフォルダの中にあります。\nフォルダの外をバックアップ先にしてください。\n\n%s\n\n%s",
    L"The backup destination lies inside the folder to back up.\nPlease choose a destination outside it.\n\n%s\n\n%s",
};
const BilingualText kFreeTextCharactersText = {
    L"設定「%s」にファイル名に使用できない文字が含まれています。\nTazuSettingで修正してください。\n\nNG : %s\n\n%s",
    L"The setting \"%s\" holds characters that can not be used in a file name.\nPlease correct it in TazuSetting.\n\nNG : %s\n\n%s",
};
const BilingualText kReservedItemNameText = {
    L"この項目の名前はWindowsがデバイス用に予約している名前です\n(CON、PRN、AUX、NUL、COM1～COM9、LPT1～LPT9)。\nこの名前のままではバックアップも名前の変更もできません。\n\n%s",
    L"The name of this item is one that Windows reserves for a device\n(CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9).\nAn item of this name can not be backed up or renamed.\n\n%s",
};
const BilingualText kReservedBackupNameText = {
    L"この項目の新しい名前「%s」はWindowsがデバイス用に予約している名前になります。\nTazuSettingで付与する文字列を変更してください。\n\n%s",
    L"The new name \"%s\" of this item would be one that Windows reserves for a device.\nPlease change the strings added to names in TazuSetting.\n\n%s",
};

const BilingualText kQuitQuestionText = {
    L"終了してよろしいですか?",
    L"Are you sure you want to quit?",
};
const wchar_t* const kAutoCloseOnText = L"Auto close:On";
const wchar_t* const kAutoCloseOffText = L"Auto close:Off";
const wchar_t* const kPleaseWaitText = L"Please wait.";
const wchar_t* const kSuccessText = L"Success.";
const wchar_t* const kBackupFailedText = L"Backup failed!";
const wchar_t* const kCloseText = L"Close";
const wchar_t* const kNamesLineFormat = L"[%s]";
const wchar_t* const kSecondToolFormat = L"%s ...";

const BilingualText kOlderMovedNote = {L" (古い%d個をごみ箱へ)", L" (%d older to Recycle Bin)"};
const BilingualText kOlderKeptNote = {L" (ごみ箱なし: 古い分は保持)", L" (no Recycle Bin: older kept)"};
const BilingualText kOlderNoRoomNote = {L" (ごみ箱に空きなし: 古い分は保持)", L" (Recycle Bin full: older kept)"};
const BilingualText kOlderStoppedNote = {L" (古い分の整理を中止)", L" (clean-up stopped)"};
const BilingualText kOlderNoRecordNote = {L" (記録を使えず: 古い分は保持)", L" (no record: older kept)"};
const BilingualText kOlderNoTurnNote = {L" (別の実行中: 古い分は保持)", L" (another run: older kept)"};
const BilingualText kOlderInUseNote = {L" (使用中の古い分は保持)", L" (older in use kept)"};
const BilingualText kOlderMovedSentence = {
    L"%s: 古いバックアップ%d個をごみ箱へ移動しました。",
    L"%s: %d older backup(s) went to the Recycle Bin.",
};
const BilingualText kOlderKeptNoBinSentence = {
    L"%s: 古いバックアップ%d個は残しました: ドライブ %s にはごみ箱がありません。",
    L"%s: %d older backup(s) stay: the drive %s has no Recycle Bin.",
};
const BilingualText kOlderNoRoomSentence = {
    L"%s: 古いバックアップ%d個は残しました: %s のごみ箱に %s の空きがありません。",
    L"%s: %d older backup(s) stay: the Recycle Bin of %s has no room for %s.",
};
const BilingualText kOlderStoppedSentence = {
    L"%s: %s をごみ箱へ移動できなかったため、古いバックアップの整理を中止しました (%d個を保持)。",
    L"%s: could not move %s to the Recycle Bin; the clean-up of older backups stopped (%d kept).",
};
const BilingualText kOlderRecordLockedSentence = {
    L"%s: バックアップの記録 %s を別のプログラムが使用中のため、古いバックアップは整理しませんでした。",
    L"%s: older backups stay: another program keeps the record of backups made (%s) open.",
};
const BilingualText kOlderRecordUnusableSentence = {
    L"%s: バックアップの記録 %s を読み書きできないため、古いバックアップは整理しませんでした。",
    L"%s: older backups stay: the record of backups made (%s) cannot be read or written.",
};
const BilingualText kOlderRecordDamagedSentence = {
    L"%s: バックアップの記録 %s に読めない行があるため、古いバックアップは整理しませんでした。このファイルを削除すると記録をやり直します。",
    L"%s: older backups stay: the record of backups made (%s) holds lines that cannot be read. Delete it to start a new record.",
};
const BilingualText kOlderRecordNoPlaceSentence = {
    L"%s: バックアップの記録を置く設定フォルダがないため、古いバックアップは整理しませんでした。",
    L"%s: older backups stay: there is no settings folder to keep the record of backups made in.",
};
const BilingualText kOlderNoTurnSentence = {
    L"%s: この項目の同じフォルダへの別のバックアップが実行中のため、古いバックアップは整理しませんでした。このバックアップは記録されないため、自動では整理されません。",
    L"%s: older backups stay: another backup of this item into this folder was still running. This backup is not recorded, so it is never cleaned up.",
};
const BilingualText kOlderInUseSentence = {
    L"%s: 古いバックアップ%d個は、リンクであるか項目または作業フォルダを含むため残しました。",
    L"%s: %d older backup(s) stay: they are links or hold the item or the working folder.",
};

const BilingualText kVerifyingText = {L"検証中…", L"Verifying…"};
const BilingualText kVerifiedNote = {L" (検証済み)", L" (verified)"};
const BilingualText kCopyVerifiedSentence = {
    L"%s: 読み戻して比較し、%s バイトが一致しました。",
    L"%s: verified, %s bytes read back and found equal.",
};
const BilingualText kCopyVerifyDifferentText = {
    L"バックアップの検証に失敗しました。ディスクから読み戻した内容が一致しません。\nコピーに無いか内容が異なるファイル:\n\n%s",
    L"The backup failed its check: read back from the disk, it does not match.\nThis file is missing from the copy or differs in it:\n\n%s",
};
const BilingualText kCopyVerifyUnreadableText = {
    L"バックアップの検証に失敗しました。読み戻せないファイルがあります。\n読み取れなかったファイル又はそのコピー:\n\n%s\n\n%s",
    L"The backup failed its check: it could not be read back.\nThis file or its copy could not be read:\n\n%s\n\n%s",
};
