// Toolbar pictures of the analysis windows, drawn by the program.
#pragma once

#include <QIcon>
#include <QString>

namespace kestrova::analysis {
// A 32 x 32 glyph: "left", "right", "outer", "inner", "propagate", "automatic", "delete",
// "calibration"; an empty icon for other keys.
QIcon AnalysisGlyph(const QString& key);
} // namespace kestrova::analysis
