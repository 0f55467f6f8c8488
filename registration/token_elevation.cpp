// The elevation of tokens and the account they belong to.
#include "token_elevation.h"

namespace {

// 1 elevated, 0 not, -1 not to be asked.
int elevationOf(HANDLE token)
{
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size)) return -1;
    return elevation.TokenIsElevated != 0 ? 1 : 0;
}

// The account of a token: its user's SID copied into the buffer; false when it cannot be had.
bool userOf(HANDLE token, BYTE* buffer, DWORD capacity)
{
    DWORD size = 0;
    return GetTokenInformation(token, TokenUser, buffer, capacity, &size) != FALSE;
}

}  // namespace

int tokenElevation()
{
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    // Before the NT family's sixth version there is no elevation to ask about.
    if (GetVersionExW(&version) &&
        (version.dwPlatformId != VER_PLATFORM_WIN32_NT || version.dwMajorVersion <= 5))
        return -1;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return -1;
    int elevation = elevationOf(token);
    CloseHandle(token);
    return elevation;
}

bool userClassesDifferBetween(HANDLE ownToken, HANDLE desktopToken)
{
    const int own = elevationOf(ownToken);
    const int desktop = elevationOf(desktopToken);
    if (own < 0 || desktop < 0) return false;
    if (own == 1 && desktop == 0) return true;
    // A token's user fits in a small buffer: the structure and one SID of at most 68 bytes.
    BYTE ownUser[256];
    BYTE desktopUser[256];
    if (!userOf(ownToken, ownUser, sizeof ownUser) || !userOf(desktopToken, desktopUser, sizeof desktopUser))
        return false;
    return !EqualSid(reinterpret_cast<TOKEN_USER*>(ownUser)->User.Sid,
                     reinterpret_cast<TOKEN_USER*>(desktopUser)->User.Sid);
}

bool userClassesAreNotTheDesktops()
{
    HWND shell = GetShellWindow();
    DWORD processId = 0;
    if (!shell || !GetWindowThreadProcessId(shell, &processId) || !processId) return false;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process) return false;
    HANDLE desktopToken = nullptr;
    HANDLE ownToken = nullptr;
    bool differ = OpenProcessToken(process, TOKEN_QUERY, &desktopToken) &&
                  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &ownToken) &&
                  userClassesDifferBetween(ownToken, desktopToken);
    if (ownToken) CloseHandle(ownToken);
    if (desktopToken) CloseHandle(desktopToken);
    CloseHandle(process);
    return differ;
}
