// File-manager integration (placeholder until it is built: shows nothing).
#include "explorer.h"

void OpenFolderAndSelect(const wchar_t*, const wchar_t*)
{
}
