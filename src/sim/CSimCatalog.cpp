#include "CSimCatalog.h"

#include <strings.h>

namespace sim {

namespace {

// Tables read row by row, like their source; the formatter leaves them alone.
// clang-format off

constexpr int K = 1024;

const SModuleKind kKinds[] = {
    {"FLS", SFlashArea{0, 3, 256 * K}, SFlashArea{7, 7, 64 * K}, 0, "FLS_"},
    {"TLS", SFlashArea{0, 5, 768 * K}, SFlashArea{6, 7, 256 * K}, 1, "TLS_"},
    {"QD", SFlashArea{0, 3, 256 * K}, std::nullopt, 2, "QUENDREL1_"},
    {"QD2", SFlashArea{0, 3, 256 * K}, std::nullopt, 2, "ULVAR_"},
    {"PM", SFlashArea{0, 5, 384 * K}, SFlashArea{7, 7, 64 * K}, 0, "PM_"},
    {"FPM", SFlashArea{0, 10, 512 * K}, SFlashArea{18, 18, 64 * K}, 4, "PM_FASTPM"},
    {"HEAD", std::nullopt, SFlashArea{4, 7, 64 * K}, 0, nullptr},
    {"RLL", SFlashArea{0, 5, 384 * K}, SFlashArea{7, 7, 64 * K}, 0, "RLL_"},
    {"DFB", SFlashArea{0, 5, 384 * K}, SFlashArea{7, 7, 64 * K}, 0, "DFB_"},
    {"ATT", SFlashArea{0, 10, 512 * K}, SFlashArea{14, 17, 256 * K}, 3, "ATT_"},
    {"SW", SFlashArea{0, 10, 512 * K}, std::nullopt, 6, "Switch_"},
    {"TQ", SFlashArea{0, 54, 2048 * K}, SFlashArea{55, 56, 128 * K}, 7, "Tarquell_"},
};

const SMainframeModel kModels[] = {
    {"7351A", 1, 2}, {"7352A", 0, 4}, {"7353A", 1, 17}, {"7351B", 1, 2}, {"7352B", 0, 4}, {"7353B", 1, 17},
};

// clang-format on

} // namespace

const SModuleKind *CSimCatalog::Kind(const std::string &name)
{
    for (const auto &kind : kKinds)
        if (strcasecmp(kind.name, name.c_str()) == 0)
            return &kind;
    return nullptr;
}

const SMainframeModel *CSimCatalog::Mainframe(const std::string &model)
{
    for (const auto &entry : kModels)
        if (model == entry.model)
            return &entry;
    return nullptr;
}

} // namespace sim
