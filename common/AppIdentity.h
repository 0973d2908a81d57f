// The identity of a program. Each program defines the six texts in its
// identity unit, which must include this header so that the definitions
// get external linkage:
//
//   #include <AppIdentity.h>
//   const char gAppName[] = "Fennick";
//   const char gCright[] = SUITE_COPYRIGHT;
//   ...
#pragma once

extern const char gAppName[];        // display name
extern const char gAppVer[];         // "Ver 1.30"
extern const char gCright[];         // contains "%AppAuthor%"
extern const char gAppAuthorE[];     // "VELMOR", also a dictionary key
extern const char gAppAuthorJ[];     // "ＶＥＬＭＯＲ"
extern const char gAppSignature[];   // "application/x-vnd.VELMOR-<Name>"

// The copyright line of every program of the suite: one range for all.
#define SUITE_COPYRIGHT "Copyright (C) 2003-2026 %AppAuthor%"
