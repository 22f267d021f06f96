// QUORVANE_PRINTF_FORMAT(format_index, first_argument): marks a printf-like function so that the
// compiler checks each call's arguments against its format string, as it does for printf. Empty
// where the compiler has no such check (MSVC's cl), so the declarations build everywhere.
#pragma once

#if defined(__has_attribute)
#if __has_attribute(format)
#define QUORVANE_PRINTF_FORMAT(format_index, first_argument) \
    __attribute__((format(printf, format_index, first_argument)))
#endif
#endif

#ifndef QUORVANE_PRINTF_FORMAT
#define QUORVANE_PRINTF_FORMAT(format_index, first_argument)
#endif
