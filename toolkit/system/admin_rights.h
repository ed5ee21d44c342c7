#pragma once
// Whether the process holds administrator rights: the rights that let it
// write where the user who started it may not, so that it must not be led
// there by what that user could change (a link in a folder the user can
// write).

#include <windows.h>

// Returns 1 when the process's token is elevated (Windows Vista and later,
// TokenElevation: also a full administrator's token where User Account
// Control is off) or, on the NT systems before Vista, holds the enabled
// Administrators group; 0 for any other token, and on Windows 95, 98 and
// Me, which have no rights to hold. The advapi32 functions are looked up
// when needed. A token that cannot be read counts as holding them: the
// caller then takes the careful way.
int HoldsAdministratorRights();
