// TazuHereZip's core action: each item is archived beside itself (or into the folder chosen for
// the run when "SelDir" is 1).
#include "zip.h"

int RunCoreAction(const wchar_t* itemPath)
{
    return runZipCore(itemPath, destinationBesideItem);
}
