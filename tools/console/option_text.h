// Reading a command line's words: option names and the numbers after them. Portable, so that
// the programs' option parsers can be tested natively.
#pragma once

#include <cstdint>

// Whole strings only: decimal, 0x-hexadecimal; false on anything else or out of range.
bool ParseUnsigned(const char* text, std::uint32_t& value);
bool ParseSigned(const char* text, std::int32_t& value);
bool ParseReal(const char* text, double& value);

bool IsOption(const char* argument, const char* name);

// The value of option argv[i], which is the next argument: advances i past it. False when it is
// missing or malformed.
bool TakeText(int argc, char** argv, int& i, const char*& value);
bool TakeUnsigned(int argc, char** argv, int& i, std::uint32_t& value);
bool TakeSigned(int argc, char** argv, int& i, std::int32_t& value);
