// The program name that the shared message boxes use as title, for unit tests that do not link
// the command framework (which defines it for the command programs).
#include "message_box.h"

const wchar_t* g_programName = L"VantrelUnit";
