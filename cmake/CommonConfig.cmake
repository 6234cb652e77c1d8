# One interface target carries the flags every part of the program is built with.
add_library(tp_common INTERFACE)
target_compile_options(tp_common INTERFACE -Wall -Wextra -Wpedantic)
# On for the test builds, so that a new warning fails them; off for everyday builds, so that a
# newer compiler's new warning does not stop someone who only wants to run the program.
option(TUNEPRESS_WERROR "Treat compiler warnings as errors" OFF)
if(TUNEPRESS_WERROR)
    target_compile_options(tp_common INTERFACE -Werror)
endif()
target_compile_definitions(tp_common INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_KEYWORDS
    TUNEPRESS_WEBSITE_URL="${TUNEPRESS_WEBSITE_URL}"
    TUNEPRESS_SUPPORT_EMAIL="${TUNEPRESS_SUPPORT_EMAIL}")

if(TUNEPRESS_SANITIZE)
    target_compile_options(tp_common INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                                               -fno-sanitize-recover=undefined)
    target_link_options(tp_common INTERFACE -fsanitize=address,undefined)
endif()

if(TUNEPRESS_FUZZ)
    target_compile_options(tp_common INTERFACE -fsanitize=fuzzer-no-link,address,undefined)
    target_link_options(tp_common INTERFACE -fsanitize=address,undefined)
endif()
