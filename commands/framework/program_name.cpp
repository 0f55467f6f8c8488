// The running program's name, set from its CommandProgram at the start. Alone in its file so
// that a test program may define its own name instead.
#include "message_box.h"

const wchar_t* g_programName = L"";
