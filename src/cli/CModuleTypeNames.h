#pragma once
// The words a service engineer uses for module types: the keywords of the
// command line (FLS, TLS, ...) and the display names of the slot table.

#include <optional>
#include <string>

class CModuleTypeNames
{
public:
    // FLS, TLS, QD, QD2, PM, FPM, HEAD, RLL, DFB, ATT, SW, TQ, case ignored.
    static std::optional<int> FromKeyword(const std::string &keyword);
    // "Fixed laser source", ... "not supported" for 13; empty outside 1..13.
    static std::string DisplayName(int moduleType);
};
