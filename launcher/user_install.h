// The per-user part of the product: the user's product folder filled from
// the "user_default" template folder beside the launcher, and the test for a
// sending mail account that lets the launcher install without asking.
#pragma once

#include <string>

// Creates one folder; one that already exists counts as success.
bool createUserDir(const std::string& path);
// Copies the template files that the user's folder lacks; never overwrites.
bool copyUserFiles();
// Whether a mail account of the system's mail client has an SMTP address.
bool hasSmtpAccount();
