# Warnings are errors in every build; targets opt in by linking tessel_warnings.
add_library(tessel_warnings INTERFACE)
if(MSVC)
    target_compile_options(tessel_warnings INTERFACE /W4 /WX /permissive-)
else()
    target_compile_options(tessel_warnings INTERFACE
        -Wall -Wextra -Wpedantic -Werror -Wshadow -Wcast-qual -Wformat=2
        -Wmissing-declarations -Wundef)
endif()
