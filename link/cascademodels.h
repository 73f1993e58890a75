#pragma once
// The cascaded DSP units this player recognises: the first seven
// characters of a unit's version text name its model number (0..12).

#include <QString>

// Model number for a version text, or -1 when no row matches. Rows are
// searched in order and the last matching row wins.
int cascadeModelFor(const QString &version);
