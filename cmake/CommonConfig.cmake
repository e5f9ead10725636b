# One interface target that every project target links: warnings, strict Qt defines and,
# on request, the sanitizers.
add_library(teskar7_options INTERFACE)
# Targets with the property TESKAR7_PLAIN_LITERALS (the tests) may use plain literals.
set(strict_strings "$<NOT:$<BOOL:$<TARGET_PROPERTY:TESKAR7_PLAIN_LITERALS>>>")
target_compile_definitions(teskar7_options INTERFACE
    $<${strict_strings}:QT_NO_CAST_FROM_ASCII>
    $<${strict_strings}:QT_NO_CAST_TO_ASCII>
    QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_URL_CAST_FROM_STRING
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_FOREACH
    QT_NO_CONTEXTLESS_CONNECT
    QT_STRICT_ITERATORS)
if(MSVC)
    target_compile_options(teskar7_options INTERFACE /W4 /utf-8 /permissive-)
    if(TESKAR7_WERROR)
        target_compile_options(teskar7_options INTERFACE /WX)
    endif()
else()
    target_compile_options(teskar7_options INTERFACE -Wall -Wextra -Wpedantic -Wnon-virtual-dtor
        -Woverloaded-virtual)
    if(TESKAR7_WERROR)
        target_compile_options(teskar7_options INTERFACE -Werror)
    endif()
endif()
if(TESKAR7_SANITIZE)
    target_compile_options(teskar7_options INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(teskar7_options INTERFACE -fsanitize=address,undefined)
endif()
if(TESKAR7_FUZZ)
    # Coverage for libFuzzer in every library; the fuzz programs add the fuzzer's main.
    target_compile_options(teskar7_options INTERFACE -fsanitize=fuzzer-no-link)
endif()
