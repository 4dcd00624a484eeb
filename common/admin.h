#pragma once

// Whether the caller's token is a member of the built-in Administrators group.
bool isUserAdmin();
