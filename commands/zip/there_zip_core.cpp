// TazuThereZip's core action: each item is archived into the destination folder ("Path" or the
// folder chosen during the run, which the framework saves as "Path" afterwards).
#include "there_destination.h"
#include "zip.h"

int RunCoreAction(const wchar_t* itemPath)
{
    return runZipCore(itemPath, destinationInBackupFolder);
}
