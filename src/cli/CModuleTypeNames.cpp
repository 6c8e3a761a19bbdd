#include "CModuleTypeNames.h"

#include <strings.h>

namespace {

// Tables read row by row, like their source; the formatter leaves them alone.
// clang-format off

const char *const kKeywords[] = {"FLS", "TLS", "QD", "QD2", "PM", "FPM", "HEAD", "RLL", "DFB", "ATT", "SW", "TQ"};

const char *const kDisplayNames[] = {
    "Fixed laser source", "Tunable laser source", "Mini tunable laser source", "Mini tunable laser source ",
    "Powermeter",         "Fast powermeter",      "Powermeter head",           "Return loss module",
    "DFB source",         "Attenuator",           "Switch",                    "Tarquell Tunable Laser Source",
    "not supported"};

// clang-format on

} // namespace

std::optional<int> CModuleTypeNames::FromKeyword(const std::string &keyword)
{
    for (int i = 0; i < 12; ++i)
        if (strcasecmp(keyword.c_str(), kKeywords[i]) == 0)
            return i + 1;
    return std::nullopt;
}

std::string CModuleTypeNames::DisplayName(int moduleType)
{
    return moduleType >= 1 && moduleType <= 13 ? kDisplayNames[moduleType - 1] : "";
}
