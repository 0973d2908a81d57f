#include "DecodeApp.h"

#include <AppIdentity.h>

const char gAppName[] = "Dovrell";
const char gAppVer[] = "Ver 1.20";
const char gCright[] = SUITE_COPYRIGHT;
const char gAppAuthorE[] = "VELMOR";
const char gAppAuthorJ[] = "ＶＥＬＭＯＲ";
const char gAppSignature[] = "application/x-vnd.VELMOR-Dovrell";
