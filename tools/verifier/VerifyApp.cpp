#include "VerifyApp.h"

#include <AppIdentity.h>

const char gAppName[] = "Tarvin";
const char gAppVer[] = "Ver 1.20";
const char gCright[] = "Copyright (C) 2003-2026 %AppAuthor%";
const char gAppAuthorE[] = "VELMOR";
const char gAppAuthorJ[] = "ＶＥＬＭＯＲ";
const char gAppSignature[] = "application/x-vnd.VELMOR-Tarvin";
