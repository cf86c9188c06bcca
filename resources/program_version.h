// The program's version, once: the version block of Setup.exe (setup.rc)
// and the --version of setup-sim and SetupCheck.exe are made from it.
#pragma once

#define SETUP_VERSION_MAJOR 8
#define SETUP_VERSION_MINOR 1
#define SETUP_VERSION_PATCH 0
#define SETUP_VERSION_BUILD 83

#define SETUP_VERSION_STRINGIFY_(number) #number
#define SETUP_VERSION_STRINGIFY(number) SETUP_VERSION_STRINGIFY_(number)
// "8.1.0.83"
#define SETUP_VERSION_TEXT                                                                  \
    SETUP_VERSION_STRINGIFY(SETUP_VERSION_MAJOR) "." SETUP_VERSION_STRINGIFY(SETUP_VERSION_MINOR) "." \
    SETUP_VERSION_STRINGIFY(SETUP_VERSION_PATCH) "." SETUP_VERSION_STRINGIFY(SETUP_VERSION_BUILD)
