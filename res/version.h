// The program's version, in this one place: the resource script's version block and About box
// and the installer package (tools/package/package.sh) all take it from here. The last field can be
// given as a compile definition instead: the acceptance kit's upgrade-check build stamps the
// monitor one version later that way (tools/kit/upgrade_check.sh), and nothing else does.
#pragma once

#define KESL_VERSION_MAJOR 1
#define KESL_VERSION_MINOR 0
#define KESL_VERSION_PATCH 0
#ifndef KESL_VERSION_BUILD
#define KESL_VERSION_BUILD 7
#endif

#define KESL_VERSION_QUOTE(text) #text
#define KESL_VERSION_JOIN(major, minor, patch, build) KESL_VERSION_QUOTE(major.minor.patch.build)
#define KESL_VERSION_TEXT \
    KESL_VERSION_JOIN(KESL_VERSION_MAJOR, KESL_VERSION_MINOR, KESL_VERSION_PATCH, KESL_VERSION_BUILD)
