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
const BilingualText kOlderStoppedNote = {L" (古い分の整理を中止)", L" (clean-up stopped)"};
const BilingualText kOlderMovedSentence = {
    L"%s: 古いバックアップ%d個をごみ箱へ移動しました。",
    L"%s: %d older backup(s) went to the Recycle Bin.",
};
const BilingualText kOlderKeptNoBinSentence = {
    L"%s: ドライブ %s にはごみ箱がないため、古いバックアップは削除せずに残しました。",
    L"%s: older backups were kept, the drive %s has no Recycle Bin.",
};
const BilingualText kOlderStoppedSentence = {
    L"%s: %s をごみ箱へ移動できなかったため、古いバックアップの整理を中止しました。",
    L"%s: could not move %s to the Recycle Bin; the clean-up of older backups stopped.",
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
