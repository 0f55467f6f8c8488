// Backup name builder: composition of new paths, serial-number scan, length and collision rules.
#include "naming.h"

const BilingualText kPathTooLongText = {
    L"出力ファイルのパスが最大値(%d文字)を超えています。\n\n%s (%d文字)",
    L"The path of the output file exceeds maximum value(%d characters).\n\n%s (%d characters)",
};
const BilingualText kNameTakenText = {
    L"バックアップ先に同名のファイルが既に存在しています。\n\n%s",
    L"The same name of the file to the backup destination already exists.\n\n%s",
};
const BilingualText kSerialOverflowText = {
    L"連番が最大値(%I64d)を超えました。",
    L"The serial number has exceeded the maximum value(%I64d).",
};
