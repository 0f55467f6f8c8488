// TazuUAC's work on one request: the request's form, the elevation it needs, and the
// context-menu work under the machine's classes with the reply's fifteen numbers.
#pragma once
#include <stddef.h>

#include "command_table.h"
#include "menu_request.h"
#include "registration_exchange.h"

// Carries out a request (TazuUAC's command line) and fills the reply. A request of another
// form changes nothing and every row fails; without elevation a message says so and every
// requested row fails. Registered rows left at Keep are registered again, so the whole group
// is renumbered. Returns 0, or -1 when the request was refused.
int processRegistrationRequest(const wchar_t* commandLine, bool elevated, RegistrationReply* reply);

// The reply to a request that TazuUAC does not carry out because it could not keep libraries of
// its own folder from loading: every row that asks for a change fails with number 2040 (every
// row, when the request itself is refused), and nothing is changed.
void refuseWithoutRestrictedSearch(const wchar_t* commandLine, RegistrationReply* reply);

// Whether the process runs with administrator rights (true where the system cannot tell).
bool runsElevated();
