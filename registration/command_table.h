// The registration vocabulary that TazuSetting and TazuUAC share: the five command programs in
// their fixed order, the texts that an installation derives from its folder name (caption
// suffix and verb-key prefix), the program paths, and the small enumerations that the
// registration page, the shortcut operations, the elevation hand-off and the registry
// operations exchange.
#pragma once
#include <stddef.h>
#include <windows.h>

#include "language.h"
#include "paths.h"

constexpr int kCommandCount = 5;

// Most characters of a command's file name and of a caption (buffers add the terminator).
constexpr size_t kCommandFileLimit = 31;
constexpr size_t kCaptionLimit = 63;

// A folder-derived text has at most a path's length; the suffix and prefix add a few characters.
constexpr size_t kInstallationTextChars = kPathChars + 8;

// Where a command can be registered; also the column order of the registration page.
enum RegistrationPlace { PlaceSendTo = 0, PlaceContextMenu = 1, PlaceDesktop = 2 };
constexpr int kPlaceCount = 3;

// A switch of the registration page and a row of the registration request.
enum SwitchPosition { SwitchOff = 0, SwitchKeep = 1, SwitchOn = 2 };

// Result of one operation on one row and place; the numbers travel unchanged from TazuUAC to
// TazuSetting. Done and AlreadyDone both count as success.
enum OpResult { ResultNone = 0, ResultDone = 1, ResultFailure = 2, ResultAlreadyDone = 4 };

// Which program runs the registration code: the identifiers of its error trail differ ("UAC-"
// prefix for the helper), and only TazuSetting tells access denied apart in a registry check.
enum RegistrationCaller { CallerSetting = 0, CallerHelper = 1 };

// The installation as the running program sees it, computed once at start.
struct Installation {
    wchar_t programFolder[kPathChars];                // with trailing backslash
    wchar_t captionSuffix[kInstallationTextChars];    // "" or "_<folder text>"
    wchar_t verbKeyPrefix[kInstallationTextChars];    // "tazu." or "tazu.<folder text>."
    RegistrationCaller caller;
};

extern Installation g_installation;

// Row lookup, for rows 0 to 4 (nullptr outside).
const wchar_t* commandFileName(int row);
const wchar_t* commandCaption(int row, UiLanguage language);

// The caption suffix and verb-key prefix of a folder-derived text ("" for the folder key "tazu").
void deriveInstallationTexts(const wchar_t* folderText, wchar_t* captionSuffix, size_t suffixCapacity,
                             wchar_t* verbKeyPrefix, size_t prefixCapacity);

// Fills g_installation for programs in programFolder (a trailing backslash is added when
// missing). Returns 0, or -1 when the folder does not fit a path.
int setInstallation(const wchar_t* programFolder, RegistrationCaller caller);

// setInstallation with the folder of the running program. Returns 0 or -1.
int setInstallationFromRunningProgram(RegistrationCaller caller);

// The row's caption in the language followed by the caption suffix. Returns the length of the
// whole caption (the text is cut to the buffer), or -1 for a row outside 0 to 4.
int composeCaption(int row, UiLanguage language, wchar_t* out, size_t capacity);

// A program folder followed by a file name. Returns 0, or -1 (and an empty text) when the
// path would exceed 259 characters.
int composeProgramPath(const wchar_t* folder, const wchar_t* fileName, wchar_t* out, size_t capacity);

// The program path of a row in the installation's folder. Returns 0 or -1 (empty text).
int programPath(int row, wchar_t* out, size_t capacity);

// A failure point of one routine: its identifier and message number (0 where the failure has
// no message of its own).
struct FailurePoint {
    const wchar_t* id;
    unsigned number;
};

// Records the point with a code in g_errorTrail.
void recordFailure(const FailurePoint& point, DWORD code);

// A failure point that both programs share, with the identifier and message number that each
// records ("UAC-" identifiers for the helper).
struct TrailPoint {
    const wchar_t* settingId;
    unsigned settingNumber;
    const wchar_t* helperId;
    unsigned helperNumber;
};

// Records the point in g_errorTrail as the installation's caller names it.
void recordTrailPoint(const TrailPoint& point, DWORD code);
