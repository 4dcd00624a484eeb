// Names every program agrees on: the product's folder in each user's
// application data and the configuration file kept in it.
#pragma once

constexpr char kProductFolderName[] = "Norvale";
constexpr char kConfFileName[] = "norvale.conf";
