// The module's version values, shared by the version block and the tests that read it.
#pragma once

#define WSK_MAKER "Nordwyk Softworks"
#define WSK_PRODUCT_FAMILY "Velm Reference Suite"

#define WSK_FILEVERSION_NUM 5, 1, 1, 0
#define WSK_PRODUCTVERSION_NUM 10, 3, 0, 0
#define WSK_FILEVERSION_TEXT "5.1.001"
#define WSK_PRODUCTVERSION_TEXT "10.3.000"
#define WSK_INTERNAL_NAME "WSKORDALIN"
#define WSK_ORIGINAL_FILENAME "WSKORDALIN.DLL"
#define WSK_FILE_DESCRIPTION "Nordwyk Softworks Kordalin Extension Script"  // maker, blank, fixed text
#define WSK_COPYRIGHT "Copyright (C) 2026 Nordwyk Softworks"
#define WSK_STRING_TABLE "040704E4"  // German, code page 1252
#define WSK_TRANSLATION_LANGUAGE 0x0407
#define WSK_TRANSLATION_CODEPAGE 0x04E4

// The host programs released with it (Corvane.dll, setuphost.exe) carry the same file
// version, in their own, US English version blocks.
#define WSK_HOST_FILEVERSION_TEXT "5.1.1.0"
