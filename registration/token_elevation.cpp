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
    const int desktop = desktopToken ? elevationOf(desktopToken) : -1;
    if (own < 0) return false;
    // The desktop's shell of this very account lets an elevated process of it ask its token; one
    // that does not is another account's.
    if (desktop < 0) return own == 1;
    if (own == 1 && desktop == 0) return true;
    // A token's user fits in a small buffer: the structure and one SID of at most 68 bytes. The
    // unions keep the structures aligned as the system expects.
    union TokenUser {
        TOKEN_USER user;
        BYTE bytes[256];
    } ownUser, desktopUser;
    if (!userOf(ownToken, ownUser.bytes, sizeof ownUser) || !userOf(desktopToken, desktopUser.bytes, sizeof desktopUser))
        return false;
    return !EqualSid(ownUser.user.User.Sid, desktopUser.user.User.Sid);
}

bool userClassesAreNotTheDesktops()
{
    HWND shell = GetShellWindow();
    DWORD processId = 0;
    if (!shell || !GetWindowThreadProcessId(shell, &processId) || !processId) return false;
    HANDLE ownToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &ownToken)) return false;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    HANDLE desktopToken = nullptr;
    if (process && !OpenProcessToken(process, TOKEN_QUERY, &desktopToken)) desktopToken = nullptr;
    bool differ = userClassesDifferBetween(ownToken, desktopToken);
    if (desktopToken) CloseHandle(desktopToken);
    if (process) CloseHandle(process);
    CloseHandle(ownToken);
    return differ;
}
