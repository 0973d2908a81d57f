// The identity and usage text of the framework test program.
#include <AppIdentity.h>
#include <Common.h>

#include <iostream>

const char gAppName[] = "Testprog";
const char gAppVer[] = "Ver 9.99";
const char gCright[] = "(C) %AppAuthor% and %AppAuthor%";
const char gAppAuthorE[] = "VELMOR";
const char gAppAuthorJ[] = "ＶＥＬＭＯＲ";
const char gAppSignature[] = "application/x-vnd.VELMOR-Testprog";

void exp_usage()
{
    std::cout << "USAGE\n";
}
