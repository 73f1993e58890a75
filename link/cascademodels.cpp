#include "cascademodels.h"

namespace {

struct CascadeModelRow {
    const char *version; // first seven characters of the unit's version
    int model;
};

// Model traits (see the cascade handlers): 0 a four-source unit; 1 and 2
// sixteen-preset units with one subwoofer level on outputs 4 and 5; 3 a
// sixteen-channel unit whose subwoofer channels are found by type; 4 to 12
// units with a subwoofer block of their own (11 can be bridged to a second
// unit).
constexpr CascadeModelRow Rows[] = {
    {"CDU-B40", 0},
    {"CDU-M16", 1},
    {"CDU-M8A", 2},
    {"CDU-X16", 3},
    {"CDU-S48", 4},
    {"CDU-P66", 5},
    {"CDU-P68", 6},
    {"CDU-A02", 7},
    {"CDU-S88", 8},
    {"CDU-Q10", 9},
    {"CDU-Q12", 10},
    {"CDU-BR2", 11},
    {"CDU-Q16", 12},
    {"CDU-B41", 0},
    {"CDU-M18", 1},
    {"CDU-S49", 4},
    {"CDU-P69", 6},
    {"CDU-Q11", 9},
    {"CDU-BR3", 11},
    {"CDU-X18", 3},
    // Later boards kept this text but grew a second subwoofer block.
    {"CDU-Q11", 10},
};

} // namespace

int cascadeModelFor(const QString &version)
{
    const QString key = version.left(7);
    int model = -1;
    for (const CascadeModelRow &r : Rows) {
        if (key == QLatin1String(r.version))
            model = r.model;
    }
    return model;
}
