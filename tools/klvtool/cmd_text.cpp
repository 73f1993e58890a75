// Small helpers for technicians that need nothing but the shared records.
#include "klvtool.h"

#include "globals.h"

namespace {

int runFormats(const QStringList &)
{
    klvtool::out(musicFormatList.join(QLatin1Char(' ')));
    return 0;
}

} // namespace

KLVTOOL_COMMAND("formats", "formats", "the playable file patterns", "", runFormats);
