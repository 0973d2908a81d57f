#include "EncodeApp.h"

#include <AppIdentity.h>

const char gAppName[] = "Fennick";
const char gAppVer[] = "Ver 1.30";
const char gCright[] = SUITE_COPYRIGHT;
const char gAppAuthorE[] = "VELMOR";
const char gAppAuthorJ[] = "ＶＥＬＭＯＲ";
const char gAppSignature[] = "application/x-vnd.VELMOR-Fennick";
