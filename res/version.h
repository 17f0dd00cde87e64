// The program's version, in one place: the version resource and the packages are named from it.
#pragma once

#define TESSEL_VERSION_MAJOR 1
#define TESSEL_VERSION_MINOR 0
#define TESSEL_VERSION_PATCH 0
#define TESSEL_VERSION_BUILD 0
#define TESSEL_VERSION_TEXT "1.0.0"

#define TESSEL_PRODUCT_NAME "Calvera Tessel for Excel"
#define TESSEL_COMPANY "Calvera Software"
#define TESSEL_COPYRIGHT "Copyright (C) 2026 Calvera Software. All rights reserved."
